// The strip of parameter sliders above the bottom bar: for each parameter a
// formula reads, a play button, its name (a tap shows the row's bounds and
// step), the value field and the slider. Every change goes to the
// controller's ParameterStrip; the widget only shows what it holds.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <vector>

#include "orlix/parameter_strip.h"

class QLabel;
class QSlider;
class QToolButton;

namespace orlix {

class myTextField;

class ParameterStripWidget : public QWidget {
    Q_OBJECT
  public:
    // Slider positions are whole numbers from 0 to this.
    static constexpr int kSliderTicks = 10000;
    static constexpr int kRowHeight = 34;
    static constexpr int kBoundsHeight = 30;
    static constexpr int kMessageHeight = 18;
    // A play frame.
    static constexpr int kPlayIntervalMs = 16;

    ParameterStripWidget(ParameterStrip& strip, QWidget* parent = nullptr);

    // Rows for the parameters in use, with their values; hidden without any.
    void refresh();
    // The height the rows, open bounds and a message take.
    int preferredHeight() const;
    bool hasRows() const { return !shown_.empty(); }

    // ---- for tests and shortcuts ----
    QSlider* slider(Parameter p) const { return rows_[idx(p)].slider; }
    myTextField* field(Parameter p, ParameterField f) const;
    QToolButton* playButton(Parameter p) const { return rows_[idx(p)].play; }
    QToolButton* nameButton(Parameter p) const { return rows_[idx(p)].name; }
    // The refusal shown under a field; empty when none.
    QString message() const;

  signals:
    // The rows or their height changed: the window lays the strip out again.
    void heightChanged();

  protected:
    void resizeEvent(QResizeEvent* e) override;

  private:
    struct Row {
        QToolButton* play = nullptr;
        QToolButton* name = nullptr;
        myTextField* value = nullptr;
        QSlider* slider = nullptr;
        QWidget* bounds = nullptr;
        myTextField* min = nullptr;
        myTextField* max = nullptr;
        myTextField* step = nullptr;
        bool boundsOpen = false;
    };
    static std::size_t idx(Parameter p) { return static_cast<std::size_t>(p); }
    void build(Parameter p);
    void layOut();
    // Takes the text of a field; a refusal is shown under it.
    void commitField(Parameter p, ParameterField f);
    void showMessage(Parameter p, const QString& text);
    void showValues();
    void tick();

    ParameterStrip& strip_;
    std::array<Row, 3> rows_{};
    std::vector<Parameter> shown_;
    QLabel* message_ = nullptr;
    std::optional<Parameter> messageRow_;
    QTimer playTimer_;
    QElapsedTimer playClock_;
};

} // namespace orlix
