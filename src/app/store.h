// The application's key/value store: one JSON document in the application
// data directory, read once when the store is opened and written back as a
// whole, atomically, by save().
//
// Values keep their type: bool, integer, double, string and record (a JSON
// object or array). The typed getters answer like the platform's user
// defaults: a missing key, or a key holding a value of another type, reads
// as NO, 0, 0.0 or nothing. Numbers are one family, as they are in the
// platform store: a bool reads as 0 or 1, an integer as a bool (not zero)
// or a double, a double as an integer (truncated toward zero).
//
// set() and remove() change the document in memory only; save() writes the
// file. Any number of changes therefore becomes one write: make them, then
// save once.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <QString>
#include <nlohmann/json.hpp>

namespace orlix {

class Store {
  public:
    using json = nlohmann::json;

    // What a key must hold to be read from the file.
    enum class Expect {
        Number, // bool, integer or double
        String,
        Record, // object or array
        Object,
    };
    using Schema = std::map<std::string, Expect>;
    // ReadOnly: the file is read as usual, but nothing is ever written
    // beside it or over it (no backups, save() writes nothing).
    enum class Access { ReadWrite, ReadOnly };

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
    // Where the unreadable file found at opening was copied; empty when the
    // file was fine (or missing).
    const QString& backupPath() const { return backupPath_; }
    // Keys dropped at opening because they held the wrong type.
    const std::vector<std::string>& droppedKeys() const { return dropped_; }

    bool contains(const std::string& key) const;
    bool boolForKey(const std::string& key) const;
    long long integerForKey(const std::string& key) const;
    double doubleForKey(const std::string& key) const;
    std::optional<std::string> stringForKey(const std::string& key) const;
    // Any stored value, as it was set.
    std::optional<json> objectForKey(const std::string& key) const;
    // Objects only.
    std::optional<json> dictionaryForKey(const std::string& key) const;

    void set(const std::string& key, bool v);
    void set(const std::string& key, int v) { set(key, static_cast<long long>(v)); }
    void set(const std::string& key, long v) { set(key, static_cast<long long>(v)); }
    void set(const std::string& key, long long v);
    void set(const std::string& key, double v);
    void set(const std::string& key, const char* v) { set(key, std::string(v)); }
    void set(const std::string& key, std::string v);
    // Records, or any JSON value; null removes the key.
    void set(const std::string& key, json v);
    void remove(const std::string& key);

    // Changes not yet written.
    bool dirty() const { return dirty_; }
    // Writes the document when it has changes (or when the file is missing).
    // The new file replaces the old one only once it is complete; on any
    // failure the old file stays as it was and the changes stay pending.
    // Returns whether the file now holds the document; a read-only store
    // writes nothing and answers false when it has changes.
    bool save();
    bool synchronize() { return save(); }
    // Copies the current file beside itself as "<fileName>.<tag>-<UTC time>"
    // (never over an existing file). Returns the copy's path, empty when
    // there was no file, the copy failed or the store is read-only.
    QString keepCopy(const QString& tag) const;
    // Why the last save or backup failed.
    const QString& lastError() const { return lastError_; }

    // The document with every non-finite double in its written form; and
    // back. A non-finite double, wherever it sits, is written as the
    // one-entry object {"@double": "nan" | "inf" | "-inf"}, since JSON has
    // no such numbers.
    static json encode(const json& v);
    static json decode(const json& v);

  private:
    void open();

    QString directory_;
    QString fileName_;
    Schema schema_;
    Access access_ = Access::ReadWrite;
    json doc_ = json::object();
    bool dirty_ = false;
    // An unreadable file that could not be backed up: writing would destroy
    // the only copy, so save() refuses.
    bool saveBlocked_ = false;
    QString backupPath_;
    mutable QString lastError_;
    std::vector<std::string> dropped_;
};

} // namespace orlix
