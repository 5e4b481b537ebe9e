// The formula keyboard in the window: typed on with fingers, its error
// bar, and the pads of the field being edited.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointingDevice>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "main_window.h"
#include "orlix/function.h"
#include "qt_environment.h"

using namespace orlix;

namespace {

class KeyboardAppTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    std::unique_ptr<QPointingDevice> device{QTest::createTouchDevice()};
    std::unique_ptr<MainWindow> w;

    void SetUp() override
    {
        w = std::make_unique<MainWindow>(dir.path());
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        w->setKeyboardWanted(true);
        w->keyboard().keyboard().setCustomKeys(true);
    }
    void TearDown() override { w.reset(); }
    const myKeyboard& kb() { return w->keyboard().keyboard(); }
    std::vector<std::string> variableKeys()
    {
        std::vector<std::string> v;
        for (const KeyRecord& k : kb().pad(PadSlot::variables).keyMap())
            v.push_back(k.text);
        return v;
    }
    // With ORLIX_KEYBOARD_SHOTS set, a picture of the window there.
    void shot(const char* name)
    {
        const QString d = qEnvironmentVariable("ORLIX_KEYBOARD_SHOTS");
        if (d.isEmpty())
            return;
        QDir().mkpath(d);
        w->keyboard().finishAnimations();
        EXPECT_TRUE(w->grab().save(QDir(d).filePath(QString::fromLatin1(name)), "PNG")) << name;
    }
    // A finger on the shown key labelled text.
    void tapKey(const std::string& text)
    {
        std::vector<PadSlot> shown = {PadSlot::variables, PadSlot::operators, PadSlot::controls};
        shown.push_back(kb().funcsNotNums() ? PadSlot::leftPad1 : PadSlot::numbers);
        if (kb().funcsNotNums())
            shown.push_back(PadSlot::leftPad2);
        shown.push_back(PadSlot::topBar);
        for (PadSlot slot : shown) {
            for (const KeyRecord& k : kb().pad(slot).keyMap()) {
                if (k.text != text)
                    continue;
                const QPoint at(qRound(k.rect.x + k.rect.width / 2), qRound(k.rect.y + k.rect.height / 2));
                QTest::touchEvent(&w->keyboard(), device.get()).press(0, at);
                QTest::touchEvent(&w->keyboard(), device.get()).release(0, at);
                QApplication::processEvents();
                return;
            }
        }
        ADD_FAILURE() << "no key " << text;
    }
};

