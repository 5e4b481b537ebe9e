#include "store.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <csignal>
#include <limits>
#include <optional>
#include <string>

#include <sys/resource.h>

using orlix::Store;
using json = nlohmann::json;

namespace {

const double nan_ = std::numeric_limits<double>::quiet_NaN();
const double inf_ = std::numeric_limits<double>::infinity();

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QStringList backups(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList({"store.json.corrupt-*"}, QDir::Files, QDir::Name);
}

bool sameDouble(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

} // namespace

TEST(Store, TypedValuesSurviveTheFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        Store s(dir.path());
        s.set("flag", true);
        s.set("off", false);
        s.set("count", 42);
        s.set("big", 9007199254740993LL);
        s.set("half", 2.5);
        s.set("whole", 3.0);
        s.set("nan", nan_);
        s.set("inf", inf_);
        s.set("-inf", -inf_);
        s.set("text", "π ≥ 3");
        s.set("record", json{{"a", nan_}, {"list", json::array({1, -inf_, "x"})}, {"b", true}});
        ASSERT_TRUE(s.save()) << s.lastError().toStdString();
    }
    Store s(dir.path());
    EXPECT_TRUE(s.boolForKey("flag"));
    EXPECT_TRUE(s.contains("off"));
    EXPECT_FALSE(s.boolForKey("off"));
    EXPECT_EQ(s.integerForKey("count"), 42);
    EXPECT_EQ(s.integerForKey("big"), 9007199254740993LL);
    EXPECT_EQ(s.doubleForKey("half"), 2.5);

    // Each value comes back with the type it was set with.
    const struct {
        const char* key;
        json::value_t type;
        double number;
    } rows[] = {
        {"flag", json::value_t::boolean, 1},        {"count", json::value_t::number_integer, 42},
        {"whole", json::value_t::number_float, 3},  {"nan", json::value_t::number_float, nan_},
        {"inf", json::value_t::number_float, inf_}, {"-inf", json::value_t::number_float, -inf_},
    };
    for (const auto& r : rows) {
        auto v = s.objectForKey(r.key);
        ASSERT_TRUE(v) << r.key;
        EXPECT_EQ(v->type(), r.type) << r.key;
        EXPECT_TRUE(sameDouble(s.doubleForKey(r.key), r.number)) << r.key;
    }
    EXPECT_EQ(s.stringForKey("text"), std::optional<std::string>("π ≥ 3"));

    auto rec = s.dictionaryForKey("record");
    ASSERT_TRUE(rec);
    EXPECT_TRUE(std::isnan((*rec)["a"].get<double>()));
    EXPECT_EQ((*rec)["list"][0], 1);
    EXPECT_EQ((*rec)["list"][1].get<double>(), -inf_);
    EXPECT_EQ((*rec)["list"][2], "x");
    EXPECT_EQ((*rec)["b"], true);
}

TEST(Store, ReadingAsAnotherTypeGivesTheMissingKeyDefault)
{
    const struct {
        json value; // null: the key is missing
        bool asBool;
        long long asInt;
        double asDouble;
        std::optional<std::string> asString;
        bool isDictionary;
    } rows[] = {
        {json(), false, 0, 0.0, std::nullopt, false},
        {json(true), true, 1, 1.0, std::nullopt, false},
        {json(false), false, 0, 0.0, std::nullopt, false},
        {json(0), false, 0, 0.0, std::nullopt, false},
        {json(7), true, 7, 7.0, std::nullopt, false},
        {json(-2.9), true, -2, -2.9, std::nullopt, false},
        {json(nan_), false, 0, nan_, std::nullopt, false},
        {json(1e300), true, std::numeric_limits<long long>::max(), 1e300, std::nullopt, false},
        {json("YES"), false, 0, 0.0, std::string("YES"), false},
        {json("5"), false, 0, 0.0, std::string("5"), false},
        {json::object({{"sRoots", true}}), false, 0, 0.0, std::nullopt, true},
        {json::array({1, 2}), false, 0, 0.0, std::nullopt, false},
    };
    QTemporaryDir dir;
    Store s(dir.path());
    for (const auto& r : rows) {
        s.set("k", r.value);
        SCOPED_TRACE(r.value.dump());
        EXPECT_EQ(s.contains("k"), !r.value.is_null());
        EXPECT_EQ(s.boolForKey("k"), r.asBool);
        EXPECT_EQ(s.integerForKey("k"), r.asInt);
        EXPECT_TRUE(sameDouble(s.doubleForKey("k"), r.asDouble));
        EXPECT_EQ(s.stringForKey("k"), r.asString);
        EXPECT_EQ(s.dictionaryForKey("k").has_value(), r.isDictionary);
        EXPECT_EQ(s.objectForKey("k").has_value(), !r.value.is_null());
    }
}

TEST(Store, ChangesReachTheFileOnlyOnSave)
{
    QTemporaryDir dir;
    const QString sub = dir.filePath("deeper/still");
    Store s(sub);
    for (int i = 0; i < 100; ++i)
        s.set("k" + std::to_string(i), i);
    s.remove("k0");
    EXPECT_FALSE(QFile::exists(s.filePath()));
    EXPECT_TRUE(s.dirty());
    ASSERT_TRUE(s.save()); // creates the directory
    EXPECT_FALSE(s.dirty());

    s.set("k1", 100);
    Store before(sub);
    EXPECT_EQ(before.integerForKey("k1"), 1);
    EXPECT_FALSE(before.contains("k0"));
    EXPECT_EQ(before.integerForKey("k99"), 99);
    ASSERT_TRUE(s.save());
    EXPECT_EQ(Store(sub).integerForKey("k1"), 100);
}

