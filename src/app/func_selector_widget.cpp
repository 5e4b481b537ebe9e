#include "func_selector_widget.h"

#include <QMouseEvent>
#include <QPaintEvent>

#include <cmath>

#include "orlix/plot_plane.h"
#include "qpainter_canvas.h"

namespace orlix {

FuncSelectorWidget::FuncSelectorWidget(plotView& sharedPlotView, QWidget* parent)
    : QWidget(parent), selector_(sharedPlotView)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setToolTip(tr("Next function"));
    setAccessibleName(tr("Functions"));
    resize(0, static_cast<int>(funcSelector::kHeight));
    hide();
}

void FuncSelectorWidget::refresh()
{
    selector_.refreshInfo();
    float width = selector_.curWidth();
    if (selector_.hidden() && alwaysShown_)
        width = funcSelector::widthForCount(selector_.functionCount());
    resize(static_cast<int>(width), static_cast<int>(funcSelector::kHeight));
    updateVisibility();
    update();
}

void FuncSelectorWidget::setFadedOut(bool faded)
{
    fadedOut_ = faded;
    updateVisibility();
}

void FuncSelectorWidget::setAlwaysShown(bool always)
{
    alwaysShown_ = always;
    refresh();
}

void FuncSelectorWidget::updateVisibility()
{
    const bool any = selector_.functionCount() != 0;
    setVisible(!fadedOut_ && any && (!selector_.hidden() || alwaysShown_));
}

void FuncSelectorWidget::paintEvent(QPaintEvent*)
{
    QPainterCanvas canvas(*this, SizeF{static_cast<float>(width()), static_cast<float>(height())});
    selector_.drawRect(canvas);
}

// A press is taken here so that it does not reach the plot below; the
// release is the tap.
void FuncSelectorWidget::mousePressEvent(QMouseEvent* e) { e->accept(); }

void FuncSelectorWidget::mouseDoubleClickEvent(QMouseEvent* e) { e->accept(); }

void FuncSelectorWidget::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !rect().contains(e->position().toPoint()))
        return;
    e->accept();
    if (selector_.touchesEnded()) {
        if (onCurrentChanged)
            onCurrentChanged();
        refresh();
    }
}

} // namespace orlix
