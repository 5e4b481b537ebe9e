// The store as the core sees it: the document (store_document.h) and the
// place that keeps it between launches. The shell provides the place: a
// file in the application data directory on a desktop (Store, in the Qt
// app), the browser's own storage on the web.
//
// Texts are UTF-8, written as a person reads them: they go into messages.
#pragma once

#include <string>
#include <string_view>

#include "store_document.h"

namespace orlix {

// ReadOnly: the stored state is read as usual, but nothing is ever written
// beside it or over it (no copies, save() writes nothing).
enum class StoreAccess { ReadWrite, ReadOnly };

class StoreFile : public StoreDocument {
  public:
    using Access = StoreAccess;

    explicit StoreFile(Schema schema = {}) : StoreDocument(std::move(schema)) {}
    virtual ~StoreFile() = default;

    virtual Access access() const = 0;
    // Writes the document when it has changes (or when nothing is stored
    // yet). What was stored is replaced only by a complete new document;
    // on any failure it stays as it was and the changes stay pending.
    // Returns whether the place now holds the document; a read-only store
    // writes nothing and answers false when it has changes.
    virtual bool save() = 0;
    // Where the store lives (a file's path in the platform's own form).
    virtual std::string location() const = 0;
    // Keeps what is stored now in a copy beside it, named with tag and the
    // time, never over an earlier copy. Returns where the copy is; empty
    // when nothing was stored, the copy failed or the store is read-only.
    virtual std::string keepTaggedCopy(std::string_view tag) const = 0;
    // Where the unreadable state found at opening was copied; empty when
    // it was fine (or missing).
    virtual std::string damagedCopy() const = 0;
    // Why the last save or copy failed.
    virtual std::string saveError() const = 0;
};

} // namespace orlix