TEST(Store, FailedWriteLeavesThePreviousFile)
{
    QTemporaryDir dir;
    Store s(dir.path());
    s.set("functions", json{{"f1", {{"type", "yxFunction"}}}});
    ASSERT_TRUE(s.save());
    const QByteArray before = readAll(s.filePath());

    // A file size limit makes the write of a large document fail halfway,
    // whoever runs the test.
    s.set("filler", std::string(1 << 16, 'x'));
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = s.save();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_TRUE(s.dirty());
    EXPECT_EQ(readAll(s.filePath()), before);
    Store reread(dir.path());
    EXPECT_TRUE(reread.dictionaryForKey("functions"));
    EXPECT_FALSE(reread.contains("filler"));
    EXPECT_TRUE(backups(dir).isEmpty());
    // Leftover temporary files would pile up beside the store.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);

    EXPECT_TRUE(s.save()); // the pending changes are written once it can
    EXPECT_TRUE(Store(dir.path()).contains("filler"));
}

TEST(Store, DirectoryThatCannotBeMadeFailsTheSave)
{
    QTemporaryDir dir;
    writeAll(dir.filePath("blocker"), "a file, not a directory");
    Store s(dir.filePath("blocker/inner"));
    s.set("k", 1);
    EXPECT_FALSE(s.save());
    EXPECT_FALSE(s.lastError().isEmpty());
}

TEST(Store, UnreadableFileIsKeptAsBackupAndReadablePartsSurvive)
{
    const QByteArray functions = R"J("functions": {"f1": {"type": "yxFunction", "strRepr": "sin(x)"}})J";
    const struct {
        const char* name;
        QByteArray content;
        bool launchFailedKept; // "launchFailed": true was readable
    } rows[] = {
        {"truncated", "{" + functions + ", \"launchFailed\": tr", false},
        {"not JSON", "\x01garbage{", false},
        {"not an object", R"([{"f1": {"type": "yxFunction"}}])", false},
        {"wrong type", R"({"functions": 5, "launchFailed": true})", true},
        {"wrong type in a number key", R"({"launchFailed": "yes", "settings": {"sRoots": true}})", false},
    };
    const Store::Schema schema{{"functions", Store::Expect::Record},
                               {"launchFailed", Store::Expect::Number},
                               {"settings", Store::Expect::Object}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("store.json");
        writeAll(path, r.content);

        Store s(dir.path(), Store::defaultFileName(), schema);
        ASSERT_FALSE(s.backupPath().isEmpty());
        EXPECT_EQ(readAll(s.backupPath()), r.content);
        EXPECT_FALSE(s.dictionaryForKey("functions"));
        EXPECT_EQ(s.boolForKey("launchFailed"), r.launchFailedKept);

        // Saving the defaults replaces the store file, never the backup.
        s.set("launchFailed", false);
        ASSERT_TRUE(s.save());
        EXPECT_EQ(readAll(s.backupPath()), r.content);
        EXPECT_EQ(backups(dir).size(), 1);
    }
}

TEST(Store, ReadablePartsOfAFileWithAWrongValueAreKept)
{
    QTemporaryDir dir;
    writeAll(dir.filePath("store.json"),
             R"({"functions": {"f1": {"type": "yxFunction"}}, "settings": [1], "defTBoundaries": 1})");
    Store s(dir.path(), Store::defaultFileName(),
            {{"functions", Store::Expect::Record}, {"settings", Store::Expect::Object}});
    EXPECT_EQ(s.droppedKeys(), std::vector<std::string>{"settings"});
    EXPECT_TRUE(s.dictionaryForKey("functions"));
    EXPECT_EQ(s.integerForKey("defTBoundaries"), 1);
    EXPECT_FALSE(s.backupPath().isEmpty());
}

TEST(Store, EachCorruptFileGetsABackupOfItsOwn)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("store.json");
    writeAll(path, "{first");
    const QString first = Store(dir.path()).backupPath();
    writeAll(path, "{second");
    const QString second = Store(dir.path()).backupPath();
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());
    EXPECT_NE(first, second);
    EXPECT_EQ(readAll(first), "{first");
    EXPECT_EQ(readAll(second), "{second");
}

TEST(Store, EmptyOrGoodFilesMakeNoBackup)
{
    QTemporaryDir dir;
    writeAll(dir.filePath("store.json"), "");
    EXPECT_TRUE(Store(dir.path()).backupPath().isEmpty());
    writeAll(dir.filePath("store.json"), R"({"a": {"@double": "inf"}, "b": {"@double": "pi"}})");
    Store s(dir.path());
    EXPECT_TRUE(s.backupPath().isEmpty());
    EXPECT_EQ(s.doubleForKey("a"), inf_);
    // A tag that is not one of the three stays the record it is.
    EXPECT_TRUE(s.dictionaryForKey("b"));
    EXPECT_TRUE(backups(dir).isEmpty());
}

TEST(Store, UnreadableFileThatCannotBeCopiedIsNeverOverwritten)
{
    QTemporaryDir dir;
    // Neither readable nor copyable, whoever runs the test.
    ASSERT_TRUE(QDir(dir.path()).mkpath("store.json/inside"));
    Store s(dir.path());
    EXPECT_TRUE(s.backupPath().isEmpty());
    s.set("functions", json::object());
    EXPECT_FALSE(s.save());
    EXPECT_FALSE(s.lastError().isEmpty());
    EXPECT_TRUE(QDir(dir.filePath("store.json/inside")).exists());
}
