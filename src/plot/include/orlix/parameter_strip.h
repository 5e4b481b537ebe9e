// The sliders of the parameters a, b and c: which rows the strip shows,
// where a value sits on its slider, and what a drag, a typed value and the
// play button do. The strip changes the values through the model; its host
// draws the curves again after each move and makes every finished change
// (a drag from press to release, a typed value, a play from start to stop)
// one step of the history.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "orlix/curve_model.h"

namespace orlix {

class ParameterHost {
  public:
    virtual ~ParameterHost() = default;
    virtual CurveModel& parameterModel() = 0;
    // A change begins: what the functions are now is where its step starts.
    virtual void parameterChangeBegins() = 0;
    // A value moved and the model sampled its readers anew: draw again and
    // search the current curve's marks.
    virtual void parameterMoved() = 0;
    // The change is over: one step of the history, and saved.
    virtual void parameterChangeEnds() = 0;
};

// The fields of a row.
enum class ParameterField { value, min, max, step };

class ParameterStrip {
  public:
    // Playing runs a value from one bound to the other in this long.
    static constexpr double sweepSeconds = 4;

    explicit ParameterStrip(ParameterHost& host) : host_(host) {}

    // The parameters some function reads, in the order a, b, c: one row each.
    std::vector<Parameter> rows() const;

    double value(Parameter p) const { return model().parameter(p); }
    const ParameterBounds& bounds(Parameter p) const { return model().parameterBounds(p); }
    // Where the value sits on its slider, 0 at the minimum, 1 at the maximum.
    double position(Parameter p) const;
    // The value a slider position picks: the nearest of the minimum, whole
    // steps from it within the bounds, and the maximum; rounded to the step's own decimals (so that
    // 0.1 steps read 2.3, not 2.3000000000000007).
    double valueAt(Parameter p, double position) const;

    // ---- a finger on a slider ----
    // Stops p's play; the drag is a change of its own.
    void press(Parameter p);
    void dragTo(double position);
    void release();
    bool dragging() const { return dragged_.has_value(); }

    // ---- typed values ----
    // The text a field shows.
    std::string fieldText(Parameter p, ParameterField field) const;
    // Takes a value typed into a field: the value exactly (beyond the
    // bounds it widens them), a bound (the value moves inside the new
    // bounds) or the step. Throws orlix::Error with the message shown under
    // the field for NaN, an infinity, a bound on the wrong side of the
    // other or a step that is not positive; nothing changes then.
    void setField(Parameter p, ParameterField field, double typed);

    // ---- the play button ----
    bool playing(Parameter p) const { return play_[index(p)].on; }
    bool anyPlaying() const;
    void togglePlay(Parameter p);
    void stopPlaying();
    // Moves every playing value on by seconds of play, back at each bound.
    void advance(double seconds);

  private:
    struct Play {
        bool on = false;
        // 0 … 1 on the way up, 1 … 2 on the way down.
        double phase = 0;
    };
    static std::size_t index(Parameter p) { return static_cast<std::size_t>(p); }
    CurveModel& model() const { return host_.parameterModel(); }
    void begin();
    // Ends the open change when no finger and no play is left.
    void endIfIdle();
    // Sets p to v when it differs, and tells the host.
    void moveTo(Parameter p, double v);

    ParameterHost& host_;
    std::optional<Parameter> dragged_;
    std::array<Play, 3> play_{};
    bool changeOpen_ = false;
};

} // namespace orlix
