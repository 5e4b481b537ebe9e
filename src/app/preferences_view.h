// The preferences screen: the application's options and the keys a launch
// reads (built from PreferencesModel's tables), "Reset", "delete all
// functions" with its question, "reset position", the way back to
// functions deleted all at once, and the help page. It covers the window
// until "Done" (which applies) or Escape (which leaves everything as it
// was). The state lives in PreferencesModel; the widget mirrors it.
#pragma once

#include <QPointer>
#include <QWidget>

#include <utility>
#include <vector>

#include "panel_frame.h"
#include "preferences_model.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QMessageBox;
class QPushButton;

namespace orlix {

class OrlixViewController;

class preferencesView : public QWidget, public WindowPanel {
    Q_OBJECT
  public:
    explicit preferencesView(OrlixViewController& vc, QWidget* parent = nullptr);

    // Fills the screen from the live values and shows it.
    void loadFromVC();
    const PreferencesModel& model() const { return model_; }

    void donePressed();
    // Closes without applying anything.
    void cancel() override;
    bool open(const Function::Ptr&) override
    {
        loadFromVC();
        return true;
    }
    QWidget& widget() override { return *this; }
    void resetSettings();
    // Asks "You really want to delete all functions?"; "Yes" sets the request.
    void deleteAllPressed();
    void resetPosition();

    QCheckBox* switchControl(PrefSwitch s) const;
    QButtonGroup* choiceControl(PrefChoice c) const;
    QPushButton& deleteAllButton() { return *deleteAll_; }
    QPushButton& undoButton() { return *undo_; }
    QPushButton& resetPositionButton() { return *resetPos_; }
    QPushButton& helpButton() { return *help_; }
    QPushButton& doneButton() { return *done_; }
    // The question of deleteAllPressed while it is open.
    QMessageBox* openQuestion() const { return question_; }

  signals:
    void closed();
    void helpRequested();

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    void showModel();
    // A one-shot button once its request is set: retitled, disabled, dimmed.
    static void markUsed(QPushButton* b, const QString& title);
    static void markFresh(QPushButton* b, const QString& title);

    OrlixViewController& vc_;
    PreferencesModel model_;
    std::vector<std::pair<PrefSwitch, QCheckBox*>> switches_;
    std::vector<std::pair<PrefChoice, QButtonGroup*>> choices_;
    QPushButton* deleteAll_ = nullptr;
    QPushButton* undo_ = nullptr;
    QPushButton* resetPos_ = nullptr;
    QPushButton* help_ = nullptr;
    QPushButton* done_ = nullptr;
    QPointer<QMessageBox> question_;
};

} // namespace orlix
