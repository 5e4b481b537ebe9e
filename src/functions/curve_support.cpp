#include "curve_support.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>

#include "orlix/math_engine.h"
#include "orlix/record.h"

namespace orlix::curve {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The same place reached from a sample and by a refinement lands a few
// rounding steps apart.
bool alreadyFound(const std::vector<double>& places, double v, double step)
{
    return std::any_of(places.begin(), places.end(), [&](double p) { return std::fabs(p - v) <= 1e-6 * step; });
}

// One element of a stored expression. Numbers that JSON cannot hold come as
// "nan", "inf" and "-inf", unless the engine knows such a name.
bool readItem(const nlohmann::json& j, fStack::Item& out)
{
    if (j.is_number()) {
        out = j.get<double>();
        return true;
    }
    if (j.is_null()) {
        out = kNaN;
        return true;
    }
    if (!j.is_string())
        return false;
    const auto& s = j.get_ref<const std::string&>();
    const MathEngine& e = MathEngine::sharedEngine();
    const bool known = e.NameToNumOfArgs_.count(s) != 0 || e.NameToIMP_.count(s) != 0 || e.hasConst(s);
    if (!known && (s == "nan" || s == "inf" || s == "-inf")) {
        out = record::readDouble(j, kNaN);
        return true;
    }
    out = s;
    return true;
}

} // namespace

std::string placeholderText()
{
    static std::atomic<unsigned long> counter{0};
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return "abrakadabra" + std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) + "." +
           std::to_string(++counter);
}

nlohmann::json expressionToJson(const fStack* fs)
{
    nlohmann::json items = nlohmann::json::array();
    if (!fs)
        return items;
    for (const auto& item : fs->toArray()) {
        if (const std::string* name = std::get_if<std::string>(&item))
            items.push_back(*name);
        else
            items.push_back(record::jsonDouble(std::get<double>(item)));
    }
    return items;
}

fStack::Owner expressionFromJson(const nlohmann::json& j)
{
    if (!j.is_array())
        return nullptr;
    std::vector<fStack::Item> items;
    items.reserve(j.size());
    for (const auto& e : j) {
        fStack::Item item;
        if (!readItem(e, item))
            return nullptr;
        items.push_back(std::move(item));
    }
    return fStack::fromArray(items);
}

std::vector<double> sampledRoots(const Probe& f, const Probe& df, std::span<const double> vars,
                                 std::span<const double> vals, std::size_t maxCount)
{
    std::vector<double> places;
    const int n = static_cast<int>(vals.size());
    if (!f || n < 3)
        return places;
    const double step = std::fabs(vars[1] - vars[0]);
    auto add = [&](double r) {
        if (!std::isnan(r) && !alreadyFound(places, r, step))
            places.push_back(r);
    };
    for (int i = 0; i < n && places.size() < maxCount; ++i) {
        const bool signChange = i > 0 && ((vals[i - 1] < 0 && vals[i] > 0) || (vals[i - 1] > 0 && vals[i] < 0));
        if (signChange && !markRules::isZeroSample(vals, i - 1) && !markRules::isZeroSample(vals, i)) {
            if (auto r = markRules::crossingRoot(f, vars[i - 1], vars[i]))
                add(*r);
        }
        if (markRules::isZeroSample(vals, i))
            add(vars[i]);
        // A turn towards zero that touches it, or crosses it twice between
        // two samples.
        const int end = i > 0 && df ? markRules::turnAfter(vals, i) : 0;
        if (!end)
            continue;
        const bool minimum = vals[i] < vals[i - 1];
        if (minimum ? !(vals[i] > 0) : !(vals[i] < 0))
            continue;
        const double change = std::max(std::fabs(vals[i] - vals[i - 1]), std::fabs(vals[end] - vals[i]));
        if (!(std::fabs(vals[i]) <= 2 * change))
            continue;
        const auto e = markRules::extremumBetween(f, df, vars[i - 1], vars[i], vars[end], minimum);
        if (!e)
            continue;
        const double scale = std::max({std::fabs(vals[i - 1]), std::fabs(vals[i]), std::fabs(vals[end])});
        if (markRules::isZero(e->value, scale)) {
            add(e->at);
        } else if ((e->value < 0) != (vals[i] < 0)) {
            if (auto r = markRules::crossingRoot(f, vars[i - 1], e->at))
                add(*r);
            if (auto r = markRules::crossingRoot(f, e->at, vars[end]))
                add(*r);
        }
    }
    if (places.size() > maxCount)
        places.resize(maxCount);
    return places;
}

std::vector<SampledTurn> sampledTurns(const Probe& f, const Probe& df, std::span<const double> vars,
                                      std::span<const double> vals, std::size_t maxCount)
{
    std::vector<SampledTurn> turns;
    std::vector<double> places;
    const int n = static_cast<int>(vals.size());
    if (!f || !df || n < 3)
        return turns;
    const double step = std::fabs(vars[1] - vars[0]);
    for (int i = 1; i < n && turns.size() < maxCount; ++i) {
        const int end = markRules::turnAfter(vals, i);
        if (!end)
            continue;
        const bool minimum = vals[i] < vals[i - 1];
        const auto e = markRules::extremumBetween(f, df, vars[i - 1], vars[i], vars[end], minimum);
        if (!e || alreadyFound(places, e->at, step))
            continue;
        places.push_back(e->at);
        turns.push_back(SampledTurn{*e, minimum});
    }
    return turns;
}

std::vector<double> signChangeRoots(const Probe& F, const Grid& grid, double tol, std::size_t maxCount)
{
    std::vector<double> places;
    if (!F || grid.n < 2)
        return places;
    std::vector<double> values(static_cast<std::size_t>(grid.n));
    for (int i = 0; i < grid.n; ++i)
        values[static_cast<std::size_t>(i)] = F(grid.at(i));
    auto valueAt = [&](int i) { return i >= 0 && i < grid.n ? values[static_cast<std::size_t>(i)] : kNaN; };
    for (int j = 0; j + 1 < grid.n && places.size() < maxCount; ++j) {
        if (!(valueAt(j) * valueAt(j + 1) < 0))
            continue;
        // A missing neighbour at either end counts as large enough.
        const double before = j > 0 ? valueAt(j - 1) : valueAt(j);
        const double after = j + 2 < grid.n ? valueAt(j + 2) : valueAt(j + 1);
        if (!(std::fabs(before) >= tol) || !(std::fabs(after) >= tol))
            continue;
        if (auto r = markRules::crossingRoot(F, grid.at(j), grid.at(j + 1)))
            if (!alreadyFound(places, *r, grid.step()))
                places.push_back(*r);
    }
    return places;
}

} // namespace orlix::curve
