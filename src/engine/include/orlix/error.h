// The one exception type of Orlix: a name, a reason (the text the user sees,
// returned by what()) and optional user info.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <variant>

namespace orlix {

using InfoValue = std::variant<std::string, long long>;
using UserInfo = std::map<std::string, InfoValue>;

class Error : public std::runtime_error {
  public:
    Error(std::string name, const std::string& reason, UserInfo info = {})
        : std::runtime_error(reason), name_(std::move(name)), info_(std::move(info))
    {
    }
    // Name and reason are the same text.
    explicit Error(const std::string& reason) : Error(reason, reason) {}

    const std::string& name() const noexcept { return name_; }
    std::string reason() const { return what(); }
    const UserInfo& userInfo() const noexcept { return info_; }

  private:
    std::string name_;
    UserInfo info_;
};

// Fills the first "%@" of a message with each argument in turn.
std::string formatMessage(std::string text, std::initializer_list<std::string> args);

} // namespace orlix
