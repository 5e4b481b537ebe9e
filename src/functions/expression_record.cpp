// The stored form of compiled expressions.
#include "orlix/expression_record.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <limits>

#include "orlix/math_engine.h"
#include "orlix/record.h"

namespace orlix {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

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
    const bool known = e.knowsName(s);
    if (!known && (s == "nan" || s == "inf" || s == "-inf")) {
        out = record::readDouble(j, kNaN);
        return true;
    }
    out = s;
    return true;
}

} // namespace

namespace record {

std::string placeholderText()
{
    static std::atomic<unsigned long> counter{0};
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return "abrakadabra" + std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) + "." +
           std::to_string(++counter);
}

nlohmann::json writeExpression(const fStack* fs)
{
    nlohmann::json items = nlohmann::json::array();
    if (!fs)
        return items;
    for (const auto& item : fs->toArray()) {
        if (const std::string* name = std::get_if<std::string>(&item))
            items.push_back(*name);
        else
            items.push_back(jsonDouble(std::get<double>(item)));
    }
    return items;
}

fStack::Owner readExpression(const nlohmann::json& items)
{
    if (!items.is_array())
        return nullptr;
    std::vector<fStack::Item> read;
    read.reserve(items.size());
    for (const auto& j : items) {
        fStack::Item item;
        if (!readItem(j, item))
            return nullptr;
        read.push_back(std::move(item));
    }
    return fStack::fromArray(read);
}

} // namespace record

} // namespace orlix