TEST_F(KeyboardAppTest, AFormulaTypedOnTheKeysIsCheckedAndCommitted)
{
    w->editField(w->formulaField());
    ASSERT_TRUE(w->keyboard().isVisible());
    EXPECT_EQ(w->keyboard().geometry().bottom(), w->height() - 1);
    EXPECT_LE(w->plot().view().goodRect().maxY(), w->keyboard().y()); // the plot's band ends above it
    EXPECT_EQ(variableKeys(), (std::vector<std::string>{"x", "a", "b", "c"}));
    // Keys go in without the clipboard.
    QApplication::clipboard()->setText(QStringLiteral("the user's own"));

    for (const char* key : {"sin", "(", "x", "^2", "+", "x"})
        tapKey(key);
    // A finger held on a key shows it magnified.
    const KeyRecord& cos = kb().pad(PadSlot::leftPad1).keyMap()[1];
    const QPoint held(qRound(cos.rect.x + cos.rect.width / 2), qRound(cos.rect.y + cos.rect.height / 2));
    QTest::touchEvent(&w->keyboard(), device.get()).press(0, held);
    ASSERT_NE(kb().highlightedKey(), nullptr);
    EXPECT_EQ(kb().highlightedKey()->text, "cos");
    shot("keyboard-magnifier.png");
    QTest::touchEvent(&w->keyboard(), device.get()).move(0, QPoint(held.x(), -40)); // slides off: nothing
    QTest::touchEvent(&w->keyboard(), device.get()).release(0, QPoint(held.x(), -40));
    EXPECT_EQ(w->formulaField().text(), "sin(x^2+x");
    EXPECT_TRUE(w->formulaField().hasFocus());
    EXPECT_EQ(QApplication::clipboard()->text(), "the user's own");

    // Refused: the engine's message in the error bar, the text stays, and
    // nothing is made; confirming again leaves the bar up.
    tapKey("done");
    shot("keyboard-error.png");
    EXPECT_TRUE(kb().errorBarShown());
    EXPECT_FALSE(kb().errorText().empty());
    EXPECT_EQ(QString::fromStdString(kb().errorText()), w->fieldMessage().text());
    EXPECT_EQ(w->formulaField().text(), "sin(x^2+x");
    EXPECT_TRUE(w->controller().model().functionRegister().empty());
    tapKey("done");
    EXPECT_TRUE(kb().errorBarShown());
    // Typing hides it, on a physical key as on the keyboard's.
    QTest::keyClick(&w->formulaField(), Qt::Key_Space);
    EXPECT_FALSE(kb().errorBarShown());
    QTest::keyClick(&w->formulaField(), Qt::Key_Backspace);
    tapKey("done");
    EXPECT_TRUE(kb().errorBarShown());
    tapKey(")");
    EXPECT_FALSE(kb().errorBarShown());
    EXPECT_TRUE(w->fieldMessage().text().isEmpty());

    tapKey("done");
    ASSERT_NE(w->controller().curFunc(), nullptr);
    EXPECT_EQ(w->controller().curFunc()->functionInfo().at("f"), "sin(x^2+x)");
    EXPECT_FALSE(w->formulaField().hasFocus());
    EXPECT_FALSE(w->keyboard().isVisible());
    EXPECT_EQ(w->plot().view().goodRect().maxY(), w->bottomBar().y()); // the band is whole again
}

TEST_F(KeyboardAppTest, EachFieldGetsItsVariablesAndTheWindowsOwnKeysKeepWorking)
{
    w->newKindAction(FunctionKind::polar)->trigger();
    w->editField(w->formulaField());
    EXPECT_EQ(variableKeys(), (std::vector<std::string>{"θ", "a", "b", "c"}));
    w->editField(w->rangeMaxField());
    EXPECT_TRUE(w->keyboard().isVisible());
    EXPECT_TRUE(variableKeys().empty()); // a number
    // A physical key still types, and the keyboard's keys go to the field
    // being edited.
    w->rangeMaxField().selectAll();
    QTest::keyClicks(&w->rangeMaxField(), "2");
    tapKey("123.π");
    shot("keyboard-numbers.png");
    tapKey("π");
    EXPECT_EQ(w->rangeMaxField().text(), "2π");
    // Without the keyboard wanted, editing shows none.
    w->setKeyboardWanted(false);
    EXPECT_FALSE(w->keyboard().isVisible());
    EXPECT_TRUE(w->rangeMaxField().hasFocus());
}

// Held backspace repeats on the widget's timer, and stops when the
// keyboard goes even though the finger's lift never arrives.
TEST_F(KeyboardAppTest, HeldBackspaceStopsWhenTheKeyboardGoes)
{
    w->editField(w->formulaField());
    w->formulaField().setText("1+2+3+4+5+6");
    const KeyRecord& bs = kb().pad(PadSlot::controls).keyMap()[0];
    ASSERT_EQ(bs.action, KeyAction::backspace);
    const QPoint at(qRound(bs.rect.x + bs.rect.width / 2), qRound(bs.rect.y + bs.rect.height / 2));
    QTest::touchEvent(&w->keyboard(), device.get()).press(0, at);
    EXPECT_EQ(w->formulaField().text(), "1+2+3+4+5+");
    QTest::qWait(1500);
    const int held = static_cast<int>(w->formulaField().text().size());
    EXPECT_LE(held, 9); // repeated
    w->setKeyboardWanted(false);
    ASSERT_FALSE(w->keyboard().isVisible());
    QTest::qWait(1000);
    EXPECT_EQ(w->formulaField().text().size(), held);
    EXPECT_TRUE(w->formulaField().hasFocus());
}

} // namespace
