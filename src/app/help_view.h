// The help page: Orlix's own short guide, an HTML page built into the
// application, shown in a text browser under a bar with "Done" (or Escape).
#pragma once

#include <QWidget>

#include "panel_frame.h"

class QTextBrowser;

namespace orlix {

class helpView : public QWidget, public WindowPanel {
    Q_OBJECT
  public:
    // Where the page lives among the application's resources.
    static constexpr const char* kPage = "qrc:/help/help.html";

    explicit helpView(QWidget* parent = nullptr);

    // Loads the page (from its start) and shows it over the window.
    void present();
    void done();
    bool open(const Function::Ptr&) override
    {
        present();
        return true;
    }
    void cancel() override { done(); }
    QWidget& widget() override { return *this; }
    QTextBrowser& browser() { return *browser_; }

  signals:
    void closed();

  protected:
    void resizeEvent(QResizeEvent* e) override;

  private:
    void fitColumn();
    QTextBrowser* browser_ = nullptr;
};

} // namespace orlix
