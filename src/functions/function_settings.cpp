#include "orlix/function_settings.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "orlix/color_gen.h"
#include "orlix/error.h"
#include "orlix/function.h"
#include "orlix/function_kind.h"
#include "orlix/implicit_function.h"

namespace orlix {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

float unitComponent(float v, float old) { return std::isnan(v) ? old : std::clamp(v, 0.0f, 1.0f); }

} // namespace

bool FunctionSettings::loadFromFunc(const Function* f)
{
    if (!f)
        return false;
    const Color c = f->color();
    setColor(c.r, c.g, c.b);
    // Pattern i has 2·i entries: step back one from the function's own
    // pattern (the solid one wraps to the last) and forward again.
    dashN_ = f->dashPatternSize() / 2 - 1;
    if (dashN_ < 0)
        dashN_ += maxDashN();
    nextStandardDash();
    gridSize_ = f->isImplicit();
    if (const auto* implicit = dynamic_cast<const iFunction*>(f))
        density_ = implicit->n() != 0 ? implicit->n() : iFunction::defaultGridSize;
    else
        density_ = f->chosenPointCount();
    return true;
}

void FunctionSettings::setColor(float r, float g, float b)
{
    r_ = unitComponent(r, r_);
    g_ = unitComponent(g, g_);
    b_ = unitComponent(b, b_);
}

void FunctionSettings::nextStandardColor()
{
    const Color c = colorGen::sharedColorGen().genColor();
    setColor(c.r, c.g, c.b);
}

int FunctionSettings::maxDashN() const { return colorGen::sharedColorGen().maxDashN(); }

void FunctionSettings::nextStandardDash() { dashN_ = (dashN_ + 1) % maxDashN(); }

void FunctionSettings::setDensity(double value)
{
    isBadValue(value, gridSize_);
    density_ = value;
}

void FunctionSettings::isBadValue(double value, bool gridSize)
{
    // NaN and the infinities are no integers either: floor and ceil of
    // them are equal, so they are caught here by name.
    if (!std::isfinite(value) || std::floor(value) != std::ceil(value))
        throw Error("Number of points must be integer!");
    const int lo = gridSize ? kMinGridSize : kMinPoints;
    const int hi = gridSize ? kMaxGridSize : kMaxPoints;
    if (value < lo)
        throw Error(formatMessage("Number of points can't be less than %@!", {std::to_string(lo)}));
    if (value > hi)
        throw Error(formatMessage("Number of points can't be greater than %@!", {std::to_string(hi)}));
}

void FunctionSettings::apply(Function& f) const
{
    // Checked against f's own limits, whatever the panel was loaded from:
    // a density that never passed the check reaches no function.
    isBadValue(density_, f.isImplicit());

    const colorGen& gen = colorGen::sharedColorGen();
    f.setDashPattern(gen.dashes(dashN_));
    f.setColorWithR(r_, g_, b_, f.color().a);
    const int n = static_cast<int>(density_);
    if (auto* implicit = dynamic_cast<iFunction*>(&f)) {
        implicit->setN(n);
        implicit->updatePoints();
        return;
    }
    f.setNumOfPoints(n);
    const FunctionKindInfo* kind = f.kindInfo();
    if (kind && kind->can.ownRange)
        f.setMinVar(f.varMin(), f.varMax());
    else
        f.setMinVar(kNaN, kNaN); // samples the view again
}

void FunctionSettings::drawDash(Canvas& canvas, int i, SizeF size)
{
    const colorGen& gen = colorGen::sharedColorGen();
    const auto lengths = gen.dashes(i);
    canvas.save();
    canvas.setStrokeColor(Color{0, 0, 0, 1});
    canvas.setLineWidth(1);
    canvas.setLineDash(0, lengths.data(), static_cast<int>(lengths.size()));
    canvas.moveTo(10, size.height / 2);
    canvas.lineTo(size.width - 10, size.height / 2);
    canvas.strokePath();
    canvas.restore();
}

} // namespace orlix
