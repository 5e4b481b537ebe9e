#include "bar_menu.h"

#include <algorithm>

#include <QEvent>
#include <QMenu>
#include <QScreen>
#include <QToolButton>

namespace orlix {

namespace {

class MenuAboveButton : public QObject {
  public:
    explicit MenuAboveButton(QToolButton* button) : QObject(button), button_(button) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            auto* menu = static_cast<QMenu*>(watched);
            const QPoint buttonTop = button_->mapToGlobal(QPoint(0, 0));
            // Across, within the window where the menu fits in it (a button
            // at the right end opens its menu leftwards), above the button.
            const QWidget* window = button_->window();
            const int windowLeft = window->mapToGlobal(QPoint(0, 0)).x();
            const int windowRight = windowLeft + window->width();
            int x = menu->x();
            if (menu->width() <= window->width())
                x = std::clamp(x, windowLeft, windowRight - menu->width());
            const QPoint above(x, buttonTop.y() - menu->height());
            const QScreen* screen = button_->screen();
            if (screen && above.y() >= screen->availableGeometry().top())
                menu->move(above);
        }
        return false;
    }

  private:
    QToolButton* button_;
};

} // namespace

void openMenuAboveButton(QToolButton* button)
{
    if (QMenu* menu = button->menu())
        menu->installEventFilter(new MenuAboveButton(button));
}

} // namespace orlix
