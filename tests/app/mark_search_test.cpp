// The current curve's marks are searched once for each change of the window
// or of a curve, counted after the window has shown the change and drawn
// the rest of the function layer, and never for a plain redraw.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <functional>

#include "orlix/function_settings.h"
#include "preferences_view.h"
#include "window_fixture.h"

using namespace orlix;

namespace {

class MarkSearchTest : public testing_qt::WindowTest {
  public:
    using WindowTest::commit;
    using WindowTest::cur;
    using WindowTest::model;
    using WindowTest::w;
    // The count of searches before the change.
    long long before = 0;
    // A frame, and the work the widget defers until after it.
    void settle()
    {
        (void)w->grab();
        QApplication::processEvents();
        (void)w->grab();
        QApplication::processEvents();
    }
    plotView& view() { return w->plot().view(); }
    void drag(PointF from, PointF to)
    {
        view().touchesBegan({Touch{1, from, kTouchBegan, 1, 100}});
        view().touchesMoved({Touch{1, PointF{(from.x + to.x) / 2, (from.y + to.y) / 2}, kTouchMoved, 1, 100.1}});
        view().touchesMoved({Touch{1, to, kTouchMoved, 1, 100.2}});
        view().touchesEnded({Touch{1, to, kTouchEnded, 1, 100.3}});
    }
};

} // namespace

TEST_F(MarkSearchTest, OneSearchForEachChangeAndNoneForAPlainRedraw)
{
    struct Row {
        const char* change;
        std::function<void(MarkSearchTest&)> make;
        int searches;
    };
    // In this order: each row starts where the one above left the window.
    const Row rows[] = {
        {"commit", [](MarkSearchTest& t) { t.commit("x^3-x"); }, 1},
        {"zoom to fit", [](MarkSearchTest& t) { t.w->zoomToFitAction().trigger(); }, 1},
        {"settings",
         [](MarkSearchTest& t) {
             FunctionSettings s;
             s.loadFromFunc(t.cur());
             s.setColor(0.2f, 0.4f, 0.6f);
             t.w->controller().applyFunctionSettings(s);
         },
         1},
        {"undo", [](MarkSearchTest& t) { t.w->controller().undo(); }, 1},
        {"redo", [](MarkSearchTest& t) { t.w->controller().redo(); }, 1},
        {"preferences",
         [](MarkSearchTest& t) {
             t.w->presentSettings();
             t.w->preferencesPanel().doneButton().click();
         },
         1},
        {"resize", [](MarkSearchTest& t) { t.w->resize(360, 560); }, 1},
        {"pan",
         [](MarkSearchTest& t) {
             t.drag(PointF{100, 250}, PointF{160, 300});
         },
         1},
        {"repaint", [](MarkSearchTest& t) { t.w->plot().update(); }, 0},
        {"appearance", [](MarkSearchTest& t) { t.view().setAppearance(Appearance::dark); }, 0},
        {"range",
         [](MarkSearchTest& t) {
             // A polar curve of its own range, committed before counting.
             t.w->newKindAction(FunctionKind::polar)->trigger();
             t.commit("1+2cos(θ)");
             t.settle();
             t.before = t.model().markSearches();
             t.w->controller().setRangeTexts("0", "3");
         },
         1},
    };
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    commit("x^2-1");
    settle();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.change);
        before = model().markSearches();
        row.make(*this);
        settle();
        EXPECT_EQ(model().markSearches() - before, row.searches);
        ASSERT_NE(cur(), nullptr);
        // What the search found is shown.
        EXPECT_FALSE(cur()->info().empty());
    }
}
