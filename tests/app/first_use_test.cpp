// What a person meets in the first hour: formulas typed with their kind's
// prefix, a refused formula that shows where it is wrong, colours that do
// not repeat, an add menu whose kinds stay in place, disabled buttons that
// look disabled, a panel that takes a typed value in any mode, and dialogs
// and messages that fit a phone's window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QToolButton>

#include <cmath>
#include <optional>
#include <set>
#include <string>
#include <tuple>

#include "icons.h"
#include "info_view.h"
#include "orlix/function.h"
#include "orlix/function_kind.h"
#include "orlix/plot_plane.h"
#include "window_fixture.h"

using namespace orlix;

namespace {

class FirstUse : public testing_qt::WindowTest {
  protected:
    void kind(FunctionKind k) { w->newKindAction(k)->trigger(); }
    infoView& panel() { return *dynamic_cast<infoView*>(w->plot().view().iView()); }
};

} // namespace

TEST_F(FirstUse, AKindsOwnPrefixIsIgnoredAndAnyOtherEqualsRefused)
{
    struct Case {
        FunctionKind kind;
        const char* typed;
        const char* formula; // as kept; nullptr: refused
        double at;           // the variable
        double x, y;         // the curve's point there
    };
    const Case cases[] = {
        {FunctionKind::yx, "y=x^2", "x^2", 2, 2, 4},
        {FunctionKind::yx, " y(x) = x^2", "x^2", 2, 2, 4},
        {FunctionKind::xy, "x=y^2", "y^2", 2, 4, 2},
        {FunctionKind::polar, "r(θ)=2", "2", 0, 2, 0},
        {FunctionKind::polar, "r=2", "2", 0, 2, 0},
        {FunctionKind::implicit, "0=x^2+y^2-4", "x^2+y^2-4", NAN, NAN, NAN},
        {FunctionKind::yx, "x=x^2", nullptr, 0, 0, 0},
        {FunctionKind::yx, "y=x=2", nullptr, 0, 0, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed);
        kind(k.kind);
        commit(QString::fromUtf8(k.typed));
        if (!k.formula) {
            EXPECT_EQ(cur(), nullptr);
            EXPECT_FALSE(w->fieldMessage().text().isEmpty());
            continue;
        }
        ASSERT_NE(cur(), nullptr);
        EXPECT_EQ(cur()->functionInfo().at("f"), k.formula);
        if (!std::isnan(k.at)) {
            EXPECT_NEAR(cur()->positionAt(k.at).x, k.x, 1e-12);
            EXPECT_NEAR(cur()->positionAt(k.at).y, k.y, 1e-12);
        }
    }
}

TEST_F(FirstUse, ARefusedFormulaMarksWhereAndSaysHowThetaIsTyped)
{
    struct Case {
        const char* typed;
        int mark; // where the selection or cursor stands in the field
        bool thetaHint;
    };
    const Case cases[] = {
        {"x**2", 2, false},  {"*x", 0, false},
        {"sin()", 4, false}, {"y=*x", 2, false}, // counted in the field, prefix and all
        {"theta", -1, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed);
        QLineEdit& field = w->formulaField();
        field.setFocus();
        commit(k.typed);
        EXPECT_EQ(field.text(), k.typed);
        const QString message = w->fieldMessage().text();
        EXPECT_FALSE(message.isEmpty());
        EXPECT_EQ(message.contains(QString::fromUtf8("θ key")), k.thetaHint) << message.toStdString();
        if (k.mark >= 0) {
            EXPECT_EQ(field.hasSelectedText() ? field.selectionStart() : field.cursorPosition(), k.mark);
        }
    }
}

TEST_F(FirstUse, NewFunctionsTakeAColourNoOtherHasWhileOneIsLeft)
{
    std::set<std::tuple<float, float, float>> seen;
    for (int i = 1; i <= 9; ++i) {
        kind(FunctionKind::yx);
        commit(QStringLiteral("x+%1").arg(i));
        const Color c = cur()->color();
        EXPECT_TRUE(seen.insert({c.r, c.g, c.b}).second) << "function " << i;
    }
    // The derivative is one more function: a tenth has no free colour left
    // but still gets one.
    w->controller().addDerivative();
    EXPECT_EQ(model().functionRegister().size(), 10u);
}

TEST_F(FirstUse, TheAddMenuKeepsItsKindsInPlaceAndTheDerivativeLast)
{
    const auto entries = [this] {
        std::vector<QString> shown;
        for (QAction* a : w->addButton().menu()->actions())
            if (a->isVisible() && !a->isSeparator())
                shown.push_back(a->text());
        return shown;
    };
    const std::vector<QString> without = entries();
    commit("x^2");
    const std::vector<QString> with = entries();
    ASSERT_EQ(with.size(), without.size() + 1);
    for (std::size_t i = 0; i < functionKinds().size(); ++i)
        EXPECT_EQ(with[i], without[i]);
    EXPECT_EQ(with[functionKinds().size()], QStringLiteral("Add derivative"));
}

TEST_F(FirstUse, DisabledButtonsLookDisabledInLightAndDark)
{
    const auto ink = [](const QIcon& icon, QIcon::Mode mode) {
        const QImage image = icon.pixmap(QSize(28, 28), mode).toImage();
        double sum = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                sum += qAlpha(image.pixel(x, y));
        return sum;
    };
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        for (const icons::Icon which : {icons::Icon::undo, icons::Icon::redo, icons::Icon::trash}) {
            const QIcon icon = icons::icon(which, dark);
            EXPECT_LT(ink(icon, QIcon::Disabled), 0.5 * ink(icon, QIcon::Normal));
        }
    }
}

TEST_F(FirstUse, AValueTypedOutsideTraceModeTracesThere)
{
    commit("x^2");
    plotView& view = w->plot().view();
    ASSERT_FALSE(view.tracing());
    ASSERT_TRUE(panel().model().valueFieldEditable());
    ASSERT_EQ(panel().model().confirm(InfoModel::kValue, "3"), std::nullopt);
    EXPECT_TRUE(view.tracing());
    EXPECT_DOUBLE_EQ(view.tracePoint()->info().variable, 3);
    EXPECT_DOUBLE_EQ(view.tracePoint()->info().point.y, 9);
    // An implicit curve's point is not chosen by one variable.
    kind(FunctionKind::implicit);
    commit("x^2+y^2-4");
    EXPECT_FALSE(panel().model().valueFieldEditable());
}

TEST_F(FirstUse, DialogsAndMessagesFitAPhonesWindow)
{
    w->resize(320, 480);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    QFileDialog* save = w->sharePicture();
    QApplication::processEvents();
    EXPECT_LE(save->width(), 320);
    save->reject();

    commit("x^2");
    w->controller().setMoveOrTrace();
    commit("x+*");
    const QLabel& message = w->fieldMessage();
    EXPECT_TRUE(message.wordWrap());
    EXPECT_LE(message.geometry().right(), 320);

    // The panel's refusals ("MinVal shouldn't be greater than MaxVal!") wrap.
    EXPECT_TRUE(panel().errorLabel()->wordWrap());

    kind(FunctionKind::yx);
    commit("x+1");
    w->controller().onAlert("Error!", "A message long enough to need more than one line at a phone's width, "
                                      "such as the one that says where a copy of the saved functions is kept.");
    QApplication::processEvents();
    ASSERT_NE(w->openMessage(), nullptr);
    EXPECT_LE(w->openMessage()->width(), 320);
}
