// What the drawing benchmarks share: the six y(x) curves (six_formulas.h),
// a shell that asks for roots, extrema and inflections, and a main that
// runs offscreen.
#pragma once

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>

#include "orlix/function.h"
#include "orlix/function_kind.h"
#include "orlix/yx_function.h"
#include "six_formulas.h"

namespace orlix::bench {

class Searches : public FunctionShell {
  public:
    Function* current = nullptr;
    SearchSettings searchSettings() const override { return {true, true, true, false}; }
    Function* currentFunction() const override { return current; }
};

// Runs the registered benchmarks with a Qt application on the offscreen
// platform (fonts and images need one).
inline int runOffscreen(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace orlix::bench
