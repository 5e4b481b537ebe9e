// The table of values: the rows of each kind, what it refuses, its limit
// and its text for the clipboard.
#include "orlix/value_table.h"

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orlix/error.h"
#include "orlix/function_kind.h"
#include "plane_fixture.h"

using namespace orlix;

namespace {

constexpr double Pi = 3.141592653589793;
const double NaN = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();

class ValueTableTest : public orlix::testing::PlaneTest {
  protected:
    // A function of the kind named by its short name; kinds with a range
    // of their own get [lo, hi].
    static Function::Ptr make(const char* kind, const char* text, double lo = 0, double hi = 1)
    {
        Function::Ptr f = findKindByShortName(kind)->fromText(text);
        if (f->kindInfo()->can.ownRange)
            f->setMinVar(lo, hi);
        return f;
    }
    static std::vector<std::string> row(ValueTable& t, int r)
    {
        while (t.rowCount() <= r && t.produceMore(100) > 0) {
        }
        std::vector<std::string> cells;
        for (int c = 0; c < t.columnCount(); ++c)
            cells.push_back(t.text(r, c));
        return cells;
    }
    static std::vector<std::string> headers(const ValueTable& t)
    {
        std::vector<std::string> h;
        for (int c = 0; c < t.columnCount(); ++c)
            h.push_back(t.header(c));
        return h;
    }
};

TEST_F(ValueTableTest, RowsOfEachKind)
{
    using Cells = std::vector<std::string>;
    struct Case {
        const char* kind;
        const char* formula;
        double lo, hi, start, step;
        int row;
        Cells header, cells;
    };
    const Case cases[] = {
        {"yx", "x^2-1", 0, 1, -1, 0.5, 0, {"x", "y"}, {"-1", "0"}},
        {"yx", "x^2-1", 0, 1, -1, 0.5, 3, {"x", "y"}, {"0.5", "-0.75"}},
        // From the index: the thousandth row is start + 999 steps, not a sum of them.
        {"yx", "x", 0, 1, 0, 0.1, 999, {"x", "y"}, {"99.9", "99.9"}},
        {"xy", "2y", 0, 1, 1, 1, 2, {"y", "x"}, {"3", "6"}},
        {"rf", "2", 0, 2 * Pi, 0, Pi / 2, 1, {"θ", "r", "x", "y"}, {"1.570796", "2", "0", "2"}},
        {"rf", "θ", 0, 2 * Pi, 0, Pi, 1, {"θ", "r", "x", "y"}, {"3.141593", "3.141593", "-3.141593", "0"}},
        {"t", "t;t^2", -1, 1, -1, 1, 0, {"t", "x", "y"}, {"-1", "-1", "1"}},
        // No number and the infinities alike read "undefined".
        {"yx", "sqrt(x)", 0, 1, -1, 1, 0, {"x", "y"}, {"-1", "undefined"}},
        {"yx", "ln(x)", 0, 1, 0, 1, 0, {"x", "y"}, {"0", "undefined"}},
        {"rf", "1/(θ-1)", 0, 2, 0, 1, 1, {"θ", "r", "x", "y"}, {"1", "undefined", "undefined", "undefined"}},
    };
    for (const Case& c : cases) {
        ValueTable t(make(c.kind, c.formula, c.lo, c.hi), c.start, c.step);
        EXPECT_EQ(headers(t), c.header) << c.formula;
        EXPECT_EQ(row(t, c.row), c.cells) << c.formula << " row " << c.row;
    }
}

TEST_F(ValueTableTest, CurvesOfTwoVariablesHaveNoTable)
{
    ValueTable t(make("i", "x^2+y^2-4"));
    EXPECT_FALSE(findKindByShortName("i")->can.valueTable);
    EXPECT_EQ(t.columnCount(), 0);
    EXPECT_EQ(t.produceMore(100), 0);
    EXPECT_EQ(t.tabSeparated(), "\n");
}

TEST_F(ValueTableTest, RefusedStartsAndStepsChangeNothing)
{
    struct Case {
        const char* kind;
        double lo, hi, start, step;
        const char* message;
    };
    const Case cases[] = {
        {"yx", 0, 1, 0, 0, "Step shouldn't be zero!"},
        {"yx", 0, 1, 0, NaN, "Value is NAN!"},
        {"yx", 0, 1, NaN, 1, "Value is NAN!"},
        {"yx", 0, 1, 0, Inf, "Infinity value!"},
        {"yx", 0, 1, -Inf, 1, "Infinity value!"},
        // A step lost in the rounding of the start.
        {"yx", 0, 1, 1, 1e-300, "Step is too small!"},
        // Ten thousand rows of it would run past the largest number.
        {"yx", 0, 1, 0, 1e305, "Step is too large!"},
        {"rf", 0, 2 * Pi, 0, 1e-4, "Step gives more than 10000 rows!"},
        {"t", 0, 1, 0, 1.0 / 10000, "Step gives more than 10000 rows!"},
        {"t", 0, 1, 2, 0.1, "Start is beyond the range!"},
        {"t", 0, 1, -1, -0.1, "Start is beyond the range!"},
    };
    for (const Case& c : cases) {
        Function::Ptr f = make(c.kind, c.kind[0] == 't' ? "t;t" : "x", c.lo, c.hi);
        if (c.kind[0] == 'r')
            f = make("rf", "1", c.lo, c.hi);
        ValueTable t(f, 0, 0.5);
        t.produceMore(2);
        const int total = t.totalRows();
        try {
            t.setStartAndStep(c.start, c.step);
            ADD_FAILURE() << "taken: " << c.message;
        } catch (const Error& e) {
            EXPECT_EQ(e.reason(), c.message);
        }
        EXPECT_EQ(t.start(), 0) << c.message;
        EXPECT_EQ(t.step(), 0.5) << c.message;
        EXPECT_EQ(t.totalRows(), total) << c.message;
        EXPECT_EQ(t.rowCount(), 2) << c.message;
    }
}

TEST_F(ValueTableTest, RowsStopAtTheLimitOrAtTheEndOfTheRange)
{
    struct Case {
        const char* kind;
        const char* formula;
        double lo, hi, start, step;
        int rows;
        double last; // the variable of the last row
    };
    const Case cases[] = {
        {"yx", "x", 0, 1, 0, 1, ValueTable::maxRows, ValueTable::maxRows - 1},
        {"xy", "y", 0, 1, 5, -2, ValueTable::maxRows, 5 - 2.0 * (ValueTable::maxRows - 1)},
        // The range's end is a row; the last step may fall short of it.
        {"t", "t;t", 0, 1, 0, 0.25, 5, 1},
        {"t", "t;t", 0, 1, 0, 0.3, 4, 0.9},
        {"t", "t;t", 0, 1, 1, -0.5, 3, 0},
        {"rf", "1", 0, 9999, 0, 1, ValueTable::maxRows, 9999},
    };
    for (const Case& c : cases) {
        ValueTable t(make(c.kind, c.formula, c.lo, c.hi), c.start, c.step);
        EXPECT_EQ(t.totalRows(), c.rows) << c.formula;
        int produced = 0;
        while (t.canProduceMore())
            produced += t.produceMore(1000);
        EXPECT_EQ(produced, c.rows) << c.formula;
        EXPECT_EQ(t.produceMore(1000), 0);
        EXPECT_NEAR(t.value(c.rows - 1, 0), c.last, 1e-9) << c.formula;
    }
}

TEST_F(ValueTableTest, TabSeparatedTextHoldsTheHeaderAndTheProducedRows)
{
    Function::Ptr f = make("rf", "θ", 0, Pi);
    // Tracing leaves the variable somewhere; listing values does not move it.
    *f->variable() = 0.25;
    ValueTable t(f, 0, Pi / 2);
    EXPECT_EQ(t.tabSeparated(), "θ\tr\tx\ty\n");
    t.produceMore(2);
    EXPECT_EQ(t.tabSeparated(), "θ\tr\tx\ty\n"
                                "0\t0\t0\t0\n"
                                "1.570796\t1.570796\t0\t1.570796\n");
    EXPECT_EQ(*f->variable(), 0.25);
}

} // namespace

