#include "formula_entry.h"

#include <exception>

#include "controller.h"
#include "orlix/error.h"

namespace orlix {

namespace {

std::string messageOf(const std::exception& e) { return *e.what() ? e.what() : "Wrong Syntax!"; }

} // namespace

std::optional<FormulaRefusal> takeTypedFormula(OrlixViewController& c, const TypedFormula& typed,
                                               const FormulaCheck& check)
{
    using Field = FormulaRefusal::Field;
    const FunctionKindInfo& kind = c.kind();
    if (kind.can.ownRange) {
        try {
            c.setRangeTexts(typed.rangeMin, typed.rangeMax);
        } catch (const std::exception& e) {
            return FormulaRefusal{e.what(), Field::none, {}, {}};
        }
    }
    if (!kind.secondInputLabel.empty()) {
        const std::string first(withoutKindPrefix(kind, typed.first));
        const std::string second(withoutKindPrefix(kind, typed.second, true));
        try {
            for (const std::string& text : {first, second})
                if (!text.empty())
                    (void)check(text, kind);
        } catch (const Error& e) {
            // The field of the formula at fault shows where.
            const bool inSecond = !second.empty() && first != second && [&] {
                try {
                    (void)check(first, kind);
                    return true;
                } catch (const std::exception&) {
                    return false;
                }
            }();
            const std::string& bad = inSecond ? second : first;
            return FormulaRefusal{refusalMessage(e, bad), inSecond ? Field::second : Field::first, bad,
                                  errorPosition(e, bad)};
        } catch (const std::exception& e) {
            return FormulaRefusal{messageOf(e), Field::none, {}, {}};
        }
        c.setFormulaText(first);
        c.setSecondFormulaText(second);
        return std::nullopt;
    }
    const std::string text(withoutKindPrefix(kind, typed.first));
    if (text.empty()) {
        c.setFormulaText(text);
        return std::nullopt;
    }
    try {
        c.setCheckedFormula(check(text, kind));
    } catch (const Error& e) {
        // The text stays in the field for the person to mend.
        return FormulaRefusal{refusalMessage(e, text), Field::first, text, errorPosition(e, text)};
    } catch (const std::exception& e) {
        return FormulaRefusal{messageOf(e), Field::none, {}, {}};
    }
    return std::nullopt;
}

} // namespace orlix
