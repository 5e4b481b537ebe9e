// A store kept in memory, as a shell without files keeps it, for the
// core's tests: its saves can be made to fail, its copies are kept by tag.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "store_file.h"
#include "store_session.h"
#include "stored_state.h"

namespace orlix {

class MemoryStore final : public StoreFile {
  public:
    struct Place {
        std::string stored;
        std::map<std::string, std::string> copies;
        bool failSaves = false;
        bool failCopies = false;
        std::string failure;
    };

    MemoryStore(Place& place, Access access) : StoreFile(StoredState::schema()), place_(place), access_(access)
    {
        read(place_.stored);
    }

    Access access() const override { return access_; }
    bool save() override
    {
        if (!dirty() && !place_.stored.empty())
            return true;
        if (access_ == Access::ReadOnly) {
            error_ = "read only";
            return false;
        }
        if (place_.failSaves) {
            error_ = place_.failure;
            return false;
        }
        place_.stored = text();
        markWritten();
        error_.clear();
        return true;
    }
    std::string location() const override { return "memory"; }
    std::string keepTaggedCopy(std::string_view tag) const override
    {
        if (access_ == Access::ReadOnly || place_.stored.empty() || place_.failCopies)
            return {};
        const std::string name = "memory." + std::string(tag);
        place_.copies[name] = place_.stored;
        return name;
    }
    std::string damagedCopy() const override { return {}; }
    std::string saveError() const override { return error_; }

  private:
    Place& place_;
    Access access_;
    std::string error_;
};

inline StoreSession sessionOn(MemoryStore::Place& place, StoreAccess access = StoreAccess::ReadWrite)
{
    return StoreSession(std::make_unique<MemoryStore>(place, access));
}

} // namespace orlix
