// The main screen's controller on the core alone: a plot view that draws
// nothing, a store in memory, and the hooks a shell would set.
#include "controller.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "log.h"
#include "memory_store.h"
#include "orlix/null_canvas.h"

using namespace orlix;
using json = nlohmann::json;

namespace {

struct Screen {
    StoreSession session;
    plotView view;
    OrlixViewController c{session, view};
    std::vector<std::pair<std::string, std::string>> alerts;

    explicit Screen(MemoryStore::Place& place) : session(std::make_unique<MemoryStore>(place, StoreAccess::ReadWrite))
    {
        view.layerFactory = [](SizeF size) { return std::make_unique<NullCanvas>(size); };
        view.setFrame(RectF{0, 0, 320, 480});
        c.onAlert = [this](const std::string& title, const std::string& message) {
            alerts.emplace_back(title, message);
        };
        c.load();
    }
    bool commit(const std::string& formula)
    {
        c.setFormulaText(formula);
        return c.commitFormula();
    }
    std::vector<std::string> ids() const
    {
        std::vector<std::string> out;
        for (const auto& [id, f] : c.model().functionRegister())
            out.push_back(id);
        return out;
    }
};

json storedFunctions(const MemoryStore::Place& place) { return json::parse(place.stored).at("functions"); }

} // namespace

// A formula committed, undone and redone is saved each time, and the next
// launch finds what was saved.
TEST(CoreController, FormulasAreCommittedUndoneAndKeptAcrossLaunches)
{
    MemoryStore::Place place;
    {
        Screen s(place);
        ASSERT_TRUE(s.commit("x^2-1"));
        s.c.chooseKind(FunctionKind::yx);
        ASSERT_TRUE(s.commit("2x"));
        EXPECT_EQ(s.ids(), (std::vector<std::string>{"f000001", "f000002"}));
        EXPECT_EQ(storedFunctions(place).size(), 2u);
        ASSERT_TRUE(s.c.undo());
        EXPECT_EQ(storedFunctions(place).size(), 1u);
        ASSERT_TRUE(s.c.redo());
        ASSERT_TRUE(s.c.undo());
        EXPECT_TRUE(s.alerts.empty());
    }
    Screen next(place);
    EXPECT_EQ(next.ids(), std::vector<std::string>{"f000001"});
    EXPECT_EQ(next.c.formulaText(), "x^2-1");
    // Numbering goes on after the stored functions.
    next.c.chooseKind(FunctionKind::yx);
    ASSERT_TRUE(next.commit("x"));
    EXPECT_EQ(next.ids(), (std::vector<std::string>{"f000001", "f000002"}));
}

// A store that stops taking saves is said once, in the launch notice's
// words, and logged at every failed save; once a save works again, the
// next failure is said again.
TEST(CoreController, ASaveThatFailsIsSaidOnceUntilASaveWorks)
{
    std::vector<std::string> warnings;
    setWarningSink([&](std::string_view line) { warnings.emplace_back(line); });
    MemoryStore::Place place;
    Screen s(place);
    place.failSaves = true;
    place.failure = "the disk is full";
    ASSERT_TRUE(s.commit("x"));
    s.c.chooseKind(FunctionKind::yx);
    ASSERT_TRUE(s.commit("x+1"));
    const std::pair<std::string, std::string> said{
        "Saving failed", "Orlix cannot save in memory (the disk is full): what you change will not be there the "
                         "next time it starts."};
    EXPECT_EQ(s.alerts, std::vector{said});
    EXPECT_EQ(warnings, std::vector<std::string>(2, "Orlix: the store could not be written: \"the disk is full\""));

    place.failSaves = false;
    EXPECT_TRUE(s.c.saveAll());
    EXPECT_EQ(storedFunctions(place).size(), 2u);
    place.failSaves = true;
    s.c.chooseKind(FunctionKind::yx);
    ASSERT_TRUE(s.commit("x+2"));
    EXPECT_EQ(s.alerts, (std::vector{said, said}));
    setWarningSink(nullptr);
}

// Identifiers stored by hand or by another program: a number too large for
// the counter does not overflow it, and a new function never takes the
// identifier of a record that was left out and stays in the store.
TEST(CoreController, NewIdentifiersNeverOverflowNorTakeOneTheStoreKeeps)
{
    MemoryStore::Place place;
    {
        Screen s(place);
        ASSERT_TRUE(s.commit("x^2"));
    }
    json doc = json::parse(place.stored);
    json& functions = doc["functions"];
    functions["f9223372036854775807"] = functions["f000001"];
    functions["f000001"] = "not a record";
    place.stored = doc.dump();
    // No copy can be made: the record left out stays in the store.
    place.failCopies = true;

    Screen s(place);
    ASSERT_EQ(s.ids(), std::vector<std::string>{"f9223372036854775807"});
    s.c.chooseKind(FunctionKind::yx);
    ASSERT_TRUE(s.commit("x+1"));
    EXPECT_EQ(s.ids(), (std::vector<std::string>{"f9223372036854775807", "f000002"}));
    EXPECT_EQ(storedFunctions(place).at("f000001"), "not a record");
    EXPECT_EQ(storedFunctions(place).size(), 3u);
}

TEST(CoreController, AnAppearanceChoiceResolvesAgainstTheSystemsLook)
{
    struct Case {
        AppearanceChoice choice;
        bool systemIsDark;
        Appearance expected;
    };
    const Case cases[] = {
        {AppearanceChoice::system, false, Appearance::light},
        {AppearanceChoice::system, true, Appearance::dark},
        {AppearanceChoice::light, true, Appearance::light},
        {AppearanceChoice::dark, false, Appearance::dark},
    };
    for (const Case& c : cases)
        EXPECT_EQ(resolveAppearance(c.choice, c.systemIsDark), c.expected) << static_cast<int>(c.choice);
}
