#include "info_view.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>

#include <string>

#include "orlix/plot_plane.h"
#include "orlix/special_point.h"
#include "orlix/yx_function.h"
#include "qt_environment.h"

using namespace orlix;

namespace {

std::string str(const QString& s) { return s.toStdString(); }

void press(QLineEdit* field, const char* text)
{
    field->setText(QString::fromUtf8(text));
    QMetaObject::invokeMethod(field, "returnPressed");
}

class InfoViewTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        f = yxFunction::functionFromString("x^3");
        panel.setCurFunc(f.get());
    }

    std::shared_ptr<yxFunction> f;
    std::shared_ptr<specialPoint> p0 = std::make_shared<specialPoint>();
    std::shared_ptr<specialPoint> p1 = std::make_shared<specialPoint>();
    // Outlives the panel, which detaches from it when destroyed.
    plotView pv;
    infoView panel;
};

TEST_F(InfoViewTest, ShowsAPointAndARange)
{
    EXPECT_TRUE(panel.isHidden());
    p1->setInfo(f->pointAt(1));
    panel.setP1(p1);
    panel.setInteractive(true);
    panel.setContent(p1->info());
    EXPECT_FALSE(panel.isHidden());
    EXPECT_EQ(str(panel.valueLabel()->text()), "x=");
    EXPECT_EQ(str(panel.valueField()->text()), "1");
    EXPECT_EQ(str(panel.textView()->text()), *f->pointInfoText(p1->info()));
    EXPECT_FALSE(panel.valueField()->isReadOnly());
    EXPECT_FALSE(panel.animating());
    const QRect collapsed = panel.geometry();
    EXPECT_EQ(collapsed.height(), infoView::kCollapsedHeight);

    // Expanding grows the panel upwards by 32 over 0.3 s.
    panel.setP0(p0);
    panel.setContent2(f->rangeInfo(-1, 2));
    EXPECT_TRUE(panel.animating());
    EXPECT_EQ(str(panel.startLabel()->text()), "x₁=");
    EXPECT_EQ(str(panel.valueLabel()->text()), "x₂=");
    EXPECT_EQ(str(panel.startField()->text()), "-1");
    EXPECT_EQ(str(panel.valueField()->text()), "2");
    EXPECT_EQ(str(panel.textView()->text()), *f->rangeInfoText(*f->rangeInfo(-1, 2)));
    panel.finishAnimation();
    EXPECT_FALSE(panel.animating());
    EXPECT_EQ(panel.geometry().height(), infoView::kCollapsedHeight + infoView::kGrowth);
    EXPECT_EQ(panel.geometry().bottom(), collapsed.bottom());
    EXPECT_EQ(panel.geometry().top(), collapsed.top() - infoView::kGrowth);
    EXPECT_FALSE(panel.startField()->parentWidget()->isHidden());
    EXPECT_FALSE(panel.startField()->isReadOnly());

    // Every frame of a range repeats the call: no new animation.
    panel.setContent2(f->rangeInfo(-1, 2));
    EXPECT_FALSE(panel.animating());

    // A point collapses it again; the start field fades out.
    panel.setContent(p1->info());
    EXPECT_TRUE(panel.animating());
    panel.finishAnimation();
    EXPECT_EQ(panel.geometry(), collapsed);
    EXPECT_TRUE(panel.startField()->parentWidget()->isHidden());
    EXPECT_EQ(str(panel.valueLabel()->text()), "x=");

    panel.setHidden(true);
    EXPECT_TRUE(panel.isHidden());
}

TEST_F(InfoViewTest, MoveModeShowsButDoesNotTakeTyping)
{
    auto root = std::make_shared<specialPoint>(f->pointAt(0), "root");
    panel.setP1(root);
    panel.setP0(nullptr);
    panel.setInteractive(false);
    panel.setContent(root->info());
    EXPECT_FALSE(panel.isHidden());
    EXPECT_TRUE(panel.valueField()->isReadOnly());
    EXPECT_EQ(panel.valueField()->focusPolicy(), Qt::NoFocus);
    press(panel.valueField(), "5");
    EXPECT_EQ(root->info().variable, 0);
    EXPECT_EQ(str(panel.valueField()->text()), "0");
}

TEST_F(InfoViewTest, TypingGoesThroughTheModelAndRedisplaysTheView)
{
    int displays = 0;
    pv.onNeedsDisplay = [&] { ++displays; };
    panel.setPlotView(&pv);
    EXPECT_EQ(pv.iView(), &panel);
    ASSERT_TRUE(pv.infoPanelSize());
    EXPECT_EQ(pv.infoPanelSize()->height, infoView::kCollapsedHeight);

    pv.setGoodRect(RectF{0, 64, 320, 371});
    panel.reanchor();
    ASSERT_TRUE(pv.infoPanelCenter());
    EXPECT_EQ(panel.geometry().right() + 1, 320); // right-aligned in the good rectangle
    EXPECT_EQ(panel.geometry().bottom() + 1, 64 + 371);

    p1->setInfo(f->pointAt(1));
    panel.setP1(p1);
    panel.setInteractive(true);
    panel.setContent(p1->info());

    std::string error;
    panel.onError = [&](const std::string& m) { error = m; };
    press(panel.valueField(), "x+1");
    EXPECT_EQ(error, "Variable 'x' mustn't be here!");
    EXPECT_FALSE(panel.errorLabel()->isHidden());
    EXPECT_EQ(str(panel.errorLabel()->text()), error);
    EXPECT_EQ(p1->info().variable, 1);
    EXPECT_EQ(displays, 0);
    QMetaObject::invokeMethod(panel.valueField(), "textEdited", Q_ARG(QString, QString("2")));
    EXPECT_TRUE(panel.errorLabel()->isHidden());

    press(panel.valueField(), "2pi");
    EXPECT_EQ(p1->info().variable, 6.283185307179586);
    EXPECT_EQ(str(panel.valueField()->text()), "6.283185");
    EXPECT_EQ(str(panel.textView()->text()), *f->pointInfoText(p1->info()));
    EXPECT_EQ(panel.model().valueField().theString, "2pi");
    EXPECT_EQ(displays, 1);
    EXPECT_TRUE(panel.errorLabel()->isHidden());

    panel.setPlotView(nullptr);
    EXPECT_EQ(pv.iView(), nullptr);
}

} // namespace
