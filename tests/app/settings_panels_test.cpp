// The function-settings panel, the preferences screen and the help page as
// the user meets them: what they change, what a restart finds again, what
// they refuse, and functions deleted all at once coming back.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

#include <memory>
#include <string>
#include <vector>

#include "controller.h"
#include "function_settings_view.h"
#include "help_view.h"
#include "main_window.h"
#include "orlix/color_gen.h"
#include "orlix/function.h"
#include "orlix/function_kind.h"
#include "orlix/math_engine.h"
#include "preferences_view.h"
#include "window_fixture.h"

using namespace orlix;

namespace {

class SettingsPanelsTest : public testing_qt::WindowTest {
  protected:
    // Answers the open question with the button titled title.
    void answer(QMessageBox* box, const QString& title)
    {
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* b : box->buttons())
            if (b->text() == title) {
                b->click();
                return;
            }
        FAIL() << "no button " << title.toStdString();
    }
    std::vector<std::string> formulas()
    {
        std::vector<std::string> v;
        for (const auto& [id, f] : model().functionRegister())
            v.push_back(f->functionInfo().at("f"));
        return v;
    }
};

} // namespace

TEST_F(SettingsPanelsTest, ColourDashAndDensityChangedInThePanelSurviveARestart)
{
    commit("x^2");
    ASSERT_NE(cur(), nullptr);
    const float alpha = cur()->color().a;
    ASSERT_TRUE(w->presentFunctionSettings());
    functionSettings& panel = w->funcSettingsPanel();
    EXPECT_EQ(w->openPanel(), Panel::functionSettings);
    panel.slider(0).setValue(250);
    panel.slider(1).setValue(500);
    panel.slider(2).setValue(750);
    panel.dashButton().click(); // solid → the first dashed pattern
    panel.densityField().setText("700");
    panel.doneButton().click();
    EXPECT_EQ(w->openPanel(), Panel::none);

    restart();
    ASSERT_NE(cur(), nullptr);
    const Color c = cur()->color();
    EXPECT_FLOAT_EQ(c.r, 0.25f);
    EXPECT_FLOAT_EQ(c.g, 0.5f);
    EXPECT_FLOAT_EQ(c.b, 0.75f);
    EXPECT_FLOAT_EQ(c.a, alpha);
    EXPECT_EQ(cur()->dashPatternSize(), colorGen::sharedColorGen().dashSizes(1));
    EXPECT_EQ(cur()->chosenPointCount(), 700);
}

TEST_F(SettingsPanelsTest, ABadDensityIsRefusedInThePanelAndChangesNothing)
{
    commit("x^2");
    const int points = cur()->chosenPointCount();
    const Color before = cur()->color();
    struct Case {
        const char* typed;
        const char* message;
    };
    const Case cases[] = {
        {"99", "Number of points can't be less than 100!"},
        {"0/0", "Number of points must be integer!"},
        {"1e9", "Number of points can't be greater than 2000!"},
        {"abc(", nullptr}, // the field's own syntax message
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(w->presentFunctionSettings());
        functionSettings& panel = w->funcSettingsPanel();
        panel.slider(0).setValue(1000);
        panel.densityField().setText(QString::fromUtf8(c.typed));
        panel.doneButton().click();
        EXPECT_EQ(w->openPanel(), Panel::functionSettings) << c.typed;
        EXPECT_FALSE(panel.densityMessage().text().isEmpty()) << c.typed;
        if (c.message) {
            EXPECT_EQ(panel.densityMessage().text().toStdString(), c.message);
        }
        EXPECT_EQ(cur()->chosenPointCount(), points);
        EXPECT_EQ(cur()->color().r, before.r);
        panel.cancel();
    }
    // Without a current function there is nothing to set.
    w->newKindAction(FunctionKind::yx)->trigger();
    EXPECT_FALSE(w->presentFunctionSettings());
    EXPECT_FALSE(w->funcSettingsButton().isEnabled());
}

TEST_F(SettingsPanelsTest, IntegrationStepsFollowTheSegmentIndex)
{
    struct Case {
        int segment;
        int maxIntegral;
    };
    for (const Case& c : {Case{0, 8}, Case{1, 10}, Case{2, 12}, Case{4, 16}}) {
        EXPECT_EQ(PreferencesModel::maxIntegralForSegment(c.segment), c.maxIntegral);
        EXPECT_EQ(PreferencesModel::segmentForMaxIntegral(c.maxIntegral), c.segment);
    }
    // Values no segment stands for.
    for (int m : {0, 7, 9, 18, 20})
        EXPECT_EQ(PreferencesModel::segmentForMaxIntegral(m), -1) << m;

    // Chosen on the screen, kept over a restart.
    w->presentSettings();
    w->preferencesPanel().choiceControl(PrefChoice::maxIntegral)->button(0)->click();
    w->preferencesPanel().doneButton().click();
    EXPECT_EQ(model().maxIntegral(), 8);
    restart();
    EXPECT_EQ(model().maxIntegral(), 8);

    // A stored value the screen cannot show survives "Done" untouched.
    model().setMaxIntegral(20);
    w->presentSettings();
    EXPECT_EQ(w->preferencesPanel().choiceControl(PrefChoice::maxIntegral)->checkedId(), -1);
    w->preferencesPanel().doneButton().click();
    EXPECT_EQ(model().maxIntegral(), 20);
}

