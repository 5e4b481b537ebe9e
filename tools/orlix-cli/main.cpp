// orlix-cli: the engine and the function model on the command line.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <locale.h>

#include "cli.h"
#include "orlix/error.h"

namespace orlix::cli {

std::map<std::string, Command>& commands()
{
    static std::map<std::string, Command> table;
    return table;
}

bool takeFlag(Args& args, const std::string& name)
{
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it == "--")
            return false;
        if (*it == name) {
            args.erase(it);
            return true;
        }
    }
    return false;
}

std::optional<std::string> takeOption(Args& args, const std::string& name)
{
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it == "--")
            return std::nullopt;
        if (*it == name) {
            if (it + 1 == args.end())
                throw UsageError("missing value after " + name);
            std::string value = *(it + 1);
            args.erase(it, it + 2);
            return value;
        }
    }
    return std::nullopt;
}

double toNumber(const std::string& text)
{
    static locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
    const char* s = text.c_str();
    char* end = nullptr;
    double v = strtod_l(s, &end, c);
    if (text.empty() || *end != '\0')
        throw UsageError("not a number: '" + text + "'");
    return v;
}

void expectPositional(const Args& args, std::size_t count)
{
    std::size_t n = 0;
    for (const std::string& a : args)
        if (a != "--")
            ++n;
    if (n != count)
        throw UsageError("expected " + std::to_string(count) + " argument(s)");
}

std::string formatValue(double v)
{
    if (std::isnan(v))
        return "nan"; // whatever its sign bit
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

nlohmann::json jsonNumber(double v)
{
    if (std::isnan(v))
        return "nan";
    if (std::isinf(v))
        return v > 0 ? "inf" : "-inf";
    // Round to 17 significant digits, which a double holds exactly.
    return std::strtod(formatValue(v).c_str(), nullptr);
}

namespace {

nlohmann::json infoToJson(const UserInfo& info)
{
    nlohmann::json j = nlohmann::json::object();
    for (const auto& [key, value] : info) {
        if (const std::string* s = std::get_if<std::string>(&value))
            j[key] = *s;
        else
            j[key] = std::get<long long>(value);
    }
    return j;
}

void printUsage(std::ostream& out)
{
    out << "usage: orlix-cli COMMAND [options] ARGUMENTS\n\ncommands:\n";
    for (const auto& [name, cmd] : commands())
        out << "  " << cmd.usage << "\n";
}

} // namespace
} // namespace orlix::cli

int main(int argc, char** argv)
{
    using namespace orlix::cli;
    if (argc < 2) {
        printUsage(std::cerr);
        return 2;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printUsage(std::cout);
        return 0;
    }
    auto it = commands().find(name);
    if (it == commands().end()) {
        std::cerr << "unknown command '" << name << "'\n";
        printUsage(std::cerr);
        return 2;
    }
    Args args(argv + 2, argv + argc);
    try {
        return it->second.run(args);
    } catch (const UsageError& e) {
        std::cerr << e.what() << "\nusage: orlix-cli " << it->second.usage << "\n";
        return 2;
    } catch (const orlix::Error& e) {
        std::cerr << e.what() << "\nname: " << e.name() << "\n";
        if (!e.userInfo().empty())
            std::cerr << "info: " << infoToJson(e.userInfo()).dump() << "\n";
        return 1;
    }
}
