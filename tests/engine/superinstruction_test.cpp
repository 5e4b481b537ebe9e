// Superinstructions and powers by small whole exponents change how a
// program runs, never what it gives: the compiled program, its block
// evaluation and the plain routines run step by step agree bit for bit.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "../../fuzz/kept_inputs.h"
#include "function_table.h"
#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"
#include "same_value.h"

using orlix::fStack;
using orlix::MathEngine;
using orlix::StackMachine;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using orlix::test::same;

const double kEdges[] = {0.0, -0.0, 1.0, -1.0, 2.5, -3.0, 1e200, -1e200, 1e-200, -5e-324, kInf, -kInf, kNaN};

struct Cells {
    orlix::CellRestore xy{MathEngine::xAddr(), MathEngine::yAddr()};
    orlix::CellRestore ta{MathEngine::tAddr(), MathEngine::aAddr()};
    orlix::CellRestore f{MathEngine::fAddr()};
};

// The plain routines step by step, on the cells as they are.
double plain(const std::vector<fStack::Item>& items)
{
    StackMachine m;
    for (const fStack::Item& item : items) {
        if (const std::string* name = std::get_if<std::string>(&item))
            m.addFunc(*name);
        else
            m.addConst(std::get<double>(item));
    }
    return m.evaluate();
}

// evaluate() and evaluateBlock() of the compiled program against the plain
// routines, at every x of xs with the other cells as they are; the first
// disagreement, or "".
std::string firstDisagreement(const std::vector<fStack::Item>& items, const std::vector<double>& xs)
{
    fStack::Owner list = fStack::fromArray(items);
    if (!list)
        return "does not balance";
    StackMachine compiled(*list);
    double* x = MathEngine::xAddr();
    std::vector<double> block(xs.size());
    compiled.evaluateBlock(x, xs.data(), block.data(), static_cast<int>(xs.size()));
    for (std::size_t k = 0; k < xs.size(); ++k) {
        *x = xs[k];
        const double want = plain(items), got = compiled.evaluate();
        if (!same(got, want) || !same(block[k], want))
            return "x=" + std::to_string(xs[k]) + " y=" + std::to_string(*MathEngine::yAddr()) + ": compiled " +
                   std::to_string(got) + ", block " + std::to_string(block[k]) + ", plain " + std::to_string(want);
    }
    return {};
}

