// Orlix: a graphing calculator.
//
//   orlix                                  the window
//   orlix --screenshot FILE [--size W,H] [--show NAME]
//                                          renders the main screen with the
//                                          stored state into FILE (PNG), offscreen;
//                                          --show opens a panel first (settings,
//                                          preferences, help), the strip of
//                                          functions (selector), the formula
//                                          keyboard (keyboard), the parameter
//                                          sliders (sliders) or the undo strip (undo)
//   --store DIR                            keeps the state in DIR instead of the
//                                          application data directory
//   --dark                                 starts as on a system in dark mode
#include <QApplication>
#include <QStringList>

#include <cstdio>
#include <cstring>

#include "appearance.h"
#include "main_window.h"

namespace {

int usage()
{
    QString names;
    for (const orlix::ShowOption& option : orlix::showOptions())
        names += (names.isEmpty() ? "" : "|") + QString::fromLatin1(option.name);
    std::fprintf(stderr, "usage: orlix [--store DIR] [--dark] [--screenshot FILE [--size W,H] [--show %s]]\n",
                 qPrintable(names));
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QString screenshot, storeDir;
    const orlix::ShowOption* show = nullptr;
    bool dark = false;
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
            show = orlix::parseShow(QString::fromLocal8Bit(argv[++i]));
            if (!show)
                return usage();
        } else if (!std::strcmp(argv[i], "--store") && hasValue) {
            storeDir = QString::fromLocal8Bit(argv[++i]);
        } else if (!std::strcmp(argv[i], "--dark")) {
            dark = true;
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
    // Lets the desktop match the window to the installed menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.orlix.Orlix"));
    if (dark)
        QApplication::setPalette(orlix::darkPalette());

    if (show && screenshot.isEmpty())
        return usage();
    if (!screenshot.isEmpty()) {
        QString problem;
        if (!orlix::renderScreenshot(screenshot, size, storeDir, show, &problem)) {
            std::fprintf(stderr, "orlix: %s\n", qPrintable(problem));
            return 1;
        }
        return 0;
    }
    orlix::MainWindow window(storeDir);
    window.show();
    return app.exec();
}
