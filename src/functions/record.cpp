#include "orlix/record.h"

#include <cmath>
#include <limits>

namespace orlix::record {

json jsonDouble(double v)
{
    if (std::isnan(v))
        return "nan";
    if (std::isinf(v))
        return v > 0 ? "inf" : "-inf";
    return v;
}

double readDouble(const json& value, double fallback)
{
    if (value.is_number())
        return value.get<double>();
    if (value.is_string()) {
        const auto& s = value.get_ref<const std::string&>();
        if (s == "nan")
            return std::numeric_limits<double>::quiet_NaN();
        if (s == "inf")
            return std::numeric_limits<double>::infinity();
        if (s == "-inf")
            return -std::numeric_limits<double>::infinity();
    }
    return fallback;
}

static const json* member(const json& object, const char* key)
{
    if (!object.is_object())
        return nullptr;
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

double readDouble(const json& object, const char* key, double fallback)
{
    const json* v = member(object, key);
    return v ? readDouble(*v, fallback) : fallback;
}

float readFloat(const json& object, const char* key, float fallback)
{
    double d = readDouble(object, key, fallback);
    if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max())
        return d > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    return static_cast<float>(d);
}

int readInt(const json& object, const char* key, int fallback)
{
    const json* v = member(object, key);
    if (!v)
        return fallback;
    if (v->is_boolean())
        return v->get<bool>() ? 1 : 0;
    if (!v->is_number())
        return fallback;
    double d = std::trunc(v->get<double>());
    if (v->is_number_integer()) {
        if (v->is_number_unsigned()) {
            auto u = v->get<unsigned long long>();
            return u <= static_cast<unsigned long long>(std::numeric_limits<int>::max()) ? static_cast<int>(u)
                                                                                         : fallback;
        }
        auto i = v->get<long long>();
        return i >= std::numeric_limits<int>::min() && i <= std::numeric_limits<int>::max() ? static_cast<int>(i)
                                                                                            : fallback;
    }
    if (!(d >= std::numeric_limits<int>::min() && d <= std::numeric_limits<int>::max()))
        return fallback;
    return static_cast<int>(d);
}

bool readBool(const json& object, const char* key, bool fallback)
{
    const json* v = member(object, key);
    if (!v)
        return fallback;
    if (v->is_boolean())
        return v->get<bool>();
    if (v->is_number())
        return v->get<double>() != 0;
    return fallback;
}

std::string readString(const json& object, const char* key, const std::string& fallback)
{
    const json* v = member(object, key);
    return v && v->is_string() ? v->get<std::string>() : fallback;
}

std::map<std::string, std::string> readStringMap(const json& object, const char* key)
{
    std::map<std::string, std::string> out;
    const json* v = member(object, key);
    if (!v || !v->is_object())
        return out;
    for (auto it = v->begin(); it != v->end(); ++it)
        if (it.value().is_string())
            out[it.key()] = it.value().get<std::string>();
    return out;
}

std::optional<double> readNumber(const json& object, const char* key)
{
    if (!object.is_object())
        return std::nullopt;
    auto it = object.find(key);
    if (it == object.end() || !it->is_number())
        return std::nullopt;
    return it->get<double>();
}

} // namespace orlix::record
