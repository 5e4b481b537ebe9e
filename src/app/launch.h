// The session of the Qt app: the launch and the saving of the core's
// session (store_session.h) on the store file in the application data
// directory, with the places and the launch notice as Qt strings.
#pragma once

#include <QString>

#include "store.h"
#include "store_session.h"

namespace orlix {

class Session : public StoreSession {
  public:
    // Opens the store file in directory (the platform's application data
    // directory when empty). A read-only session writes nothing. The core's
    // warnings go to Qt's log from now on.
    explicit Session(const QString& directory = {}, Store::Access access = Store::Access::ReadWrite);

    Store& store() { return static_cast<Store&>(StoreSession::store()); }
    const Store& store() const { return static_cast<const Store&>(StoreSession::store()); }

    QString failedLaunchCopy() const { return QString::fromStdString(StoreSession::failedLaunchCopy()); }
    QString damagedFunctionsCopy() const { return QString::fromStdString(StoreSession::damagedFunctionsCopy()); }
    QString unwritableReason() const { return QString::fromStdString(StoreSession::unwritableReason()); }
    QString launchNotice() const { return QString::fromStdString(StoreSession::launchNotice()); }
};

} // namespace orlix
