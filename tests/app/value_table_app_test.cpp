// The table of values and zoom to fit as the user meets them: the keys,
// the fields, what is refused, the copy, and a fitted view found again
// after a restart.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <cmath>

#include "main_window.h"
#include "orlix/value_table.h"
#include "value_table_view.h"
#include "window_fixture.h"

using namespace orlix;

namespace {

class ValueTableAppTest : public testing_qt::WindowTest {
  protected:
    void key(int k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), m); }
    void typeInto(QLineEdit& field, const QString& text)
    {
        field.setText(text);
        QTest::keyClick(&field, Qt::Key_Return);
    }
};

} // namespace

TEST_F(ValueTableAppTest, TheKeysOpenTheTableWhichCopiesWhatItListsAndEscapeLeavesIt)
{
    commit("x^2");
    w->show();
    QApplication::setActiveWindow(w.get());
    w->plot().setFocus();
    key(Qt::Key_T, Qt::ControlModifier);
    ASSERT_EQ(w->openPanel(), Panel::table);
    valueTableView& panel = w->tablePanel();
    EXPECT_EQ(panel.startField().text(), "0");
    EXPECT_EQ(panel.stepField().text(), "1");

    // Constant expressions, as in the range fields.
    panel.startField().setText("-2");
    typeInto(panel.stepField(), "1/2");
    EXPECT_EQ(panel.message().text(), "");
    ValueTableModel& model = panel.model();
    while (model.rowCount() < 3 && model.canFetchMore({}))
        model.fetchMore({});
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "x");
    EXPECT_EQ(model.index(1, 1).data().toString(), "2.25");

    // Refused: the message under the fields, the table as it was.
    struct Refusal {
        const char* start;
        const char* step;
        const char* message;
    };
    for (const Refusal r : {Refusal{"-2", "0", "Step shouldn't be zero!"}, Refusal{"-2", "0/0", "Value is NAN!"},
                            Refusal{"x", "1", "Variable 'x' mustn't be here!"}}) {
        panel.startField().setText(r.start);
        typeInto(panel.stepField(), r.step);
        EXPECT_EQ(panel.message().text().toStdString(), r.message);
        ASSERT_NE(model.table(), nullptr);
        EXPECT_EQ(model.table()->start(), -2);
        EXPECT_EQ(model.table()->step(), 0.5);
    }

    panel.copyButton().click();
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith("x\ty\n-2\t4\n-1.5\t2.25\n-1\t1\n")) << copied.left(60).toStdString();
    EXPECT_EQ(copied.count('\n'), model.rowCount() + 1);

    key(Qt::Key_Escape);
    EXPECT_EQ(w->openPanel(), Panel::none);
}

TEST_F(ValueTableAppTest, ImplicitCurvesHaveNoTable)
{
    w->controller().chooseKind(FunctionKind::implicit);
    commit("x^2+y^2-4");
    ASSERT_NE(cur(), nullptr);
    EXPECT_FALSE(w->present(Panel::table));
    EXPECT_EQ(w->openPanel(), Panel::none);
}

TEST_F(ValueTableAppTest, ZoomToFitFindsTheMarksAndIsKeptAfterARestart)
{
    commit("x^3-3x");
    if (!w->controller().preferences().sExtrs)
        w->extrsButton().click();
    w->grab(); // shown: the position is the view's own from now on
    const myPoint before = w->plot().view().viewState().scale();
    w->zoomToFitAction().trigger();
    const myPoint after = w->plot().view().viewState().scale();
    EXPECT_GT(after.x, before.x);
    // The extrema at x = ±1 are marked in the new view.
    int extrema = 0;
    for (const auto& mark : cur()->info())
        extrema += mark && std::fabs(std::fabs(mark->info().point.x) - 1) < 1e-6;
    EXPECT_EQ(extrema, 2);
    restart();
    EXPECT_DOUBLE_EQ(w->plot().view().viewState().scale().x, after.x);
}
