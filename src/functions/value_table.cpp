#include "orlix/value_table.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "orlix/error.h"
#include "orlix/format.h"

namespace orlix {

ValueTable::ValueTable(Function::Ptr f, double start, double step) : function_(std::move(f))
{
    const FunctionKindInfo* kind = function_ ? function_->kindInfo() : nullptr;
    if (kind && kind->can.valueTable)
        columns_ = kind->tableColumns;
    setStartAndStep(start, step);
}

int ValueTable::rowsFor(double start, double step) const
{
    if (std::isnan(start) || std::isnan(step))
        throw Error("Value is NAN!");
    if (std::isinf(start) || std::isinf(step))
        throw Error("Infinity value!");
    if (step == 0)
        throw Error("Step shouldn't be zero!");
    // A step lost in the rounding of start would list one value over and over.
    if (start + step == start)
        throw Error("Step is too small!");
    const FunctionKindInfo* kind = function_ ? function_->kindInfo() : nullptr;
    if (!kind || !kind->can.ownRange) {
        if (!std::isfinite(start + (maxRows - 1) * step))
            throw Error("Step is too large!");
        return maxRows;
    }
    const double end = step > 0 ? function_->varMax() : function_->varMin();
    const double steps = std::floor((end - start) / step);
    if (!(steps >= 0))
        throw Error("Start is beyond the range!");
    if (steps >= maxRows)
        throw Error("Step gives more than 10000 rows!");
    return static_cast<int>(steps) + 1;
}

void ValueTable::setStartAndStep(double start, double step)
{
    const int total = columns_.empty() ? 0 : rowsFor(start, step);
    start_ = start;
    step_ = step;
    totalRows_ = total;
    rows_.clear();
}

int ValueTable::produceMore(int n)
{
    const int from = rowCount();
    const int to = std::min(totalRows_, from + std::max(n, 0));
    if (to <= from)
        return 0;
    // Evaluating moves the function's variable cell: put it back, the
    // trace and the searches read it.
    double* cell = function_->variable();
    const CellRestore restoreCell(cell);
    // From the index, not by adding steps up: no drift down the table.
    std::vector<double> places;
    for (int i = from; i < to; ++i)
        places.push_back(start_ + i * step_);
    const std::vector<myPointInfo> points = function_->pointsAt(places);
    for (std::size_t k = 0; k < places.size(); ++k) {
        const double v = places[k];
        const myPointInfo& info = points[k];
        std::vector<double> row;
        row.reserve(columns_.size());
        for (const TableColumn& c : columns_) {
            switch (c.quantity) {
            case TableQuantity::variable: row.push_back(v); break;
            case TableQuantity::value: row.push_back(info.value); break;
            case TableQuantity::x: row.push_back(info.point.x); break;
            case TableQuantity::y: row.push_back(info.point.y); break;
            }
        }
        rows_.push_back(std::move(row));
    }
    return to - from;
}

std::string ValueTable::header(int column) const
{
    if (column < 0 || column >= columnCount())
        return {};
    return std::string(columns_[static_cast<size_t>(column)].header);
}

double ValueTable::value(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return std::numeric_limits<double>::quiet_NaN();
    return rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

std::string ValueTable::cellText(double v) { return std::isfinite(v) ? tostr(v) : std::string(undefinedText); }

std::string ValueTable::text(int row, int column) const { return cellText(value(row, column)); }

std::string ValueTable::tabSeparated() const
{
    std::string out;
    for (int c = 0; c < columnCount(); ++c) {
        if (c)
            out += '\t';
        out += header(c);
    }
    out += '\n';
    for (int r = 0; r < rowCount(); ++r) {
        for (int c = 0; c < columnCount(); ++c) {
            if (c)
                out += '\t';
            out += text(r, c);
        }
        out += '\n';
    }
    return out;
}

std::optional<OpeningTable> openingTable(const Function::Ptr& f)
{
    const FunctionKindInfo* kind = f ? f->kindInfo() : nullptr;
    if (!kind || !kind->can.valueTable)
        return std::nullopt;
    double start = 0, step = 1;
    OpeningTable opening{nullptr, "0", "1"};
    if (kind->can.ownRange) {
        start = f->varMin();
        step = (f->varMax() - f->varMin()) / 24;
        const auto typed = f->functionInfo().find("minVarStr");
        opening.startText = typed != f->functionInfo().end() && !typed->second.empty() ? typed->second : tostr(start);
        opening.stepText = tostr(step);
    }
    try {
        opening.table = std::make_unique<ValueTable>(f, start, step);
        return opening;
    } catch (const Error&) {
    }
    // A range too odd for a first step: every step of one unit; and when
    // that would need too many rows to reach a range far from 0, the
    // range's two ends.
    try {
        return OpeningTable{std::make_unique<ValueTable>(f, 0, 1), "0", "1"};
    } catch (const Error&) {
    }
    if (kind->can.ownRange) {
        try {
            const double width = f->varMax() - f->varMin();
            opening.table = std::make_unique<ValueTable>(f, start, width);
            opening.stepText = tostr(width);
            return opening;
        } catch (const Error&) {
        }
    }
    return std::nullopt;
}

} // namespace orlix
