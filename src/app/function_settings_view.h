// The function-settings panel: the current function's colour (three
// sliders, a swatch and the next standard colour), its dash pattern (a
// picture of it; a click takes the next one) and its density ("N="). It
// lies over the bottom of the window above a dimmed plot; "Done" applies,
// "Cancel" (or Escape) leaves the function as it was. The state lives in
// FunctionSettings; the widget mirrors it.
#pragma once

#include <QWidget>

#include <vector>

#include "orlix/function_settings.h"
#include "panel_frame.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QToolButton;

namespace orlix {

class Function;
class OrlixViewController;

class functionSettings : public QWidget, public WindowPanel {
    Q_OBJECT
  public:
    // Size of a dash picture, in points.
    static constexpr int kDashWidth = 120;
    static constexpr int kDashHeight = 24;
    // The sliders' steps over 0 … 1.
    static constexpr int kSliderSteps = 1000;

    explicit functionSettings(OrlixViewController& vc, QWidget* parent = nullptr);

    // Fills the panel from f and shows it; false (and nothing shown) for
    // no function.
    bool loadFromFunc(const Function* f);
    const FunctionSettings& model() const { return model_; }

    // "Done": takes the typed density and applies everything to the
    // current function. A refused density is shown under the field and the
    // panel stays open; answers whether it closed.
    bool done();
    // "Cancel": closes without changing anything.
    void cancel() override;
    bool open(const Function::Ptr& current) override { return loadFromFunc(current.get()); }
    QWidget& widget() override { return *this; }

    QSlider& slider(int component) { return *sliders_[static_cast<size_t>(component)]; }
    QToolButton& dashButton() { return *dashSel_; }
    QLineEdit& densityField() { return *numSel_; }
    QLabel& densityMessage() { return *message_; }
    QPushButton& nextColorButton() { return *nextColor_; }
    QPushButton& doneButton() { return *done_; }

  signals:
    void closed();

  protected:
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

  private:
    void fillDashes();
    void showModel();
    void sliderValueChanged();
    // Checks the typed density; shows the message when refused.
    bool takeDensity();
    void finish();
    // The function's name, cut short to the card's width.
    void fitTitle();

    OrlixViewController& vc_;
    FunctionSettings model_;
    QWidget* card_ = nullptr;
    std::vector<QSlider*> sliders_;
    QLabel* colorShow_ = nullptr;
    QPushButton* nextColor_ = nullptr;
    QToolButton* dashSel_ = nullptr;
    std::vector<QPixmap> dashes_;
    QLineEdit* numSel_ = nullptr;
    QLabel* numLabel_ = nullptr;
    QLabel* title_ = nullptr;
    QLabel* message_ = nullptr;
    QPushButton* done_ = nullptr;
};

} // namespace orlix
