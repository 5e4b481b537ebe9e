#include "launch.h"

#include <QDebug>

#include <memory>
#include <string_view>

#include "log.h"

namespace orlix {

Session::Session(const QString& directory, Store::Access access)
    : StoreSession(std::make_unique<Store>(directory.isEmpty() ? Store::defaultDirectory() : directory,
                                           Store::defaultFileName(), schema(), access))
{
    setWarningSink([](std::string_view line) {
        qWarning().noquote() << QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    });
}

} // namespace orlix
