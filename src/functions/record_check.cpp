#include "orlix/record_check.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <string_view>

#include "orlix/expression_record.h"
#include "orlix/function_kind.h"
#include "orlix/record.h"

namespace orlix {

namespace {

using json = nlohmann::json;

// The text a record was typed as, or empty when it has none: for kinds of
// two formulas "x(t);y(t)" from the field texts, for the others the string
// representation (the field text when that is missing). A placeholder text
// stands for a text that was lost.
std::string recordText(const FunctionKindInfo& kind, const json& r)
{
    const auto info = record::readStringMap(r, "funcInfo");
    auto entry = [&](const char* key) {
        auto it = info.find(key);
        return it == info.end() ? std::string() : it->second;
    };
    if (!kind.secondInputLabel.empty()) {
        const std::string x = entry("f"), y = entry("g");
        return x.empty() || y.empty() ? std::string() : x + ";" + y;
    }
    const std::string repr = record::readString(r, "strRepr");
    const bool lost = repr.empty() || repr.starts_with("abrakadabra");
    return lost ? entry("f") : repr;
}

template <class Make> Function::Ptr attempt(Make&& make)
{
    try {
        return make();
    } catch (const std::exception&) {
        return nullptr;
    }
}

// The compiled programs of a record: its entries whose key ends in "SM".
json programs(const json& r)
{
    json out = json::object();
    for (auto it = r.begin(); it != r.end(); ++it)
        if (it.key().size() > 2 && it.key().ends_with("SM"))
            out[it.key()] = it.value();
    return out;
}

bool sameNumber(double a, double b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    if (std::isinf(a) || std::isinf(b))
        return a == b;
    return std::fabs(a - b) <= 1e-9 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

// Whether two functions of one kind draw the same curve: the same programs,
// or (derivatives are simplified along another road than typed text) the
// same points at a handful of values of the variable.
bool sameCurve(const FunctionKindInfo& kind, Function& a, Function& b)
{
    if (programs(a.toDict()) == programs(b.toDict()))
        return true;
    if (kind.can.implicitDrawing)
        return false;
    for (double v : {-2.7, -1.3, -0.4, 0.3, 0.9, 1.7, 2.9, 6.1}) {
        const myPoint p = a.positionAt(v), q = b.positionAt(v);
        if (!sameNumber(p.x, q.x) || !sameNumber(p.y, q.y))
            return false;
    }
    return true;
}

// r with the programs of a function made from text, and text as its text.
json withProgramsOf(const FunctionKindInfo& kind, const json& r, const Function& fromText, const std::string& text)
{
    json out = r;
    const json made = fromText.toDict();
    for (auto it = r.begin(); it != r.end(); ++it)
        if (it.key().size() > 2 && it.key().ends_with("SM"))
            out.erase(it.key());
    const json madePrograms = programs(made);
    for (auto it = madePrograms.begin(); it != madePrograms.end(); ++it)
        out[it.key()] = it.value();
    if (kind.secondInputLabel.empty()) {
        out["strRepr"] = text;
        if (!out.contains("funcInfo") || !out["funcInfo"].is_object())
            out["funcInfo"] = json::object();
        out["funcInfo"]["f"] = text;
    }
    return out;
}

} // namespace

RecordCheck checkRecord(const json& r)
{
    const FunctionKindInfo* kind = r.is_object() ? findKindByType(record::readString(r, "type")) : nullptr;
    if (!kind)
        return {RecordState::intact, r};
    const Function::Ptr fromProgram = attempt([&] { return kind->fromRecord(r); });
    const std::string text = recordText(*kind, r);
    const Function::Ptr fromText = text.empty() ? nullptr : attempt([&] { return kind->fromText(text); });

    auto rebuilt = [&](RecordState state) -> RecordCheck {
        json repaired = withProgramsOf(*kind, r, *fromText, text);
        if (!attempt([&] { return kind->fromRecord(repaired); }))
            return {RecordState::refused, nullptr};
        return {state, std::move(repaired)};
    };
    if (fromProgram && fromText)
        return sameCurve(*kind, *fromProgram, *fromText) ? RecordCheck{RecordState::intact, r}
                                                         : rebuilt(RecordState::textDisagreed);
    if (fromText)
        return rebuilt(RecordState::rebuiltFromText);
    if (fromProgram && text.empty())
        return {RecordState::rebuiltFromProgram, r};
    // A text that does not read beside a program that does: which of the
    // two is the person's formula cannot be told.
    return {RecordState::refused, nullptr};
}

FunctionListReading checkFunctionList(const json& functions)
{
    FunctionListReading out;
    if (!functions.is_object())
        return out;
    for (auto it = functions.begin(); it != functions.end(); ++it) {
        RecordCheck c = checkRecord(it.value());
        switch (c.state) {
        // A record without its text draws as it always did, and is saved
        // so again: nothing to tell.
        case RecordState::intact:
        case RecordState::rebuiltFromProgram: break;
        case RecordState::rebuiltFromText: ++out.rebuilt; break;
        case RecordState::textDisagreed: ++out.disagreed; break;
        case RecordState::refused:
            out.refusedIDs.push_back(it.key());
            out.refused[it.key()] = it.value();
            continue;
        }
        out.functions[it.key()] = std::move(c.record);
    }
    return out;
}

} // namespace orlix
