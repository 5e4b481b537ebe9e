#include "log.h"

#include <iostream>
#include <utility>

namespace orlix {

namespace {

WarningSink& sink()
{
    static WarningSink s;
    return s;
}

} // namespace

void setWarningSink(WarningSink s) { sink() = std::move(s); }

void warn(std::string_view line)
{
    if (sink())
        sink()(line);
    else
        std::cerr << line << '\n';
}

} // namespace orlix
