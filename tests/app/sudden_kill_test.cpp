// Sudden kills: the scripted session runs in a process of its own and is
// killed (SIGKILL) at a random moment after its launch, saves included; the
// store it leaves must be one the session saved whole, read without a
// backup, and the next launch must find its functions. ORLIX_KILLS sets the
// number of kills (20 by default), ORLIX_SOAK_SEED their moments.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <thread>

#include "main_window.h"
#include "store.h"
#include "stored_state.h"

using namespace orlix;

namespace {

long long envNumber(const char* name, long long fallback)
{
    const char* v = std::getenv(name);
    return v && *v ? std::atoll(v) : fallback;
}

// Starts the session on dir; false when it did not get through its launch.
bool startSession(QProcess& child, const QString& dir, const QStringList& more = {})
{
    child.setProgram(QStringLiteral(ORLIX_SESSION_CHILD));
    child.setArguments(QStringList{dir} + more);
    child.start();
    if (!child.waitForStarted(10000))
        return false;
    // A busy machine (a parallel build) can take long over a launch.
    while (!child.canReadLine())
        if (!child.waitForReadyRead(120000))
            return false;
    return child.readLine().trimmed() == "ready";
}

QJsonDocument storeFile(const QString& dir)
{
    QFile f(QDir(dir).filePath(Store::defaultFileName()));
    return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()) : QJsonDocument();
}

TEST(SuddenKill, EveryKillLeavesAStoreTheSessionSaved)
{
    // The states the session saves, from one run that is not killed.
    QTemporaryDir recordDir;
    const QString log = recordDir.filePath(QStringLiteral("states.jsonl"));
    QProcess recorder;
    ASSERT_TRUE(startSession(recorder, recordDir.path(), {QStringLiteral("--record"), log}));
    QElapsedTimer sessionClock;
    sessionClock.start();
    while (!recorder.canReadLine() || recorder.readLine().trimmed() != "done")
        ASSERT_TRUE(recorder.waitForReadyRead(120000)) << "the recording session did not finish";
    const qint64 sessionMs = sessionClock.elapsed();
    recorder.kill();
    recorder.waitForFinished();
    std::set<QByteArray> saved;
    {
        QFile states(log);
        ASSERT_TRUE(states.open(QIODevice::ReadOnly));
        while (!states.atEnd())
            saved.insert(states.readLine().trimmed());
    }
    ASSERT_GT(saved.size(), 10u);

    const long long kills = envNumber("ORLIX_KILLS", 20);
    std::mt19937_64 rng(static_cast<unsigned long long>(envNumber("ORLIX_SOAK_SEED", 20261210)));
    int leftovers = 0;
    for (long long n = 0; n < kills; ++n) {
        QTemporaryDir dir;
        QProcess child;
        ASSERT_TRUE(startSession(child, dir.path())) << "kill " << n;
        const auto wait = std::uniform_int_distribution<qint64>(0, sessionMs)(rng);
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        child.kill();
        ASSERT_TRUE(child.waitForFinished(10000));

        // A save cut short may leave its unfinished temporary file beside
        // the store (where the file system has no unnamed ones), never in
        // its place.
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        if (files.size() > 1)
            ++leftovers;
        for (const QString& f : files)
            ASSERT_FALSE(f.contains(QStringLiteral(".corrupt-")) || f.contains(QStringLiteral(".launch-failed-")))
                << "kill " << n << " after " << wait << " ms left a backup " << f.toStdString();
        const QByteArray stored = storeFile(dir.path()).toJson(QJsonDocument::Compact);
        ASSERT_TRUE(saved.count(stored)) << "kill " << n << " after " << wait << " ms left a store the session never saved:\n"
                                         << stored.toStdString();

        // The next launch reads it whole and finds every function.
        MainWindow next{dir.path()};
        EXPECT_TRUE(next.session().launchNotice().isEmpty()) << next.session().launchNotice().toStdString();
        const QJsonDocument reread = storeFile(dir.path());
        EXPECT_EQ(static_cast<std::size_t>(reread.object().value(StoredState::functionsKey).toObject().size()),
                  next.controller().model().functionRegister().size());
    }
    std::printf("sudden kills: %lld at moments spread over a session of %lld ms, saves included; %d left a "
                "temporary file beside the store\n",
                kills, static_cast<long long>(sessionMs), leftovers);
}

} // namespace
