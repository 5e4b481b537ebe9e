// The store of the browser shell: the core's document (store_file.h) kept
// under one key of the page's localStorage, in the same JSON as the
// desktop's store file. localStorage writes at once and survives the tab,
// so a save that answered true is kept even if the tab closes right after.
//
// Storage that is missing (a privacy mode), refused or full makes save()
// fail with the browser's reason; the document stays in memory with its
// changes pending, and a later save that works writes them all.
#pragma once

#include <string>

#include "store_file.h"

namespace orlix {

class WebStore final : public StoreFile {
  public:
    // Opens (and reads) the value under key. A value that is not a JSON
    // object, or holds a value the schema does not allow under its key, is
    // first copied under "<key>.corrupt-<UTC time>".
    explicit WebStore(std::string key = defaultKey(), Schema schema = {}, Access access = Access::ReadWrite);

    static std::string defaultKey() { return "orlix.store"; }
    const std::string& key() const { return key_; }

    Access access() const override { return access_; }
    bool save() override;
    std::string location() const override;
    std::string keepTaggedCopy(std::string_view tag) const override;
    std::string damagedCopy() const override { return damagedCopy_; }
    std::string saveError() const override { return lastError_; }

  private:
    std::string key_;
    Access access_;
    // A damaged value that could not be copied: writing would destroy the
    // only copy, so save() refuses.
    bool saveBlocked_ = false;
    std::string damagedCopy_;
    mutable std::string lastError_;
};

} // namespace orlix
