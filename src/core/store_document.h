// The document of the application's key/value store, without the file:
// reading it from the bytes of a store file, the typed getters, the
// changes, and the text a save writes. Store (store.h) adds the file.
//
// Values keep their type: bool, integer, double, string and record (a JSON
// object or array). The typed getters answer like the platform's user
// defaults: a missing key, or a key holding a value of another type, reads
// as NO, 0, 0.0 or nothing. Numbers are one family, as they are in the
// platform store: a bool reads as 0 or 1, an integer as a bool (not zero)
// or a double, a double as an integer (truncated toward zero).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace orlix {

class StoreDocument {
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

    // How the bytes of a store file read.
    enum class Reading {
        Empty,   // no bytes: an empty document
        Read,    // the whole document
        Damaged, // not a JSON object (an empty document), or keys of the
                 // wrong type (dropped, the rest read)
    };

    explicit StoreDocument(Schema schema = {}) : schema_(std::move(schema)) {}

    // Replaces the document with the one in bytes.
    Reading read(std::string_view bytes);
    // Keys dropped by the last read because they held the wrong type.
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
    // The text of the file that holds the document.
    std::string text() const;

    // The document with every non-finite double in its written form; and
    // back. A non-finite double, wherever it sits, is written as the
    // one-entry object {"@double": "nan" | "inf" | "-inf"}, since JSON has
    // no such numbers.
    static json encode(const json& v);
    static json decode(const json& v);

  protected:
    void markWritten() { dirty_ = false; }

  private:
    Schema schema_;
    json doc_ = json::object();
    bool dirty_ = false;
    std::vector<std::string> dropped_;
};

} // namespace orlix
