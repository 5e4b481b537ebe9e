// The application's key/value store, the Qt app's side of the core's
// store (store_file.h): one JSON document (store_document.h) in a file in
// the application data directory, read once when the store is opened
// and written back as a whole, atomically, by save().
//
// set() and remove() change the document in memory only; save() writes the
// file. Any number of changes therefore becomes one write: make them, then
// save once.
#pragma once

#include <QString>

#include "store_file.h"

namespace orlix {

class Store : public StoreFile {
  public:
    // Opens (and reads) directory/fileName. A file that is missing starts an
    // empty store. A file that cannot be read whole, is not a JSON object,
    // or holds a value the schema does not allow under its key, is copied
    // beside itself as "<fileName>.corrupt-<UTC time>" before anything else
    // happens; the store then starts with what could be read. An earlier
    // backup is never overwritten or removed.
    explicit Store(QString directory, QString fileName = defaultFileName(), Schema schema = {},
                   Access access = Access::ReadWrite);

    // The application data directory of the platform.
    static QString defaultDirectory();
    static QString defaultFileName() { return QStringLiteral("store.json"); }

    QString filePath() const;
    Access access() const override { return access_; }
    // Where the unreadable file found at opening was copied; empty when the
    // file was fine (or missing).
    const QString& backupPath() const { return backupPath_; }
    // Writes the document when it has changes (or when the file is missing).
    // The new file replaces the old one only once it is complete; on any
    // failure the old file stays as it was and the changes stay pending.
    // Returns whether the file now holds the document; a read-only store
    // writes nothing and answers false when it has changes.
    bool save() override;
    bool synchronize() { return save(); }
    // Copies the current file beside itself as "<fileName>.<tag>-<UTC time>"
    // (never over an existing file). Returns the copy's path, empty when
    // there was no file, the copy failed or the store is read-only.
    QString keepCopy(const QString& tag) const;
    // Why the last save or backup failed.
    const QString& lastError() const { return lastError_; }

    // ---- StoreFile: the same, in UTF-8 ----
    // The path with the platform's separators.
    std::string location() const override;
    std::string keepTaggedCopy(std::string_view tag) const override;
    std::string damagedCopy() const override { return backupPath_.toStdString(); }
    std::string saveError() const override { return lastError_.toStdString(); }

  private:
    void open();

    QString directory_;
    QString fileName_;
    Access access_ = Access::ReadWrite;
    // An unreadable file that could not be backed up: writing would destroy
    // the only copy, so save() refuses.
    bool saveBlocked_ = false;
    QString backupPath_;
    mutable QString lastError_;
};

} // namespace orlix
