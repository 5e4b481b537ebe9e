// The sliders of the parameters in the window: dragging one moves the
// current curve's root marks as the finger moves, the drag is one step of
// the history, and a refused value is said under its field.
#include <gtest/gtest.h>

#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <vector>

#include "main_window.h"
#include "orlix/special_point.h"
#include "text_fields.h"
#include "window_fixture.h"

using namespace orlix;

namespace {

class ParameterStripAppTest : public testing_qt::WindowTest {
  protected:
    std::vector<double> rootXs()
    {
        std::vector<double> xs;
        for (const auto& m : cur()->info())
            if (m->type() == "root")
                xs.push_back(m->info().point.x);
        std::sort(xs.begin(), xs.end());
        return xs;
    }
    QPoint handleCentre(QSlider& s)
    {
        QStyleOptionSlider opt;
        opt.initFrom(&s);
        opt.orientation = s.orientation();
        opt.minimum = s.minimum();
        opt.maximum = s.maximum();
        opt.sliderPosition = opt.sliderValue = s.value();
        return s.style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, &s).center();
    }
    void TearDown() override
    {
        WindowTest::TearDown();
        CurveModel fresh; // the engine's parameter cells are every model's
        fresh.applyParameters();
    }
};

TEST_F(ParameterStripAppTest, DraggingASliderMovesTheRootMarks)
{
    w->resize(320, 480);
    w->show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(w->parameterStrip().isVisible()); // no formula reads a parameter
    commit("a*x^2-1");
    ParameterStripWidget& strip = w->parameterStrip();
    ASSERT_TRUE(strip.isVisible());
    EXPECT_TRUE(strip.slider(Parameter::a)->isVisible());
    EXPECT_FALSE(strip.slider(Parameter::b)->isVisible());
    // The marks stay in the band above the sliders.
    EXPECT_LE(w->plot().view().goodRect().maxY(), strip.geometry().top());

    myTextField& value = *strip.field(Parameter::a, ParameterField::value);
    value.setText(QStringLiteral("1"));
    emit value.editingFinished();
    ASSERT_EQ(rootXs(), (std::vector<double>{-1, 1}));

    // A finger takes the handle and moves right in steps: each move finds
    // the roots ±1/√a of the value it reached.
    QSlider& slider = *strip.slider(Parameter::a);
    const QPoint from = handleCentre(slider);
    QTest::mousePress(&slider, Qt::LeftButton, {}, from);
    double lastRoot = 1;
    for (int dx : {8, 16, 24}) {
        QTest::mouseMove(&slider, from + QPoint(dx, 0));
        const double a = model().parameter(Parameter::a);
        ASSERT_GT(a, 1) << dx;
        const std::vector<double> xs = rootXs();
        ASSERT_EQ(xs.size(), 2u) << a;
        EXPECT_NEAR(xs[1], 1 / std::sqrt(a), 1e-9);
        EXPECT_NEAR(xs[0], -1 / std::sqrt(a), 1e-9);
        EXPECT_LT(xs[1], lastRoot);
        lastRoot = xs[1];
        EXPECT_EQ(value.text().toStdString(), w->controller().parameterStrip().fieldText(Parameter::a, ParameterField::value));
    }
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, from + QPoint(24, 0));

    // The whole drag is one step back.
    ASSERT_TRUE(w->controller().undo());
    EXPECT_EQ(model().parameter(Parameter::a), 1);
    EXPECT_EQ(rootXs(), (std::vector<double>{-1, 1}));

    // A value that is no number is refused under the field.
    value.setFocus();
    value.setText(QStringLiteral("0/0"));
    emit value.editingFinished();
    EXPECT_EQ(strip.message().toStdString(), "Value is NAN!");
    EXPECT_EQ(model().parameter(Parameter::a), 1);

    // The trace point keeps its x and takes the new curve's value.
    w->plot().view().traceAt(0.5);
    value.setText(QStringLiteral("3"));
    emit value.editingFinished();
    EXPECT_EQ(w->plot().view().tracePoint()->info().point.y, 3 * 0.25 - 1);

    // A restart finds the value, and the band of the marks and the
    // information panel ends above the sliders before the window shows.
    restart();
    EXPECT_EQ(model().parameter(Parameter::a), 3);
    ASSERT_FALSE(w->parameterStrip().isHidden());
    EXPECT_LE(w->plot().view().goodRect().maxY(), w->parameterStrip().geometry().top());
    w->show();

    // The strip hides with the bars.
    w->controller().showHideInterface();
    w->controller().showHideInterface();
    QTRY_VERIFY_WITH_TIMEOUT(!w->interfaceAnimating(), 2000);
    ASSERT_EQ(w->controller().interfaceState(), barsHidden);
    EXPECT_FALSE(w->parameterStrip().isVisible());
}

} // namespace
