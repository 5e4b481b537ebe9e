// How a kind of one formula makes its functions from a formula's text and
// from a record: the same steps for every such kind, which supplies only
// functionFromFS (its function of an expression and its text) and, where it
// shows more than the formula, formulaInfo.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "orlix/expression_record.h"
#include "orlix/fstack.h"
#include "orlix/record.h"

namespace orlix {

// The function of kind K of a formula's text; nullptr when the text is no
// formula. Its information is what K shows of a formula.
template <class K> std::shared_ptr<K> fromFormulaText(std::string_view text)
{
    auto f = K::functionFromFS(fStack::createWithString(text), std::string(text));
    if (f)
        f->setFunctionInfo(f->formulaInfo(std::string(text)));
    return f;
}

// The function of kind K of a record's "functionSM" and "strRepr", with
// the looks and information the record holds; nullptr for a record with no
// readable expression.
template <class K> std::shared_ptr<K> fromRecordExpression(const nlohmann::json& r)
{
    if (!r.is_object())
        return nullptr;
    auto it = r.find("functionSM");
    if (it == r.end())
        return nullptr;
    fStack::Owner fs = record::readExpression(*it);
    if (!fs)
        return nullptr;
    auto f = K::functionFromFS(std::move(fs), record::readString(r, "strRepr"));
    if (f)
        f->applyRecord(r);
    return f;
}

} // namespace orlix
