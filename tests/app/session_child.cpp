// The scripted session in a process of its own, for the sudden-kill test:
//   orlix_session_child STORE_DIR [--record FILE]
// opens the window on STORE_DIR, says "ready" once the launch is over,
// plays every step (with --record, appending the store file as it stands
// after the launch and after each step, one line each), says "done", and
// then waits to be killed.
#include <QApplication>
#include <QFile>
#include <QJsonDocument>

#include <cstdio>
#include <thread>

#include "orlix/color_gen.h"
#include "scripted_session.h"

using namespace orlix;

namespace {

void record(QFile& log, const MainWindow& w)
{
    QFile store(const_cast<MainWindow&>(w).session().store().filePath());
    if (!store.open(QIODevice::ReadOnly))
        return;
    log.write(QJsonDocument::fromJson(store.readAll()).toJson(QJsonDocument::Compact));
    log.write("\n");
    log.flush();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    // The colours of new curves come from a generator seeded by the clock:
    // the same seed every run gives the same files every run.
    colorGen::seed(1);
    MainWindow w{QString::fromLocal8Bit(argv[1])};
    QFile log;
    if (argc >= 4 && QByteArray(argv[2]) == "--record") {
        log.setFileName(QString::fromLocal8Bit(argv[3]));
        if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 3;
        record(log, w);
    }
    std::puts("ready");
    std::fflush(stdout);
    for (int k = 0; k < testing_qt::kScriptSteps; ++k) {
        testing_qt::playScriptStep(w, k);
        if (log.isOpen())
            record(log, w);
    }
    std::puts("done");
    std::fflush(stdout);
    for (;;)
        std::this_thread::sleep_for(std::chrono::seconds(1));
}
