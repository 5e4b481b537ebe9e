// The curve kinds in one table: for each kind its record type, the texts
// the screen shows for it, the variables its formula may use, how to make
// one, and what it can do. Everything outside this table asks a function
// for its entry (Function::kindInfo()) or walks functionKinds(); nothing
// else knows kinds by name.
//
// A new kind is its class, its entry in function_kind.cpp, and its tests.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "orlix/fstack.h"
#include "orlix/function.h"
#include "orlix/stack_machine.h"

namespace orlix {

// Every kind the store's records may name. Only the kinds with an entry in
// functionKinds() can be made.
enum class FunctionKind { yx, xy, polar, parametric, implicit };

// How trace mode turns the markers at the two ends of a range.
enum class RangeEndFacing {
    upright,     // both upright, with drop lines to the axis
    alongRadius, // facing each other along the radius (polar curves)
    alongChord,  // facing each other along the chord (parametric curves)
};

// From which derivative the osculating circle finds the side of the curve
// its centre lies on.
enum class CurvatureSide {
    slope,         // the normal of dy/dx, as for y(x)
    mirroredSlope, // the normal of dy/dx turned half a circle when it points up-left, as for x(y)
    parameter,     // turned half a circle where dx/dt < 0, as for parametric curves
};

// The mark of a kind in the strip of functions over the plot.
enum class KindGlyph { circle, square, diamond, triangle, hexagon };

// What a kind can do.
struct KindAbilities {
    bool derivative = true;       // offers its derivative as a curve of its own
    bool ownRange = false;        // sampled over a range of its own variable, not over the view
    bool inflections = true;      // the inflection search applies
    bool rangeQuantities = true;  // integral, area, length and solids over a range
    bool residual = true;         // answers valueForPoint as a signed residual, through which
                                  // curves without one find their intersections with it
    bool implicitDrawing = false; // drawn as segments between pairs of points
    bool variableField = true;    // the information panel takes a value of its variable
    bool ownColor = false;        // made in a colour of its own rather than a generated one
    bool valueTable = true;       // lists its values in a table at a start and a step
};

// What a column of the table of values holds at a value of the variable.
enum class TableQuantity {
    variable, // the value of the variable itself
    value,    // what the formula gives (y, x or r)
    x,        // the curve point's x
    y,        // the curve point's y
};

struct TableColumn {
    std::string_view header;
    TableQuantity quantity;
};

// A formula that passed the field check: the text typed, its simplified
// expression and that expression's program. A function made of it uses
// both as they are.
struct CheckedFormula {
    std::string text;
    fStack::Owner expression;
    std::shared_ptr<StackMachine> program;
};

// A range of a kind's own variable that a new function takes: its ends as
// numbers and as the range fields show them.
struct RangeChoice {
    double low = 0, high = 0;
    std::string_view lowText, highText;
};


struct FunctionKindInfo {
    FunctionKind kind;
    // The record's "type".
    std::string_view typeName;
    // The name the command line takes ("yx").
    std::string_view shortName;
    // The label in front of the formula field.
    std::string_view inputLabel;
    // The engine's one-letter variables a formula of the kind may use.
    std::string_view variables;
    // The variables the formula keyboard offers as keys, one code point
    // each, in the order shown (polar curves: θ, not its spelling f).
    std::string_view keyVariables;
    // The information panel's labels: a point's variable, a range's start and end.
    std::string_view variableLabel;
    std::string_view startLabel;
    std::string_view endLabel;
    // An example formula in the kind's own variables, for the empty field.
    std::string_view placeholder;
    // The add menu's entry.
    std::string_view menuText;
    // Kinds of two formulas (x(t), y(t)): the second field's label and
    // example; empty for kinds of one formula.
    std::string_view secondInputLabel;
    std::string_view secondPlaceholder;
    // Kinds with a range of their own: the labels of its two fields, and
    // the range a new function takes, by the preference that starts it at
    // zero (off, on) and that preference itself.
    std::string_view rangeMinLabel;
    std::string_view rangeMaxLabel;
    RangeChoice standardRange;
    RangeChoice zeroRange;
    bool RangeDefaults::*startsAtZero = nullptr;
    // What people type in front of a formula of the kind ("y=", "y(x)="),
    // which the formula does without; for the second formula of a kind of
    // two, secondPrefixes.
    std::span<const std::string_view> prefixes;
    std::span<const std::string_view> secondPrefixes;
    // Its mark in the strip of functions.
    KindGlyph glyph = KindGlyph::hexagon;
    KindAbilities can;
    RangeEndFacing rangeEnds = RangeEndFacing::upright;
    CurvatureSide curvatureSide = CurvatureSide::slope;
    // The columns of its table of values; empty when can.valueTable is off.
    std::span<const TableColumn> tableColumns;

    // Parses, simplifies and compiles text; the engine's Error propagates.
    Function::Ptr (*fromText)(std::string_view text) = nullptr;
    // Makes the function of a formula the field check accepted.
    Function::Ptr (*fromChecked)(CheckedFormula formula) = nullptr;
    // Kinds of two formulas: makes the function of both checked formulas.
    Function::Ptr (*fromCheckedPair)(CheckedFormula first, CheckedFormula second) = nullptr;
    // Rebuilds a function from its stored record; nullptr when it cannot.
    Function::Ptr (*fromRecord)(const nlohmann::json& record) = nullptr;
};

// The kinds that can be made, in the order the add menu offers them.
std::span<const FunctionKindInfo> functionKinds();
// The entry of a kind; nullptr for a kind that cannot be made.
const FunctionKindInfo* findKind(FunctionKind kind);
// The entry whose record type, or short name, is name; nullptr for none.
const FunctionKindInfo* findKindByType(std::string_view typeName);
const FunctionKindInfo* findKindByShortName(std::string_view shortName);
// The kind a new formula gets when nothing else says: y(x).
const FunctionKindInfo& defaultKind();

// text without a leading prefix of the kind's own (spaces in and around it
// do not count); text itself when it has none. second: the text of the
// second formula of a kind of two.
std::string_view withoutKindPrefix(const FunctionKindInfo& kind, std::string_view text, bool second = false);

// The range a new function of the kind takes, by the preferences.
const RangeChoice& defaultRange(const FunctionKindInfo& kind, const RangeDefaults& preferences);

// The two ends of a range of a kind's own variable.
enum class RangeBound { min, max };

// Refuses a value typed for one end of a range, given the other end:
// Error("Value is NAN!"), Error("Infinity value!"), or, for a value on the
// wrong side of the other end or on it (a range of no width draws nothing),
// Error("MinVal shouldn't be greater than MaxVal!") or
// Error("MaxVal shouldn't be less than MinVal!").
void checkRangeBound(double value, RangeBound which, double other);

} // namespace orlix
