// The main window's strip of parameter sliders: where it rests and when it
// shows.
#include "main_window.h"

#include <algorithm>

namespace orlix {

namespace {

// On a wide window the sliders keep a length a thumb can sweep.
constexpr int kMaxStripWidth = 480;
constexpr int kStripGap = 4;

} // namespace

void MainWindow::buildParameterStrip()
{
    parameterStrip_ = new ParameterStripWidget(controller_->parameterStrip(), this);
    connect(parameterStrip_, &ParameterStripWidget::heightChanged, this, [this] { interfaceSettled(); });
    parameterStrip_->refresh();
}

void MainWindow::layOutParameterStrip()
{
    if (!parameterStrip_ || !controller_)
        return;
    const BarsState state = controller_->interfaceState();
    const bool show = parameterStrip_->hasRows() && state != barsHidden && openPanel() == Panel::none;
    if (show) {
        const int w = std::min(width() - 2 * kStripGap, kMaxStripWidth);
        const int h = parameterStrip_->preferredHeight();
        int bottom = std::min(bottomBarY(state), height());
        if (keyboard_ && keyboard_->isVisible())
            bottom = std::min(bottom, keyboard_->geometry().top());
        parameterStrip_->setGeometry((width() - w) / 2, std::max(bottom - h - kStripGap, 0), w, h);
        parameterStrip_->raise();
        if (keyboard_)
            keyboard_->raise();
    }
    // Nobody watches a value play under a panel or without the bars.
    if (!show && controller_->parameterStrip().anyPlaying())
        controller_->parameterStrip().stopPlaying();
    // Visible to the window, shown or not yet: the band of the marks and
    // the information panel's place, which interfaceSettled() sets next,
    // read it.
    parameterStrip_->setVisible(show);
}

} // namespace orlix
