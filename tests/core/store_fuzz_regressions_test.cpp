// Store files as the store fuzzer drives them (fuzz/store_steps.h): read as
// a launch reads them, drawn, saved, and read again. Whatever a file holds,
// the load must finish and what it gave must save and load again to the
// same records, preferences and view. Then every file the fuzzer kept as a
// seed or a finding (fuzz/corpus/store, fuzz/regressions/store).

#include <gtest/gtest.h>

#include <string>

#include "../../fuzz/kept_inputs.h"
#include "../../fuzz/store_steps.h"
#include "orlix/function_kind.h"

namespace {

using json = nlohmann::json;
using orlix::StoreDocument;
using orlix::fuzzsteps::StoreOutcome;

void expectRoundTrip(const StoreOutcome& out, const std::string& label)
{
    EXPECT_TRUE(out.sameRecords) << label;
    EXPECT_TRUE(out.sameSettings) << label;
    EXPECT_TRUE(out.sameView) << label;
}

// The record of a curve of each kind, as the app writes it.
json oneOfEachKind()
{
    json functions = json::object();
    const char* formulas[] = {"sin(x)*2+1", "y^2-1", "1+2cos(θ)", "cos(3t);sin(2t)", "x^2+y^2-4"};
    int k = 0;
    for (const orlix::FunctionKindInfo& kind : orlix::functionKinds()) {
        functions["f" + std::to_string(k + 1)] = kind.fromText(formulas[k])->toDict();
        ++k;
    }
    return functions;
}

TEST(StoreFuzzSteps, AStoreTheAppWroteLoadsWhole)
{
    json doc = {{"functions", oneOfEachKind()},
                {"settings", {{"sRoots", true}, {"sExtrs", true}, {"sInfls", true}, {"maxIntegral", 12}}},
                {"plotterSettings", {{"sx", 40}, {"sy", 40}, {"user.x", 1}, {"user.y", -1}, {"curFuncID", "f4"}}}};
    const StoreOutcome out = orlix::fuzzsteps::runStore(doc.dump());
    EXPECT_EQ(out.reading, StoreDocument::Reading::Read);
    EXPECT_EQ(out.functions, 5u);
    expectRoundTrip(out, "one of each kind");
}

TEST(StoreFuzzSteps, DamagedAndHostileFilesLoadWhatTheyCan)
{
    json record = oneOfEachKind()["f1"];
    auto with = [&](const char* key, json value) {
        json r = record;
        r[key] = std::move(value);
        return json{{"functions", {{"f1", r}}}}.dump();
    };
    const json nan = {{"@double", "nan"}}, inf = {{"@double", "inf"}};
    const struct {
        const char* name;
        std::string file;
        std::size_t functions;
    } cases[] = {
        {"empty", "", 0},
        {"not json", "{\"functions\": {", 0},
        {"not an object", "[1, 2]", 0},
        {"keys of the wrong type", R"({"functions": 5, "settings": [1], "plotterSettings": "x"})", 0},
        {"records of no kind", R"({"functions": {"f1": 1, "f2": {"type": "zFunction"}, "f3": []}})", 0},
        {"list instead of dictionary", json{{"functions", json::array({record})}}.dump(), 0},
        // A damaged program is rebuilt from the text beside it.
        {"program not an array", with("functionSM", "sin(x)"), 1},
        {"program of garbage", with("functionSM", json::array({1, "x", nullptr, json::object()})), 1},
        {"huge point count", with("NoP", 1e18), 1},
        {"negative point count", with("NoP", -5), 1},
        {"line width no number", with("lineWidth", nan), 1},
        {"infinite line width", with("lineWidth", inf), 1},
        {"dash index far out", with("dash", 1e300), 1},
        {"colour out of range", with("rColor", -1e300), 1},
        {"text of another kind", with("strRepr", json::array({1})), 1},
        {"function info not a dictionary", with("funcInfo", 7), 1},
        {"view of no number", R"({"plotterSettings": {"sx": {"@double": "nan"}, "sy": 0, "user.x": 1e308}})", 0},
        {"preferences of the wrong types",
         R"({"settings": {"sRoots": "yes", "maxIntegral": 1e300, "derAreDashed": [true]}})", 0},
    };
    for (const auto& c : cases) {
        const StoreOutcome out = orlix::fuzzsteps::runStore(c.file);
        EXPECT_EQ(out.functions, c.functions) << c.name << "\n" << c.file;
        expectRoundTrip(out, c.name);
    }
}

TEST(StoreFuzzSteps, KeptFilesLoadAndSaveTheSame)
{
    const int replayed = orlix::fuzzsteps::replayKeptInputs(
        "store", {"corpus", "regressions"}, [](const std::string& path, const std::string& bytes) {
            expectRoundTrip(orlix::fuzzsteps::runStore(bytes), path);
        });
    EXPECT_GT(replayed, 0);
}

} // namespace
