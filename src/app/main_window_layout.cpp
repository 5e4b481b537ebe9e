// Where the main window puts its bars, fields, strip and keyboard, at rest
// and while the bars slide in and out.
#include "main_window.h"

#include "function_settings_view.h"
#include "help_view.h"
#include "info_view.h"
#include "preferences_view.h"
#include "value_table_view.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLineEdit>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QResizeEvent>
#include <QToolButton>
#include <algorithm>
#include <initializer_list>

namespace orlix {

int MainWindow::topBarY(BarsState s) const { return s == barsShown ? 0 : -kTopBarHeight; }

int MainWindow::bottomBarY(BarsState s) const { return s == barsHidden ? height() : height() - kBottomBarHeight; }

QPoint MainWindow::selectorPos(BarsState s) const
{
    // Centred under the top bar, and up with it when it slides away.
    return QPoint((width() - selector_->width()) / 2, topBarY(s) + kTopBarHeight + kSelectorGap);
}

void MainWindow::layoutBars()
{
    // A new size puts the bars where they rest at once.
    if (interfaceAnimation_->state() == QAbstractAnimation::Running)
        interfaceAnimation_->stop();
    const int w = width(), h = height();
    const BarsState state = controller_ ? controller_->interfaceState() : barsShown;
    // The bars first: the new size finds the current curve's marks within
    // the band between them.
    topBar_->setGeometry(0, topBarY(state), w, kTopBarHeight);
    layOutInputBar();
    bottomBar_->setGeometry(0, bottomBarY(state), w, kBottomBarHeight);
    selector_->move(selectorPos(state));
    plot_->setGeometry(0, 0, w, h);
    for (const auto& panel : panels_)
        panel.second->widget().setGeometry(0, 0, w, h);
    layOutUndoBar();
    // The widget learns its size when it is shown; the view needs it now.
    plot_->view().setFrame(RectF{0, 0, static_cast<float>(w), static_cast<float>(h)});
    layOutKeyboard();
}

void MainWindow::layOutInputBar()
{
    const int w = width();
    const int fieldTop = 8;
    const FunctionKindInfo* kind = controller_ ? &controller_->kind() : nullptr;
    const bool twoFormulas = kind && !kind->secondInputLabel.empty();
    const bool ownRange = kind && kind->can.ownRange;
    // A label takes what its text needs (the implicit one is long), at
    // least the room of "y(x)=".
    const auto labelWidth = [](const QLabel* label) {
        return std::max(44, label->fontMetrics().horizontalAdvance(label->text()) + 6);
    };
    const int first = labelWidth(kindLabel_);
    kindLabel_->setGeometry(6, fieldTop, first, 28);
    if (twoFormulas) {
        const int half = (w - 12) / 2;
        const int second = labelWidth(secondLabel_);
        field_->setGeometry(6 + first, fieldTop, std::max(half - first, 0), 28);
        secondLabel_->setGeometry(6 + half + 2, fieldTop, second, 28);
        secondField_->setGeometry(6 + half + 2 + second, fieldTop, std::max(w - half - 14 - second, 0), 28);
    } else {
        field_->setGeometry(6 + first, fieldTop, std::max(w - 12 - first, 0), 28);
    }
    if (ownRange) {
        // The range under the formula, the message beside it.
        rangeMinLabel_->setGeometry(6, fieldTop + 31, 32, 22);
        rangeMinField_->setGeometry(38, fieldTop + 31, 72, 22);
        rangeMaxLabel_->setGeometry(116, fieldTop + 31, 32, 22);
        rangeMaxField_->setGeometry(148, fieldTop + 31, 72, 22);
        fieldMessage_->setGeometry(226, fieldTop + 29, std::max(w - 262, 0), 32);
    } else {
        fieldMessage_->setGeometry(50, fieldTop + 29, std::max(w - 86, 0), 32);
    }
    keyboardButton_->setGeometry(w - 34, fieldTop + 29, 30, 24);
}

void MainWindow::animateInterface()
{
    const BarsState state = controller_->interfaceState();
    interfaceAnimation_->stop();
    interfaceAnimation_->clear();
    topBar_->setVisible(true);
    bottomBar_->setVisible(true);
    const auto add = [this](QObject* target, const char* property, const QVariant& to) {
        auto* a = new QPropertyAnimation(target, property);
        a->setDuration(kInterfaceAnimationMs);
        a->setEasingCurve(QEasingCurve::InOutQuad);
        a->setEndValue(to);
        interfaceAnimation_->addAnimation(a);
    };
    add(topBar_, "pos", QPoint(0, topBarY(state)));
    add(topFade_, "opacity", state == barsShown ? 1.0 : 0.0);
    add(bottomBar_, "pos", QPoint(0, bottomBarY(state)));
    add(bottomFade_, "opacity", state == barsHidden ? 0.0 : 1.0);
    // The strip goes up with the top bar and fades with the bottom one.
    selector_->setFadedOut(false);
    add(selector_, "pos", selectorPos(state));
    // The sliders go at once and come back when the bars are in place.
    if (parameterStrip_ && state == barsHidden)
        parameterStrip_->hide();
    add(selectorFade_, "opacity", state == barsHidden ? 0.0 : 1.0);
    interfaceAnimation_->start();
}

void MainWindow::interfaceSettled()
{
    const BarsState state = controller_ ? controller_->interfaceState() : barsShown;
    topFade_->setOpacity(state == barsShown ? 1.0 : 0.0);
    bottomFade_->setOpacity(state == barsHidden ? 0.0 : 1.0);
    selectorFade_->setOpacity(state == barsHidden ? 0.0 : 1.0);
    // Out of sight is out of the way: hidden bars take no clicks or focus.
    topBar_->setVisible(state == barsShown);
    // The function-settings panel takes the bottom bar's place.
    bottomBar_->setVisible(state != barsHidden && openPanel() != Panel::functionSettings);
    selector_->setFadedOut(state == barsHidden);
    selector_->move(selectorPos(state));
    layOutParameterStrip();
    if (controller_)
        plot_->view().setGoodRect(goodRectForPlotter());
    if (panel_)
        panel_->reanchor();
    layOutUndoBar();
}

bool MainWindow::interfaceAnimating() const { return interfaceAnimation_->state() == QAbstractAnimation::Running; }

RectF MainWindow::goodRectForPlotter() const
{
    // The band between the bars, in the plot's coordinates; a bar slid out
    // of sight gives its room to the plot.
    const QRect plot = plot_->geometry();
    const int top = std::max(topBar_->geometry().bottom() + 1, 0);
    int bottom = std::min(bottomBar_->geometry().top(), height());
    if (keyboard_ && keyboard_->isVisible())
        bottom = std::min(bottom, keyboard_->geometry().top());
    // The marks and the panel stay clear of the sliders.
    if (parameterStrip_ && !parameterStrip_->isHidden())
        bottom = std::min(bottom, parameterStrip_->geometry().top());
    return RectF{static_cast<float>(-plot.x()), static_cast<float>(top - plot.y()), static_cast<float>(width()),
                 static_cast<float>(std::max(bottom - top, 0))};
}

void MainWindow::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    layoutBars();
}

void MainWindow::layOutKeyboard()
{
    const int w = width(), h = height();
    keyboard_->setLayout(w, w > h ? KeyboardOrientation::landscape : KeyboardOrientation::portrait);
    keyboard_->move(0, h - keyboard_->height());
    keyboard_->raise();
    interfaceSettled();
}

} // namespace orlix