// The typed name of every operation, by its name in the rows ("Plus" is "+").
std::string typedName(const std::string& op)
{
#define ORLIX_NAME(n, value, derivative, interval, first, ...)                                                         \
    if (op == #n)                                                                                                      \
        return first;
    ORLIX_BINARY_ROWS(ORLIX_NAME)
    ORLIX_UNARY_ROWS(ORLIX_NAME)
#undef ORLIX_NAME
    return {};
}

// Appends one instruction of the given operation and form (k the constant
// operand, x and y the cells). A form that takes its operands from the
// stack finds them there when `stacked`, else gets a computed one.
void appendForm(std::vector<fStack::Item>& items, const std::string& op, const std::string& form, double k,
                bool stacked)
{
    using S = std::string;
    double exponent = 0;
#define ORLIX_POWER(n, e)                                                                                              \
    if (op == #n)                                                                                                      \
        exponent = e;
    ORLIX_POWER_ROWS(ORLIX_POWER)
#undef ORLIX_POWER
    const std::vector<fStack::Item> apply =
        exponent ? std::vector<fStack::Item>{exponent, S("^")} : std::vector<fStack::Item>{typedName(op)};
    const std::vector<fStack::Item> operands = form == "K"               ? std::vector<fStack::Item>{k}
                                               : form == "V"             ? std::vector<fStack::Item>{S("y")}
                                               : form == "VK"            ? std::vector<fStack::Item>{S("x"), k}
                                               : form == "KV"            ? std::vector<fStack::Item>{k, S("x")}
                                               : form == "UV"            ? std::vector<fStack::Item>{S("x")}
                                               : form == "S" && !stacked ? std::vector<fStack::Item>{S("t"), S("atan")}
                                                                         : std::vector<fStack::Item>{};
    items.insert(items.end(), operands.begin(), operands.end());
    items.insert(items.end(), apply.begin(), apply.end());
}

} // namespace

// Every row of the fusion table, built as a program of its shape (a value
// below it for operations that take one from the stack), agrees with the
// plain routines at the edge values of its cells and constants.
TEST(Superinstructions, EveryFusionRowAgreesAtEdgeValues)
{
    Cells cells;
    struct Row {
        const char *first, *firstForm, *second, *secondForm;
    };
    const Row rows[] = {
#define ORLIX_ROW(a, fa, b, fb) {#a, #fa, #b, #fb},
        ORLIX_FUSION_ROWS(ORLIX_ROW)
#undef ORLIX_ROW
    };
    const std::vector<double> xs(std::begin(kEdges), std::end(kEdges));
    for (const Row& row : rows) {
        for (const auto& [k, k2] :
             {std::pair{3.0, -0.5}, std::pair{-0.5, 0.0}, std::pair{0.0, kInf}, std::pair{kInf, 3.0}}) {
            // y·θ below everything; a function of y as the top when the
            // first form works on the top.
            std::vector<fStack::Item> items{std::string("y"), std::string("θ"), std::string("*")};
            const std::string f1 = row.firstForm;
            if (f1 == "K" || f1 == "V" || f1 == "U" || f1 == "S")
                items.insert(items.end(), {std::string("y"), std::string("sinh")});
            appendForm(items, row.first, f1, k, false);
            appendForm(items, row.second, row.secondForm, k2, true);
            for (int extra = 0; extra < 3 && !fStack::fromArray(items); ++extra)
                items.emplace_back(std::string("-"));
            for (double y : kEdges) {
                *MathEngine::yAddr() = y, *MathEngine::tAddr() = -y, *MathEngine::fAddr() = 0.75;
                EXPECT_EQ(firstDisagreement(items, xs), "") << row.first << row.firstForm << " then " << row.second
                                                            << row.secondForm << ", k=" << k << ", " << k2;
            }
        }
    }
}

// Values at the edges of the shapes that run as one instruction.
TEST(Superinstructions, EdgeValuesOfFusedShapes)
{
    Cells cells;
    struct Case {
        const char* formula;
        double x, y, expected;
    };
    const Case cases[] = {
        {"x^2", 1e200, 0, kInf},     {"x^2", -1e-200, 0, 0.0},       {"x^2", kNaN, 0, kNaN},
        {"x^3", -1e200, 0, -kInf},   {"x^3", -0.0, 0, -0.0},         {"x^4", -1e100, 0, kInf},
        {"-x^2", 0, 0, -0.0},        {"x^2+1", 1e200, 0, kInf},      {"y+x^2", -kInf, kInf, kInf},
        {"y*sin(x)", 0, kInf, kNaN}, {"y+2*x", 1e308, 1, kInf},      {"y/(x-1)", 1, 1, kInf},
        {"y/(x-1)", 1, 0, kNaN},     {"sqrt(abs(x))", -0.0, 0, 0.0}, {"cos(3*x)", kInf, 0, kNaN},
        {"exp(y/2)", 0, -kInf, 0.0}, {"y+ln(x)", 0, kInf, kNaN},     {"y*tan(x)", 0, kInf, kNaN},
    };
    for (const Case& c : cases) {
        fStack::Owner list = fStack::createWithString(c.formula);
        ASSERT_TRUE(list) << c.formula;
        StackMachine m(*list);
        *MathEngine::yAddr() = c.y;
        MathEngine::setX(c.x);
        double block = 0;
        m.evaluateBlock(MathEngine::xAddr(), &c.x, &block, 1);
        EXPECT_TRUE(same(m.evaluate(), c.expected)) << c.formula << " at x=" << c.x << ", y=" << c.y;
        EXPECT_TRUE(same(block, c.expected)) << c.formula << " in a block at x=" << c.x << ", y=" << c.y;
    }
}

// The fuzzer's corpus of formulas, compiled, in blocks and step by step,
// at random and edge points of all five cells.
TEST(Superinstructions, FuzzCorpusFormulasAgreeWithThePlainRoutines)
{
    Cells cells;
    std::mt19937_64 rng(33);
    std::uniform_real_distribution<double> wide(-10, 10);
    std::uniform_int_distribution<std::size_t> edge(0, std::size(kEdges) - 1);
    const auto value = [&] { return rng() % 3 == 0 ? kEdges[edge(rng)] : wide(rng); };
    int checked = 0;
    orlix::fuzzsteps::replayKeptInputs("engine", {"corpus"}, [&](const std::string& path, const std::string& text) {
        fStack::Owner list;
        try {
            list = fStack::createWithString(text);
            if (list)
                StackMachine{*list};
        } catch (const orlix::Error&) {
            return;
        }
        if (!list)
            return;
        ++checked;
        const std::vector<fStack::Item> items = list->toArray();
        for (int k = 0; k < 4; ++k) {
            *MathEngine::yAddr() = value(), *MathEngine::tAddr() = value();
            *MathEngine::aAddr() = value(), *MathEngine::fAddr() = value();
            std::vector<double> xs(10);
            for (double& x : xs)
                x = value();
            const std::string disagreement = firstDisagreement(items, xs);
            ASSERT_EQ(disagreement, "") << path << ": " << text;
        }
    });
    EXPECT_GT(checked, 400);
}
