// Shared pieces of orlix-cli: command registration, argument reading and
// the output formats every command follows.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace orlix::cli {

// A wrong command line: the message goes to standard error, exit code 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using Args = std::vector<std::string>;
using Handler = std::function<int(Args&)>;

struct Command {
    Handler run;
    std::string usage;
};

std::map<std::string, Command>& commands();

struct Registrar {
    Registrar(const std::string& name, std::string usage, Handler run)
    {
        commands()[name] = Command{std::move(run), std::move(usage)};
    }
};

// Removes "--name" from args; true when it was there.
bool takeFlag(Args& args, const std::string& name);
// Removes "--name VALUE" from args and returns VALUE.
std::optional<std::string> takeOption(Args& args, const std::string& name);
// A number as typed on the command line: decimal, "nan", "inf", "-inf".
double toNumber(const std::string& text);
// Exactly `count` positional arguments are left, or a usage error.
void expectPositional(const Args& args, std::size_t count);

// "%.17g" (so nan, inf, -inf, -0).
std::string formatValue(double v);
// 17 significant digits for finite numbers, "nan", "inf", "-inf" as strings.
nlohmann::json jsonNumber(double v);

} // namespace orlix::cli
