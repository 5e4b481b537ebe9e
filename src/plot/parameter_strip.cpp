#include "orlix/parameter_strip.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "orlix/error.h"
#include "orlix/function_kind.h"

namespace orlix {

namespace {

// v rounded to six decimals below the step's first one: what whole steps
// from the minimum would be without the binary fractions they pick up.
double tidy(double v, double step)
{
    const int decimals = 6 - static_cast<int>(std::floor(std::log10(step)));
    if (decimals <= 0 || decimals > 300)
        return v;
    const double scale = std::pow(10.0, decimals);
    const double scaled = v * scale;
    if (!std::isfinite(scaled) || std::fabs(scaled) > 0x1p52)
        return v;
    return std::round(scaled) / scale;
}

void refuseNonFinite(double typed)
{
    if (std::isnan(typed))
        throw Error("Value is NAN!");
    if (std::isinf(typed))
        throw Error("Infinity value!");
}

} // namespace

std::vector<Parameter> ParameterStrip::rows() const
{
    std::vector<Parameter> out;
    for (Parameter p : allParameters)
        if (model().parameterInUse(p))
            out.push_back(p);
    return out;
}

double ParameterStrip::position(Parameter p) const
{
    const ParameterBounds& b = bounds(p);
    return std::clamp((value(p) - b.min) / (b.max - b.min), 0.0, 1.0);
}

double ParameterStrip::valueAt(Parameter p, double position) const
{
    const ParameterBounds& b = bounds(p);
    const double wanted = b.min + std::clamp(position, 0.0, 1.0) * (b.max - b.min);
    const double steps = std::round((wanted - b.min) / b.step);
    const double stepped = std::clamp(tidy(b.min + steps * b.step, b.step), b.min, b.max);
    // The maximum is a stop of its own, whole steps from the minimum or not.
    return b.max - wanted < std::fabs(wanted - stepped) ? b.max : stepped;
}

void ParameterStrip::press(Parameter p)
{
    play_[index(p)].on = false;
    begin();
    dragged_ = p;
}

void ParameterStrip::dragTo(double position)
{
    if (dragged_)
        moveTo(*dragged_, valueAt(*dragged_, position));
}

void ParameterStrip::release()
{
    dragged_.reset();
    endIfIdle();
}

std::string ParameterStrip::fieldText(Parameter p, ParameterField field) const
{
    const ParameterBounds& b = bounds(p);
    double v = 0;
    switch (field) {
    case ParameterField::value: v = value(p); break;
    case ParameterField::min: v = b.min; break;
    case ParameterField::max: v = b.max; break;
    case ParameterField::step: v = b.step; break;
    }
    if (v == 0)
        return "0"; // not "-0"
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

void ParameterStrip::setField(Parameter p, ParameterField field, double typed)
{
    ParameterBounds b = bounds(p);
    refuseNonFinite(typed);
    switch (field) {
    case ParameterField::value: break;
    case ParameterField::min: checkRangeBound(typed, RangeBound::min, b.max); break;
    case ParameterField::max: checkRangeBound(typed, RangeBound::max, b.min); break;
    case ParameterField::step:
        if (!(typed > 0))
            throw Error("Step should be greater than 0!");
        break;
    }
    play_[index(p)].on = false;
    begin();
    switch (field) {
    case ParameterField::value: moveTo(p, typed); break;
    case ParameterField::min:
    case ParameterField::max:
        (field == ParameterField::min ? b.min : b.max) = typed;
        // The typed bound holds: the value moves inside, not the bound out.
        moveTo(p, std::clamp(value(p), b.min, b.max));
        model().setParameterBounds(p, b);
        break;
    case ParameterField::step:
        b.step = typed;
        model().setParameterBounds(p, b);
        break;
    }
    endIfIdle();
}

bool ParameterStrip::anyPlaying() const
{
    return std::any_of(play_.begin(), play_.end(), [](const Play& s) { return s.on; });
}

void ParameterStrip::togglePlay(Parameter p)
{
    Play& s = play_[index(p)];
    if (s.on) {
        s.on = false;
        endIfIdle();
        return;
    }
    begin();
    s.on = true;
    // Up first; from the maximum, down.
    s.phase = position(p);
}

void ParameterStrip::stopPlaying()
{
    for (Play& s : play_)
        s.on = false;
    endIfIdle();
}

void ParameterStrip::advance(double seconds)
{
    for (Parameter p : allParameters) {
        Play& s = play_[index(p)];
        if (!s.on)
            continue;
        // A function that read p went: nothing left to move.
        if (!model().parameterInUse(p)) {
            s.on = false;
            continue;
        }
        s.phase = std::fmod(s.phase + seconds / sweepSeconds, 2.0);
        const double at = s.phase <= 1 ? s.phase : 2 - s.phase;
        moveTo(p, valueAt(p, at));
    }
    endIfIdle();
}

void ParameterStrip::begin()
{
    if (changeOpen_)
        return;
    changeOpen_ = true;
    host_.parameterChangeBegins();
}

void ParameterStrip::endIfIdle()
{
    if (!changeOpen_ || dragged_ || anyPlaying())
        return;
    changeOpen_ = false;
    host_.parameterChangeEnds();
}

void ParameterStrip::moveTo(Parameter p, double v)
{
    if (v == value(p))
        return;
    model().setParameter(p, v);
    host_.parameterMoved();
}

} // namespace orlix
