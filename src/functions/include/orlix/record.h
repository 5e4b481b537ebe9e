// Reading and writing the values of a stored function record. A record comes
// from the user-defaults store and may hold anything: every reader falls back
// to its default on a missing key or a value of the wrong type.
#pragma once

#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace orlix::record {

using json = nlohmann::json;

// A double as JSON; NaN and the infinities, which JSON lacks, become the
// strings "nan", "inf" and "-inf".
json jsonDouble(double v);

// The value under key (or the value itself) as a number; also reads the
// strings jsonDouble writes. fallback for anything else.
double readDouble(const json& value, double fallback);
double readDouble(const json& object, const char* key, double fallback);
float readFloat(const json& object, const char* key, float fallback);
// A JSON number under key; none when object is no object, or the key is
// absent or holds anything else.
std::optional<double> readNumber(const json& object, const char* key);
// Integers: numbers only, truncated toward zero; fallback when not a number
// or out of the range of int.
int readInt(const json& object, const char* key, int fallback);
// Booleans; numbers count as true when not zero.
bool readBool(const json& object, const char* key, bool fallback);
std::string readString(const json& object, const char* key, const std::string& fallback = {});
// An object of strings; entries whose value is not a string are skipped.
std::map<std::string, std::string> readStringMap(const json& object, const char* key);

} // namespace orlix::record
