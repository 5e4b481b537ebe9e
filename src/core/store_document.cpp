#include "store_document.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <utility>

namespace orlix {

namespace {

constexpr const char* doubleTag = "@double";

bool allows(StoreDocument::Expect e, const StoreDocument::json& v)
{
    switch (e) {
    case StoreDocument::Expect::Number: return v.is_number() || v.is_boolean();
    case StoreDocument::Expect::String: return v.is_string();
    case StoreDocument::Expect::Record: return v.is_object() || v.is_array();
    case StoreDocument::Expect::Object: return v.is_object();
    }
    return false;
}

} // namespace

StoreDocument::Reading StoreDocument::read(std::string_view bytes)
{
    doc_ = json::object();
    dirty_ = false;
    dropped_.clear();
    if (bytes.empty())
        return Reading::Empty; // nothing there to lose
    json parsed = json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object())
        return Reading::Damaged;
    doc_ = decode(parsed);
    for (const auto& [key, expect] : schema_) {
        auto it = doc_.find(key);
        if (it != doc_.end() && !allows(expect, *it)) {
            dropped_.push_back(key);
            doc_.erase(it);
        }
    }
    return dropped_.empty() ? Reading::Read : Reading::Damaged;
}

bool StoreDocument::contains(const std::string& key) const { return doc_.contains(key); }

bool StoreDocument::boolForKey(const std::string& key) const
{
    auto it = doc_.find(key);
    if (it == doc_.end())
        return false;
    if (it->is_boolean())
        return it->get<bool>();
    if (it->is_number_integer() || it->is_number_unsigned())
        return it->get<long long>() != 0;
    if (it->is_number_float()) {
        const double v = it->get<double>();
        return !std::isnan(v) && v != 0;
    }
    return false;
}

long long StoreDocument::integerForKey(const std::string& key) const
{
    auto it = doc_.find(key);
    if (it == doc_.end())
        return 0;
    if (it->is_boolean())
        return it->get<bool>() ? 1 : 0;
    if (it->is_number_unsigned()) {
        const auto u = it->get<unsigned long long>();
        return u > static_cast<unsigned long long>(LLONG_MAX) ? LLONG_MAX : static_cast<long long>(u);
    }
    if (it->is_number_integer())
        return it->get<long long>();
    if (it->is_number_float()) {
        const double v = std::trunc(it->get<double>());
        if (std::isnan(v))
            return 0;
        if (v >= 9.2233720368547758e18)
            return LLONG_MAX;
        if (v <= -9.2233720368547758e18)
            return LLONG_MIN;
        return static_cast<long long>(v);
    }
    return 0;
}

double StoreDocument::doubleForKey(const std::string& key) const
{
    auto it = doc_.find(key);
    if (it == doc_.end())
        return 0.0;
    if (it->is_boolean())
        return it->get<bool>() ? 1.0 : 0.0;
    if (it->is_number())
        return it->get<double>();
    return 0.0;
}

std::optional<std::string> StoreDocument::stringForKey(const std::string& key) const
{
    auto it = doc_.find(key);
    if (it == doc_.end() || !it->is_string())
        return std::nullopt;
    return it->get<std::string>();
}

std::optional<StoreDocument::json> StoreDocument::objectForKey(const std::string& key) const
{
    auto it = doc_.find(key);
    if (it == doc_.end())
        return std::nullopt;
    return *it;
}

std::optional<StoreDocument::json> StoreDocument::dictionaryForKey(const std::string& key) const
{
    auto it = doc_.find(key);
    if (it == doc_.end() || !it->is_object())
        return std::nullopt;
    return *it;
}

void StoreDocument::set(const std::string& key, bool v) { set(key, json(v)); }

void StoreDocument::set(const std::string& key, long long v) { set(key, json(static_cast<std::int64_t>(v))); }

void StoreDocument::set(const std::string& key, double v) { set(key, json(v)); }

void StoreDocument::set(const std::string& key, std::string v) { set(key, json(std::move(v))); }

void StoreDocument::set(const std::string& key, json v)
{
    if (v.is_null()) {
        remove(key);
        return;
    }
    doc_[key] = std::move(v);
    dirty_ = true;
}

void StoreDocument::remove(const std::string& key)
{
    if (doc_.erase(key) > 0)
        dirty_ = true;
}

std::string StoreDocument::text() const { return encode(doc_).dump(1, '\t', false, json::error_handler_t::replace); }

StoreDocument::json StoreDocument::encode(const json& v)
{
    if (v.is_number_float()) {
        const double d = v.get<double>();
        if (std::isnan(d))
            return json{{doubleTag, "nan"}};
        if (std::isinf(d))
            return json{{doubleTag, d > 0 ? "inf" : "-inf"}};
        return v;
    }
    if (v.is_object()) {
        json out = json::object();
        for (auto it = v.begin(); it != v.end(); ++it)
            out[it.key()] = encode(it.value());
        return out;
    }
    if (v.is_array()) {
        json out = json::array();
        for (const auto& e : v)
            out.push_back(encode(e));
        return out;
    }
    return v;
}

StoreDocument::json StoreDocument::decode(const json& v)
{
    // The parser reads every non-negative integer as unsigned; integers are
    // set as signed, so they come back as signed where they fit.
    if (v.is_number_unsigned()) {
        const auto u = v.get<std::uint64_t>();
        if (u <= static_cast<std::uint64_t>(LLONG_MAX))
            return json(static_cast<std::int64_t>(u));
        return v;
    }
    if (v.is_object()) {
        if (v.size() == 1) {
            auto it = v.find(doubleTag);
            if (it != v.end() && it->is_string()) {
                const auto& s = it->get_ref<const std::string&>();
                if (s == "nan")
                    return json(std::nan(""));
                if (s == "inf")
                    return json(HUGE_VAL);
                if (s == "-inf")
                    return json(-HUGE_VAL);
            }
        }
        json out = json::object();
        for (auto it = v.begin(); it != v.end(); ++it)
            out[it.key()] = decode(it.value());
        return out;
    }
    if (v.is_array()) {
        json out = json::array();
        for (const auto& e : v)
            out.push_back(decode(e));
        return out;
    }
    return v;
}

} // namespace orlix
