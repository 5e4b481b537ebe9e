#include "orlix/error.h"

namespace orlix {

std::string formatMessage(std::string text, std::initializer_list<std::string> args)
{
    std::size_t from = 0;
    for (const std::string& arg : args) {
        std::size_t at = text.find("%@", from);
        if (at == std::string::npos)
            break;
        text.replace(at, 2, arg);
        from = at + arg.size();
    }
    return text;
}

} // namespace orlix
