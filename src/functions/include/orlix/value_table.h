// The table of values of one function: a row for each value of its
// variable from a start by a step, with the columns its kind lists (y(x):
// x, y; polar: θ, r, x, y; ...). Rows are worked out only when asked for,
// a batch at a time, as a list scrolls down to them.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "orlix/function.h"
#include "orlix/function_kind.h"

namespace orlix {

class ValueTable {
  public:
    // The most rows a table holds.
    static constexpr int maxRows = 10000;

    // A table of f from start by step: nothing produced yet. A kind
    // without a table (or a null f) gives a table with no columns and no rows.
    // Throws Error as setStartAndStep does for a start or step it refuses.
    explicit ValueTable(Function::Ptr f, double start = 0, double step = 1);

    const Function::Ptr& function() const { return function_; }
    double start() const { return start_; }
    double step() const { return step_; }

    // Starts the table anew at start by step. Refuses, with Error and
    // changing nothing, a start or step that is no number or infinite, a
    // step of 0 or one too small to move on from start, and a step that
    // needs more than maxRows rows to cross the span: the function's own
    // range (from start to its end in the step's direction) for kinds
    // that have one; for the others maxRows rows, the last of which must
    // be finite.
    void setStartAndStep(double start, double step);

    // The rows the span holds: at most maxRows.
    int totalRows() const { return totalRows_; }
    // The rows worked out so far.
    int rowCount() const { return static_cast<int>(rows_.size()); }
    bool canProduceMore() const { return rowCount() < totalRows_; }
    // Works out up to n more rows; answers how many it added.
    int produceMore(int n);

    int columnCount() const { return static_cast<int>(columns_.size()); }
    std::string header(int column) const;
    // The value in a produced row and column; NaN outside the table.
    double value(int row, int column) const;
    // The text of a cell as the information panel writes numbers, with
    // "undefined" for a value that is no number or infinite.
    std::string text(int row, int column) const;
    // The header line and the produced rows, cells separated by tabs and
    // lines ended by a line feed.
    std::string tabSeparated() const;

    // The text of a value as the table shows it.
    static std::string cellText(double v);

  private:
    int rowsFor(double start, double step) const;

    Function::Ptr function_;
    std::span<const TableColumn> columns_;
    double start_ = 0;
    double step_ = 1;
    int totalRows_ = 0;
    std::vector<std::vector<double>> rows_;
};

// The table a function's list opens with, and the texts of its start and
// step fields: from the start of the function's own range (as typed) by a
// twenty-fourth of the range, or from 0 by 1 for kinds without a range and
// for a range too odd for a first step, or, when 0 lies too far from such a
// range for steps of 1, its two ends. None for a kind without a table (or
// a range no table can step through).
struct OpeningTable {
    std::unique_ptr<ValueTable> table;
    std::string startText, stepText;
};
std::optional<OpeningTable> openingTable(const Function::Ptr& f);

} // namespace orlix
