// The six y(x) formulas the drawing and speed benchmarks share: curves of
// different characters (poles, cusps, steep and flat parts). Plain C++, so
// that the browser build's benchmark can take them too.
#pragma once

namespace orlix::bench {

inline const char* const kSix[] = {"sin(x)*x^2-3",           "x^3-2*x+1",     "sqrt(abs(x))*cos(3*x)",
                                   "exp(-x^2/2)/sqrt(2*pi)", "(x^2+1)/(x-1)", "ln(abs(x)+1)*tan(x/4)"};

} // namespace orlix::bench
