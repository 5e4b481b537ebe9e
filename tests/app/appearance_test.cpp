#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPalette>

#include <algorithm>
#include <vector>

#include "appearance.h"
#include "info_view.h"
#include "orlix/plot_plane.h"
#include "window_fixture.h"

namespace orlix::testing_qt {
namespace {

class AppearanceTest : public WindowTest {
  protected:
    void TearDown() override
    {
        choose(AppearanceChoice::system);
        WindowTest::TearDown();
    }
    void choose(AppearanceChoice choice)
    {
        PreferenceValues v = w->controller().currentPreferences();
        v.appearance = choice;
        w->controller().applyPreferences(v);
    }
    // The plane's median lightness: its background's.
    int planeLightness()
    {
        w->resize(400, 600);
        w->show();
        QCoreApplication::processEvents();
        const QImage img = w->plot().grab().toImage();
        std::vector<int> lightness;
        for (int y = 5; y < img.height(); y += 37)
            for (int x = 5; x < img.width(); x += 23)
                lightness.push_back(img.pixelColor(x, y).lightness());
        std::nth_element(lightness.begin(), lightness.begin() + lightness.size() / 2, lightness.end());
        return lightness[lightness.size() / 2];
    }
};

TEST_F(AppearanceTest, TheChoiceColoursThePlaneAndTheWidgetsAndSurvivesARestart)
{
    const bool systemDark = isDarkPalette(QApplication::palette());
    commit("sin(x)");
    choose(systemDark ? AppearanceChoice::light : AppearanceChoice::dark);
    const bool dark = !systemDark;
    EXPECT_EQ(isDarkPalette(QApplication::palette()), dark);
    EXPECT_EQ(planeLightness() < 60, dark);
    EXPECT_EQ(w->plot().view().theme().appearance, dark ? Appearance::dark : Appearance::light);

    restart();
    EXPECT_EQ(w->controller().appearanceChoice(), dark ? AppearanceChoice::dark : AppearanceChoice::light);
    EXPECT_EQ(planeLightness() < 60, dark);

    // Back to the system's look: its own palette again.
    choose(AppearanceChoice::system);
    EXPECT_EQ(isDarkPalette(QApplication::palette()), systemDark);
    EXPECT_EQ(planeLightness() < 60, systemDark);
}

// Dark chosen before the window shows (as a launch with dark stored does):
// the information panel is dark too, its light text readable.
TEST_F(AppearanceTest, ThePanelFollowsADarkChoiceMadeBeforeItShows)
{
    commit("x^2");
    choose(AppearanceChoice::dark);
    w->show();
    w->plot().view().traceAt(1);
    QCoreApplication::processEvents();
    auto* panel = dynamic_cast<infoView*>(w->plot().view().iView());
    ASSERT_NE(panel, nullptr);
    panel->finishAnimation();
    const QImage img = panel->grab().toImage();
    EXPECT_LT(img.pixelColor(img.width() / 2, img.height() - 3).lightness(), 80);
}

} // namespace
} // namespace orlix::testing_qt
