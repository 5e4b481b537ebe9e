// The one Qt application of app_tests. Every test file that needs Qt
// includes this header; the inline variable makes a single environment for
// the whole binary, whichever files include it. A QApplication (widgets)
// serves the painting tests as well, being a QGuiApplication too.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>

namespace orlix::testing_qt {

// Text and widgets need an application object; the offscreen platform
// needs no screen.
class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override
    {
        if (QCoreApplication::instance())
            return;
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "app_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    void TearDown() override
    {
        delete app_;
        app_ = nullptr;
    }

  private:
    QApplication* app_ = nullptr;
};

inline ::testing::Environment* const qtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace orlix::testing_qt