// The table a function's list opens with: from 0 by 1, or from the start of
// a range of its own by a twenty-fourth of it, the fields showing the range
// as typed; a range too odd for such a step opens from 0 by 1 too.
TEST_F(ValueTableTest, ATableOpensAtTheFunctionsRangeOrAtZero)
{
    struct Case {
        const char* name;
        Function::Ptr f;
        bool table;
        double start, step;
        const char* startText;
        const char* stepText;
    };
    // As a new curve takes its range: the fields' texts with it.
    const auto ranged = [](const char* kind, const char* text, double lo, double hi) {
        Function::Ptr f = findKindByShortName(kind)->fromText(text);
        f->useDefaultRange(lo, hi);
        return f;
    };
    const Case cases[] = {
        {"y(x) from 0 by 1", make("yx", "x^2"), true, 0, 1, "0", "1"},
        {"r(θ) over its range", ranged("rf", "1", 0, 2 * Pi), true, 0, Pi / 12, "0", "0.2617994"},
        {"x(t), y(t) over its range", ranged("t", "t; t", -12, 12), true, -12, 1, "-12", "1"},
        {"a range too narrow for its steps", ranged("rf", "1", 5000, 5000 + 1e-11), true, 0, 1, "0", "1"},
        // 0 is too far for steps of 1 to reach it: the range's two ends.
        {"a narrow range far from 0", ranged("rf", "1", 1e17, 1e17 + 64), true, 1e17, 64, "1E+17", "64"},
        {"no table for g(x,y)=0", make("i", "x^2+y^2-1"), false, 0, 0, "", ""},
        {"nor for no function", nullptr, false, 0, 0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<OpeningTable> o = openingTable(c.f);
        ASSERT_EQ(o.has_value(), c.table);
        if (!o)
            continue;
        ASSERT_NE(o->table, nullptr);
        EXPECT_EQ(o->table->function(), c.f);
        EXPECT_NEAR(o->table->start(), c.start, 1e-12);
        EXPECT_NEAR(o->table->step(), c.step, 1e-12);
        EXPECT_EQ(o->startText, c.startText);
        EXPECT_EQ(o->stepText, c.stepText);
    }
}
