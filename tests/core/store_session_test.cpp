// The launch and the saves of a session on a store the shell keeps
// anywhere: here in memory, as a shell without files keeps it.
#include "store_session.h"

#include <gtest/gtest.h>

#include <string>

#include "memory_store.h"
#include "orlix/function.h"
#include "orlix/function_kind.h"

using namespace orlix;

// Whatever keeps the store, a launch that cannot write it says where and
// why in the same words; a store opened only to read is no failure.
TEST(StoreSession, AStoreThatCannotBeWrittenIsSaidWithItsReason)
{
    const struct {
        bool failSaves;
        std::string failure;
        StoreAccess access;
        std::string notice;
    } rows[] = {
        {true, "the disk is full", StoreAccess::ReadWrite,
         "Orlix cannot save in memory (the disk is full): what you change will not be there the next time it "
         "starts."},
        {true, "", StoreAccess::ReadWrite,
         "Orlix cannot save in memory (unknown error): what you change will not be there the next time it starts."},
        {true, "the disk is full", StoreAccess::ReadOnly, ""},
        {false, "", StoreAccess::ReadWrite, ""},
    };
    for (const auto& r : rows) {
        MemoryStore::Place place;
        place.failSaves = r.failSaves;
        place.failure = r.failure;
        StoreSession session = sessionOn(place, r.access);
        CurveModel model;
        session.load(model, nullptr);
        EXPECT_EQ(session.launchNotice(), r.notice) << r.failure;
        EXPECT_EQ(session.unwritableReason().empty(), r.notice.empty()) << r.failure;
    }
}

// A launch that died on the stored state: the next one starts empty, keeps
// that state in a copy and names it; what it saves then reads back.
TEST(StoreSession, AFailedLaunchKeepsTheStateInACopyAndStartsEmpty)
{
    MemoryStore::Place place;
    {
        StoreSession first = sessionOn(place);
        CurveModel model;
        first.load(model, nullptr);
        model.setFunction(defaultKind().fromText("x^2-1"), "f000001");
        ASSERT_TRUE(first.saveAll(model, nullptr));
        // It dies while a launch is under way.
        first.store().set(StoredState::launchFailedKey, true);
        ASSERT_TRUE(first.store().save());
    }
    const std::string died = place.stored;

    StoreSession next = sessionOn(place);
    CurveModel model;
    next.load(model, nullptr);
    EXPECT_TRUE(next.stateWasReset());
    EXPECT_TRUE(model.functionRegister().empty());
    EXPECT_EQ(next.failedLaunchCopy(), "memory.launch-failed");
    EXPECT_EQ(place.copies["memory.launch-failed"], died);
    EXPECT_EQ(next.launchNotice(), "The last launch did not finish, so Orlix started empty. The saved state is "
                                   "kept as memory.launch-failed.");

    model.setFunction(defaultKind().fromText("2x"), "f000002");
    ASSERT_TRUE(next.saveAll(model, nullptr));
    StoreSession third = sessionOn(place);
    CurveModel again;
    third.load(again, nullptr);
    EXPECT_FALSE(third.stateWasReset());
    ASSERT_EQ(again.functionRegister().size(), 1u);
    EXPECT_EQ(again.functionRegister().front().first, "f000002");
    EXPECT_EQ(third.launchNotice(), "");
}
