// Warnings for the developer (a save that failed, stored state that could
// not be restored): never shown to the person. They go to standard error
// unless the shell sends them to its own log.
#pragma once

#include <functional>
#include <string_view>

namespace orlix {

using WarningSink = std::function<void(std::string_view line)>;

// Where warnings go from now on; an empty sink is standard error.
void setWarningSink(WarningSink sink);
// One line, UTF-8, without the newline.
void warn(std::string_view line);

} // namespace orlix
