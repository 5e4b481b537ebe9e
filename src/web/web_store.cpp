#include "web_store.h"

#include <emscripten.h>

#include <cstdlib>
#include <ctime>
#include <utility>

namespace orlix {

namespace {

// clang-format off
// The value under key as a new UTF-8 string (free it), or null when there
// is none or the storage cannot be reached.
EM_JS(char*, orlix_storage_get, (const char* key), {
    try {
        const v = window.localStorage.getItem(UTF8ToString(key));
        return v === null ? 0 : allocateUTF8(v);
    } catch (e) {
        return 0;
    }
});

// Writes the value (only when the key is not taken, if fresh); answers null
// on success, else the reason as a new UTF-8 string (free it).
EM_JS(char*, orlix_storage_set, (const char* key, const char* value, int fresh), {
    try {
        const storage = window.localStorage;
        if (!storage) return allocateUTF8('this browser keeps no storage for the page');
        const k = UTF8ToString(key);
        if (fresh && storage.getItem(k) !== null) return allocateUTF8('taken');
        storage.setItem(k, UTF8ToString(value));
        return 0;
    } catch (e) {
        const full = e && (e.name === 'QuotaExceededError' || e.name === 'NS_ERROR_DOM_QUOTA_REACHED' || e.code === 22);
        return allocateUTF8(full ? "the browser's storage for this page is full" : 'the browser refused to store (' + e + ')');
    }
});
// clang-format on

std::string take(char* s)
{
    if (!s)
        return {};
    std::string r(s);
    std::free(s);
    return r;
}

std::string utcTime()
{
    const std::time_t now = std::time(nullptr);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", std::gmtime(&now));
    return text;
}

} // namespace

WebStore::WebStore(std::string key, Schema schema, Access access)
    : StoreFile(std::move(schema)), key_(std::move(key)), access_(access)
{
    char* stored = orlix_storage_get(key_.c_str());
    if (!stored)
        return;
    const std::string text = take(stored);
    if (read(text) != Reading::Damaged || access_ == Access::ReadOnly)
        return;
    damagedCopy_ = keepTaggedCopy("corrupt");
    if (damagedCopy_.empty())
        saveBlocked_ = true;
}

std::string WebStore::location() const { return "this browser's storage (\"" + key_ + "\")"; }

bool WebStore::save()
{
    if (saveBlocked_) {
        lastError_ = "the unreadable stored state could not be copied; not overwriting it";
        return false;
    }
    if (!dirty()) {
        char* stored = orlix_storage_get(key_.c_str());
        if (stored) {
            std::free(stored);
            return true;
        }
    }
    if (access_ == Access::ReadOnly) {
        lastError_ = "the store is open for reading only";
        return false;
    }
    const std::string failure = take(orlix_storage_set(key_.c_str(), text().c_str(), 0));
    if (!failure.empty()) {
        lastError_ = failure;
        return false;
    }
    markWritten();
    lastError_.clear();
    return true;
}

std::string WebStore::keepTaggedCopy(std::string_view tag) const
{
    if (access_ == Access::ReadOnly)
        return {};
    char* stored = orlix_storage_get(key_.c_str());
    if (!stored)
        return {};
    const std::string value = take(stored);
    // Never over an earlier copy: a second one in the same second is numbered.
    const std::string base = key_ + "." + std::string(tag) + "-" + utcTime();
    for (int n = 0; n < 100; ++n) {
        const std::string name = n == 0 ? base : base + "-" + std::to_string(n);
        const std::string failure = take(orlix_storage_set(name.c_str(), value.c_str(), 1));
        if (failure.empty())
            return name;
        if (failure != "taken") {
            lastError_ = failure;
            return {};
        }
    }
    lastError_ = "too many copies named " + base;
    return {};
}

} // namespace orlix
