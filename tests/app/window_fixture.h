// A main window over a store of its own in a temporary directory, for the
// tests that drive the window as the user does and restart it.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>

#include <memory>

#include "main_window.h"
#include "orlix/function.h"
#include "qt_environment.h"

namespace orlix::testing_qt {

class WindowTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> w;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        open();
    }
    void TearDown() override { w.reset(); }
    void open() { w = std::make_unique<MainWindow>(dir.path()); }
    // Closes the window as the app ends and opens it again on the same store.
    void restart()
    {
        w.reset();
        open();
    }
    // The function model of the window's controller.
    CurveModel& model() { return w->controller().model(); }
    // Types text into the formula field and commits it.
    void commit(const QString& text)
    {
        w->formulaField().setText(text);
        w->commitFormula();
    }
    Function* cur() { return w->controller().curFunc(); }
};

} // namespace orlix::testing_qt
