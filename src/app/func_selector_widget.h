// The strip of functions on screen: paints the selector through a QPainter
// canvas and hands it the taps.
#pragma once

#include <QWidget>

#include <functional>

#include "orlix/func_selector.h"

namespace orlix {

class FuncSelectorWidget : public QWidget {
    Q_OBJECT
  public:
    FuncSelectorWidget(plotView& sharedPlotView, QWidget* parent = nullptr);

    funcSelector& selector() { return selector_; }

    // Reads the functions again and takes the selector's width; shown
    // unless the selector hides or the strip is faded out.
    void refresh();
    // Out of the way while the bars are hidden.
    void setFadedOut(bool faded);
    // Shows the strip even when a single current function would hide it
    // (for pictures of it); never without functions.
    void setAlwaysShown(bool always);

    // Told after a tap changed the current function.
    std::function<void()> onCurrentChanged;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

  private:
    void updateVisibility();

    funcSelector selector_;
    bool fadedOut_ = false;
    bool alwaysShown_ = false;
};

} // namespace orlix