TEST_F(SettingsPanelsTest, ResetTheSwitchesAndTheLaunchKeys)
{
    preferencesView& prefs = w->preferencesPanel();
    w->presentSettings();
    prefs.switchControl(PrefSwitch::saveFuncs)->setChecked(false);
    prefs.switchControl(PrefSwitch::showOsculatingCircle)->setChecked(true);
    prefs.resetSettings();
    EXPECT_TRUE(prefs.switchControl(PrefSwitch::saveFuncs)->isChecked());
    EXPECT_TRUE(prefs.switchControl(PrefSwitch::derAreDashed)->isChecked());
    EXPECT_FALSE(prefs.switchControl(PrefSwitch::showOsculatingCircle)->isChecked());
    EXPECT_EQ(prefs.choiceControl(PrefChoice::maxIntegral)->checkedId(), 1);
    // The keys a launch reads, written where a launch reads them.
    prefs.choiceControl(PrefChoice::polarRange)->button(1)->click();
    prefs.switchControl(PrefSwitch::infoPanelLeft)->setChecked(true);
    prefs.switchControl(PrefSwitch::resetPositionOnLaunch)->setChecked(true);
    prefs.doneButton().click();
    EXPECT_TRUE(w->session().store().boolForKey(Session::resetPositionKey));
    EXPECT_TRUE(model().derAreDashed());
    EXPECT_FALSE(w->plot().view().showOsculatingCircle());
    EXPECT_TRUE(w->plot().view().isLeftAligned());
    // A new polar curve starts at 0 at once.
    w->newKindAction(FunctionKind::polar)->trigger();
    EXPECT_EQ(w->rangeMinField().text(), "0");
    EXPECT_EQ(w->rangeMaxField().text(), "2π");

    restart();
    const Store& store = w->session().store();
    EXPECT_EQ(store.integerForKey(Session::defRfKey), 1);
    EXPECT_EQ(store.integerForKey(Session::defTKey), 0);
    EXPECT_TRUE(store.boolForKey(Session::infoviewAlignmentKey));
    EXPECT_TRUE(w->plot().view().isLeftAligned());
    EXPECT_TRUE(model().rangeDefaults().polarFromZero);
}

TEST_F(SettingsPanelsTest, DeleteAllAsksAndCanBeUndoneUntilTheAppEnds)
{
    commit("x^2");
    w->newKindAction(FunctionKind::yx)->trigger();
    commit("x+1");
    w->newKindAction(FunctionKind::implicit)->trigger();
    commit("x^2+y^2-4");
    model().functionRegister()[1].second->setColorWithR(0.1f, 0.2f, 0.3f, 1);
    w->controller().makeCurrent(model().functionRegister()[1].second);
    const std::vector<std::string> before = formulas();

    preferencesView& prefs = w->preferencesPanel();
    // Cancelled: nothing happens.
    w->presentSettings();
    prefs.deleteAllPressed();
    answer(prefs.openQuestion(), "Cancel");
    EXPECT_TRUE(prefs.deleteAllButton().isEnabled());
    // Asked for, then the screen left with Escape: nothing happens either.
    prefs.deleteAllPressed();
    answer(prefs.openQuestion(), "Yes");
    EXPECT_FALSE(prefs.deleteAllButton().isEnabled());
    EXPECT_EQ(prefs.deleteAllButton().text(), "Functions deleted");
    w->cancelPanel();
    EXPECT_EQ(formulas(), before);

    // Asked for and confirmed with Done.
    w->presentSettings();
    EXPECT_TRUE(prefs.deleteAllButton().isEnabled());
    prefs.deleteAllPressed();
    answer(prefs.openQuestion(), "Yes");
    prefs.doneButton().click();
    EXPECT_TRUE(model().functionRegister().empty());
    EXPECT_EQ(cur(), nullptr);
    EXPECT_EQ(w->kindLabel().text(), "y(x)=");
    EXPECT_FALSE(w->undoBar().isHidden());

    // A function typed since is the step undone first; the strip offers
    // the deletion again once it is the next step, and brings it back.
    commit("sin(x)");
    EXPECT_TRUE(w->undoBar().isHidden());
    w->controller().undo();
    EXPECT_TRUE(model().functionRegister().empty());
    EXPECT_FALSE(w->undoBar().isHidden());
    w->undoBar().findChild<QPushButton*>()->click();
    EXPECT_EQ(formulas(), before);
    ASSERT_NE(cur(), nullptr);
    EXPECT_EQ(cur()->functionInfo().at("f"), "x+1");
    EXPECT_FLOAT_EQ(cur()->color().b, 0.3f);
    EXPECT_TRUE(w->undoBar().isHidden());

    restart();
    EXPECT_EQ(formulas(), before);
}

TEST_F(SettingsPanelsTest, KeysOpenThePanelsAndEscapeLeavesThem)
{
    commit("x^2");
    w->show();
    QApplication::setActiveWindow(w.get());
    w->plot().setFocus();
    QTest::keyClick(&w->plot(), Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(w->openPanel(), Panel::preferences);
    // Tab moves within the screen, not the bars.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(w->controller().interfaceState(), 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    EXPECT_EQ(w->openPanel(), Panel::help);
    EXPECT_TRUE(w->helpPanel().browser().toPlainText().contains("Typing a formula"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(w->openPanel(), Panel::preferences);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(w->openPanel(), Panel::none);

    w->funcSettingsButton().click();
    EXPECT_EQ(w->openPanel(), Panel::functionSettings);
    const float red = cur()->color().r;
    w->funcSettingsPanel().slider(0).setValue(red > 0.5f ? 0 : functionSettings::kSliderSteps);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(w->openPanel(), Panel::none);
    EXPECT_EQ(cur()->color().r, red); // cancelled: the colour stays
}
