// The integrals of a range: several integrands of one variable integrated
// together over [a, b] to the digits the information panel shows.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <optional>
#include <vector>

#include "orlix/math_engine.h"

namespace orlix::curve {

// Integrates `count` integrands over [a, b] (a < b): at(v, values) fills the
// integrands at v. The rule is adaptive Gauss–Kronrod (7 and 15 points) in a
// variable that slows down at both ends, so that an integrand that is
// infinite but integrable at an end (the arc of a half circle) settles, and
// no integrand is ever evaluated at a or b themselves. The interval whose
// error is worst is split until every integral has settled to about ten
// significant digits or `evaluations` points are spent.
//
// Each result is the integral; +∞ or −∞ where it diverges towards one
// singular place with the integrand of one sign there, NaN where it
// diverges otherwise or the integrand is undefined on a stretch. Empty when
// the range is no usable interval.
std::optional<std::vector<double>> integrateRange(double a, double b, std::size_t count, long long evaluations,
                                                  const std::function<void(double, double*)>& at);

template <std::size_t K, class Integrands>
std::optional<std::array<double, K>> integrateRange(double a, double b, long long evaluations, Integrands&& at)
{
    const auto values = integrateRange(a, b, K, evaluations, [&](double v, double* out) {
        std::array<double, K> row{};
        at(v, row);
        for (std::size_t k = 0; k < K; ++k)
            out[k] = row[k];
    });
    if (!values)
        return std::nullopt;
    std::array<double, K> r{};
    for (std::size_t k = 0; k < K; ++k)
        r[k] = (*values)[k];
    return r;
}

// The frame of a kind's range quantities over [a, b], ends in either
// order: nothing for an end that is not finite; `whenEmpty` for a range of
// one point; otherwise the K integrals of at(v, out) (the variable's cell
// kept as it was), or nothing where either integral that `defined` names is
// undefined (a function undefined over part of the range). finish(a, b,
// integrals) makes the quantities of the kind from the integrals.
template <std::size_t K, class Integrands, class Finish>
std::optional<std::map<std::string, double>> rangeQuantities(double a, double b, double* cell, long long evaluations,
                                                             std::map<std::string, double> whenEmpty,
                                                             std::array<std::size_t, 2> defined, Integrands&& at,
                                                             Finish&& finish)
{
    if (a > b)
        std::swap(a, b);
    if (!std::isfinite(a) || !std::isfinite(b))
        return std::nullopt;
    if (a == b)
        return whenEmpty;
    const CellRestore keepCell(cell);
    const auto integrals = integrateRange<K>(a, b, evaluations, at);
    if (!integrals || std::isnan((*integrals)[defined[0]]) || std::isnan((*integrals)[defined[1]]))
        return std::nullopt;
    return finish(a, b, *integrals);
}

// The points a range computation may evaluate after `halvings` halvings of
// the old trapezoid rule's step: 2^(halvings + 1), and at least the first
// two intervals.
long long integrationPoints(int halvings);

} // namespace orlix::curve
