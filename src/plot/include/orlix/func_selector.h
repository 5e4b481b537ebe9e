// The strip over the plot with one glyph per registered function: the
// function's colour, a shape telling its kind, the current function's glyph
// drawn larger. A tap on the strip makes the next function current.
//
// The strip's logic without the toolkit: its width and visibility, where
// each glyph goes and how it is drawn through Canvas, and the tap. A widget
// forwards the tap and paints through it.
#pragma once

#include <optional>
#include <vector>

#include "orlix/canvas.h"
#include "orlix/function.h"
#include "orlix/function_kind.h"

namespace orlix {

class plotView;

class funcSelector {
  public:
    // The strip's height in points: the background pill is 26 high.
    static constexpr float kHeight = 28;
    // Half-size of a glyph: the current function's and the others'.
    static constexpr float kCurrentGlyph = 8;
    static constexpr float kOtherGlyph = 5;

    // sharedPlotView: whose current function the strip shows and changes;
    // not owned, it must outlive the selector.
    explicit funcSelector(plotView& sharedPlotView);

    // Reads the register again (after functions were added, removed or
    // changed): hidden without functions, and with only one that is
    // current; otherwise shown at the width for their number.
    void refreshInfo();
    bool hidden() const { return hidden_; }
    // The registered functions, counted now.
    std::size_t functionCount() const;
    // The strip's width in points, an even number.
    float curWidth() const { return curWidth_; }
    // The width for n functions when the strip is shown (n ≥ 1): 70 for
    // one, growing with n up to 196 from twelve on.
    static float widthForCount(std::size_t n);

    struct Glyph {
        const Function* function;
        KindGlyph shape;
        Color color;
        PointF center;
        bool current;
    };
    // The glyphs of the registered functions in register order, laid out
    // in a strip of the given size: the first at 15 % of the width (the
    // middle when alone), the others spread over 70 % of it.
    std::vector<Glyph> glyphs(SizeF bounds) const;

    // The pill and the glyphs, in a strip of the canvas's size. Nothing
    // but the pill before the first refreshInfo().
    void drawRect(Canvas& c) const;
    // Draws one glyph centred at c.
    static void drawGlyph(Canvas& canvas, KindGlyph shape, PointF c, bool current);

    // A finger lifted from the strip: the function after the current one
    // in register order becomes current, the first one after the last or
    // when none is current. Ignored while a finger is down on the plot.
    // Answers whether the current function changed.
    bool touchesEnded();

  private:
    plotView& plotter_;
    bool refreshed_ = false;
    bool hidden_ = true;
    float curWidth_ = 0;
};

} // namespace orlix
