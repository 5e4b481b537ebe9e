// Orlix: a graphing calculator.
//
//   orlix                                  the window
//   orlix --screenshot FILE [--size W,H] [--show keyboard]
//                                          renders the main screen with the
//                                          stored state into FILE (PNG), offscreen;
//                                          --show keyboard: with the formula field
//                                          edited on the formula keyboard
//   --store DIR                            keeps the state in DIR instead of the
//                                          application data directory
#include <QApplication>
#include <QStringList>

#include <cstdio>
#include <cstring>

#include "main_window.h"

namespace {

int usage()
{
    std::fprintf(stderr, "usage: orlix [--store DIR] [--screenshot FILE [--size W,H] [--show keyboard]]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QString screenshot, storeDir, show;
    QSize size(orlix::MainWindow::kWidth, orlix::MainWindow::kHeight);
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--screenshot") && hasValue) {
            screenshot = QString::fromLocal8Bit(argv[++i]);
        } else if (!std::strcmp(argv[i], "--size") && hasValue) {
            auto s = orlix::parseSize(QString::fromLocal8Bit(argv[++i]));
            if (!s)
                return usage();
            size = *s;
        } else if (!std::strcmp(argv[i], "--show") && hasValue) {
            show = QString::fromLocal8Bit(argv[++i]);
            if (show != QLatin1String("keyboard"))
                return usage();
        } else if (!std::strcmp(argv[i], "--store") && hasValue) {
            storeDir = QString::fromLocal8Bit(argv[++i]);
        } else if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            usage();
            return 0;
        } else if (argv[i][0] == '-' && argv[i][1] == '-') {
            return usage();
        }
        // Anything else is left to Qt (-platform, -style, ...).
    }
    if (!screenshot.isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orlix"));
    QCoreApplication::setApplicationName(QStringLiteral("Orlix"));

    if (!screenshot.isEmpty()) {
        if (!orlix::renderScreenshot(screenshot, size, storeDir, show)) {
            std::fprintf(stderr, "orlix: could not write %s\n", qPrintable(screenshot));
            return 1;
        }
        return 0;
    }
    orlix::MainWindow window(storeDir);
    window.show();
    return app.exec();
}
