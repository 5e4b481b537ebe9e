#include "qpainter_canvas.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cmath>
#include <numbers>

#include "orlix/plot_plane.h"
#include "qt_environment.h"

using namespace orlix;

namespace {

constexpr Color kRed{1, 0, 0, 1};
constexpr Color kGreen{0, 1, 0, 1};
constexpr Color kBlue{0, 0, 1, 1};

QRgb at(const QPainterCanvas& c, int x, int y) { return c.image().pixel(x, y); }
bool clearAt(const QPainterCanvas& c, int x, int y) { return qAlpha(at(c, x, y)) == 0; }

// Opaque runs of one row, as a string: '#' opaque, '.' transparent, '+'
// anything between.
std::string row(const QPainterCanvas& c, int y, int from, int to)
{
    const QImage img = c.image();
    std::string s;
    for (int x = from; x < to; ++x) {
        const int a = qAlpha(img.pixel(x, y));
        s += a == 255 ? '#' : a == 0 ? '.' : '+';
    }
    return s;
}

} // namespace

TEST(QPainterCanvas, SizeAndDevicePixelRatio)
{
    struct Case {
        SizeF size;
        double ratio;
        int pw, ph;
    };
    const Case cases[] = {
        {{320, 480}, 2, 640, 960},
        {{320, 480}, 1, 320, 480},
        {{10.5f, 3}, 2, 21, 6},
        {{7, 5}, 1.5, 11, 8},
        {{4, 4}, NAN, 4, 4},
        {{4, 4}, -2, 4, 4},
        // QPainter does not scale an image down: below one, a pixel a point.
        {{320, 480}, 0.75, 320, 480},
    };
    for (const Case& c : cases) {
        QPainterCanvas canvas(c.size, c.ratio);
        EXPECT_EQ(canvas.size().width, c.size.width);
        EXPECT_EQ(canvas.size().height, c.size.height);
        const QImage img = canvas.image();
        EXPECT_EQ(img.width(), c.pw);
        EXPECT_EQ(img.height(), c.ph);
        EXPECT_EQ(img.format(), QImage::Format_ARGB32_Premultiplied);
        EXPECT_TRUE(clearAt(canvas, 0, 0));
    }
}

TEST(QPainterCanvas, FilledRectangleCoversItsPixels)
{
    struct Case {
        double ratio;
        RectF rect;
        int x0, y0, x1, y1; // filled pixels, inclusive
    };
    const Case cases[] = {
        {1, {2, 3, 5, 4}, 2, 3, 6, 6},
        {2, {1, 1, 2, 2}, 2, 2, 5, 5},
        {1, {-5, -5, 8, 8}, 0, 0, 2, 2},
        {0.5, {2, 3, 5, 4}, 2, 3, 6, 6},
    };
    for (const Case& c : cases) {
        QPainterCanvas canvas(SizeF{10, 10}, c.ratio);
        canvas.setFillColor(kRed);
        canvas.fillRect(c.rect);
        const QImage img = canvas.image();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const bool inside = x >= c.x0 && x <= c.x1 && y >= c.y0 && y <= c.y1;
                EXPECT_EQ(img.pixel(x, y), inside ? qRgba(255, 0, 0, 255) : 0u) << x << "," << y;
            }
    }
}

TEST(QPainterCanvas, StrokedLineAndDashesInPoints)
{
    struct Case {
        double ratio;
        float width;
        std::vector<float> dash;
        float phase;
        const char* row; // pixel row through the line's centre
    };
    const Case cases[] = {
        {1, 2, {}, 0, "####################"},     {1, 2, {4, 4}, 0, "####....####....####"},
        {1, 2, {2, 2}, 0, "##..##..##..##..##.."}, {1, 4, {2, 2}, 0, "##..##..##..##..##.."}, // not scaled by the width
        {1, 2, {4, 4}, 2, "##....####....####.."}, {1, 2, {3}, 0, "###...###...###...##"},    // odd patterns repeat
        {1, 2, {6, 2}, 0, "######..######..####"}, {2, 1, {2, 2}, 0, "####....####....####"}, // points, not pixels
    };
    for (const Case& c : cases) {
        QPainterCanvas canvas(SizeF{40, 20}, c.ratio);
        canvas.setLineWidth(c.width);
        canvas.setStrokeColor(kBlue);
        canvas.setLineDash(c.phase, c.dash.data(), int(c.dash.size()));
        canvas.moveTo(0, 10);
        canvas.lineTo(40, 10);
        canvas.strokePath();
        const int y = int(10 * c.ratio);
        EXPECT_EQ(row(canvas, y, 0, 20), c.row) << c.width << " " << c.dash.size() << " " << c.phase;
        EXPECT_EQ(at(canvas, 0, y), qRgba(0, 0, 255, 255));
        // Nothing far from the line.
        EXPECT_TRUE(clearAt(canvas, 0, int(5 * c.ratio) - 1));
    }
}

TEST(QPainterCanvas, LineWidthCapsAndDashesSurviveSaveAndRestore)
{
    QPainterCanvas canvas(SizeF{20, 20});
    canvas.setStrokeColor(kBlue);
    canvas.setLineWidth(2);
    canvas.save();
    const float dash[] = {2, 2};
    canvas.setLineDash(0, dash, 2);
    canvas.setLineWidth(4);
    canvas.setLineCap(LineCap::Square);
    canvas.restore();
    canvas.moveTo(4, 10);
    canvas.lineTo(16, 10);
    canvas.strokePath();
    // Butt caps, solid, 2 wide again.
    EXPECT_EQ(row(canvas, 10, 0, 20), "....############....");
    EXPECT_EQ(row(canvas, 9, 0, 20), "....############....");
    EXPECT_EQ(row(canvas, 11, 0, 20), "....................");
}

TEST(QPainterCanvas, LayersAreCopiedPixelForPixel)
{
    QPainterCanvas canvas(SizeF{8, 4});
    auto layer = canvas.createLayer(SizeF{2, 1});
    ASSERT_EQ(layer->size().width, 2);
    layer->setFillColor(kRed);
    layer->fillRect(RectF{0, 0, 1, 1});
    layer->setFillColor(kGreen);
    layer->fillRect(RectF{1, 0, 1, 1});

    // Stretched 2 → 4: two solid pixels per source pixel, no blend between.
    canvas.drawLayer(*layer, RectF{0, 0, 4, 1});
    EXPECT_EQ(at(canvas, 0, 0), qRgba(255, 0, 0, 255));
    EXPECT_EQ(at(canvas, 1, 0), qRgba(255, 0, 0, 255));
    EXPECT_EQ(at(canvas, 2, 0), qRgba(0, 255, 0, 255));
    EXPECT_EQ(at(canvas, 3, 0), qRgba(0, 255, 0, 255));
    EXPECT_TRUE(clearAt(canvas, 4, 0));

    // At a point: its own size.
    canvas.drawLayer(*layer, PointF{5, 2});
    EXPECT_EQ(row(canvas, 2, 0, 8), ".....##.");
    EXPECT_EQ(at(canvas, 5, 2), qRgba(255, 0, 0, 255));
    EXPECT_EQ(at(canvas, 6, 2), qRgba(0, 255, 0, 255));
}

TEST(QPainterCanvas, LayersAtTwiceTheResolution)
{
    QPainterCanvas canvas(SizeF{4, 4}, 2);
    auto layer = canvas.createLayer(SizeF{1, 4});
    layer->setFillColor(kBlue);
    layer->fillRect(RectF{0, 0, 1, 4});
    canvas.drawLayer(*layer, PointF{2, 0});
    // One point is two pixels.
    EXPECT_EQ(row(canvas, 3, 0, 8), "....##..");
}

TEST(QPainterCanvas, RepeatedFillsDarkenALayerAndDrawsBlendOver)
{
    QPainterCanvas canvas(SizeF{4, 1});
    canvas.setFillColor(Color{1, 1, 1, 1});
    canvas.fillRect(RectF{0, 0, 4, 1});
    auto layer = canvas.createLayer(SizeF{1, 1});
    layer->setFillColor(Color{0, 0, 0, 0.06f});
    for (int k = 1; k <= 3; ++k) {
        layer->fillRect(RectF{0, 0, 1, 1});
        canvas.drawLayer(*layer, PointF{float(k), 0});
    }
    auto* l = static_cast<QPainterCanvas*>(layer.get());
    EXPECT_NEAR(qAlpha(l->image().pixel(0, 0)), 255 * (1 - std::pow(0.94, 3)), 2);
    // White under k passes of black: 255 · 0.94^k.
    for (int k = 1; k <= 3; ++k)
        EXPECT_NEAR(qRed(at(canvas, k, 0)), 255 * std::pow(0.94, k), 2) << k;
    EXPECT_EQ(at(canvas, 0, 0), qRgba(255, 255, 255, 255));
}

TEST(QPainterCanvas, ClearAndClipInsideSaveRestore)
{
    QPainterCanvas canvas(SizeF{10, 10});
    canvas.setFillColor(kRed);
    canvas.fillRect(RectF{0, 0, 10, 10});
    canvas.clear(RectF{0, 0, 5, 10});
    EXPECT_TRUE(clearAt(canvas, 4, 4));
    EXPECT_FALSE(clearAt(canvas, 5, 4));

    canvas.clear(RectF{0, 0, 10, 10});
    canvas.save();
    canvas.clip(RectF{2, 2, 3, 3});
    canvas.fillRect(RectF{0, 0, 10, 10});
    EXPECT_EQ(row(canvas, 3, 0, 10), "..###.....");
    EXPECT_EQ(row(canvas, 1, 0, 10), "..........");
    canvas.restore();
    canvas.fillRect(RectF{0, 8, 10, 2});
    EXPECT_EQ(row(canvas, 9, 0, 10), "##########");
}

TEST(QPainterCanvas, TranslateAndRotate)
{
    QPainterCanvas canvas(SizeF{20, 20});
    canvas.setFillColor(kRed);
    canvas.save();
    canvas.translate(10, 10);
    canvas.rotate(static_cast<float>(std::numbers::pi / 2)); // y down: x axis turns to point down
    canvas.fillRect(RectF{0, 0, 5, 1});
    canvas.restore();
    EXPECT_FALSE(clearAt(canvas, 9, 12));
    EXPECT_TRUE(clearAt(canvas, 12, 10));
    canvas.fillRect(RectF{0, 0, 1, 1}); // the transform is gone
    EXPECT_FALSE(clearAt(canvas, 0, 0));
}

TEST(QPainterCanvas, ArcToRoundsTheCorner)
{
    QPainterCanvas canvas(SizeF{30, 30});
    canvas.setStrokeColor(kBlue);
    canvas.setLineWidth(2);
    canvas.moveTo(0, 5);
    canvas.arcTo(25, 5, 25, 30, 10); // corner at (25, 5), centre (15, 15)
    canvas.lineTo(25, 30);
    canvas.strokePath();
    EXPECT_FALSE(clearAt(canvas, 8, 5));   // the straight part
    EXPECT_FALSE(clearAt(canvas, 22, 7));  // on the arc, 45° from the centre
    EXPECT_TRUE(clearAt(canvas, 24, 5));   // the corner itself is cut
    EXPECT_FALSE(clearAt(canvas, 25, 20)); // down the second side
}

TEST(QPainterCanvas, EllipsesAndPathsFillAndStroke)
{
    QPainterCanvas canvas(SizeF{20, 20});
    canvas.setFillColor(kRed);
    canvas.fillEllipse(RectF{0, 0, 10, 10});
    EXPECT_FALSE(clearAt(canvas, 5, 5));
    EXPECT_TRUE(clearAt(canvas, 0, 0));
    canvas.setStrokeColor(kBlue);
    canvas.strokeEllipse(RectF{10, 10, 10, 10});
    EXPECT_TRUE(clearAt(canvas, 15, 15));
    EXPECT_FALSE(clearAt(canvas, 15, 10));
    canvas.moveTo(10, 0);
    canvas.lineTo(20, 0);
    canvas.lineTo(20, 10);
    canvas.closePath();
    canvas.fillPath();
    EXPECT_FALSE(clearAt(canvas, 18, 2));
    EXPECT_TRUE(clearAt(canvas, 11, 8));
    // Filling consumed the path: stroking now draws nothing.
    const QImage before = canvas.image();
    canvas.strokePath();
    EXPECT_EQ(canvas.image(), before);
}

TEST(QPainterCanvas, TextDrawsInsideItsRectangleWithItsAlignment)
{
    auto inkSpan = [](TextAlign align) {
        QPainterCanvas canvas(SizeF{100, 40});
        canvas.setFillColor(Color{0, 0, 0, 1});
        canvas.drawText("12", RectF{10, 5, 70, 30}, 15, align);
        const QImage img = canvas.image();
        int minX = 1000, maxX = -1, maxY = -1;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (qAlpha(img.pixel(x, y))) {
                    minX = std::min(minX, x);
                    maxX = std::max(maxX, x);
                    maxY = std::max(maxY, y);
                    EXPECT_TRUE(x >= 10 && x < 80 && y >= 5 && y < 35) << x << "," << y;
                }
        EXPECT_LE(maxY, 5 + 20); // top-aligned, about 15 points high
        return std::pair{minX, maxX};
    };
    const auto left = inkSpan(TextAlign::Left), centre = inkSpan(TextAlign::Center), right = inkSpan(TextAlign::Right);
    ASSERT_GE(left.second, 0) << "no text drawn";
    EXPECT_LT(left.first, 14);
    EXPECT_GT(right.second, 75);
    EXPECT_LT(left.first, centre.first);
    EXPECT_LT(centre.first, right.first);
    EXPECT_NEAR((centre.first + centre.second) / 2.0, 45, 3);
}

TEST(QPainterCanvas, PngIsWrittenAndReadBack)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QPainterCanvas canvas(SizeF{6, 4}, 2);
    canvas.setFillColor(kGreen);
    canvas.fillRect(RectF{1, 1, 2, 2});
    const QString path = dir.filePath("plane.png");
    ASSERT_TRUE(canvas.savePng(path));
    const QImage back(path);
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.width(), 12);
    EXPECT_EQ(back.height(), 8);
    EXPECT_EQ(back.pixel(3, 3), qRgba(0, 255, 0, 255));
    EXPECT_EQ(qAlpha(back.pixel(0, 0)), 0);
    EXPECT_FALSE(canvas.savePng(dir.filePath("missing/dir/x.png")));
}

TEST(QPainterCanvas, SurfacesAndValuesOfNoSizeDrawNothing)
{
    for (SizeF s : {SizeF{NAN, 10}, SizeF{-1, 10}, SizeF{0, 0}, SizeF{1e9f, 1e9f}, SizeF{INFINITY, 1}}) {
        QPainterCanvas canvas(s, 1);
        EXPECT_TRUE(canvas.image().isNull());
        canvas.setFillColor(kRed);
        canvas.fillRect(RectF{0, 0, 10, 10});
        canvas.moveTo(0, 0);
        canvas.lineTo(10, 10);
        canvas.strokePath();
        canvas.drawText("x", RectF{0, 0, 70, 30}, 15, TextAlign::Left);
        auto layer = canvas.createLayer(SizeF{2, 2});
        canvas.drawLayer(*layer, PointF{0, 0});
        EXPECT_FALSE(canvas.savePng(QDir::temp().filePath("orlix-never.png")));
    }
    QPainterCanvas canvas(SizeF{20, 20});
    canvas.setStrokeColor(kBlue);
    canvas.setLineWidth(NAN);
    canvas.moveTo(NAN, 0);
    canvas.lineTo(0, 1e30f);
    canvas.lineTo(10, 10);
    canvas.strokePath();
    canvas.setLineWidth(INFINITY);
    const float dash[] = {0, 0};
    canvas.setLineDash(0, dash, 2);
    canvas.moveTo(0, -1e8f);
    canvas.lineTo(5, 1e8f);
    canvas.strokePath();
    canvas.fillRect(RectF{NAN, 0, 5, 5});
    canvas.drawText("x", RectF{0, 0, 70, 30}, NAN, TextAlign::Left);
    canvas.drawLayer(canvas, PointF{0, 0}); // itself: ignored
    canvas.restore();                       // unbalanced: ignored
    SUCCEED();
}

TEST(QPainterCanvas, PlaneRendersAxesAndDarkerCoarseLines)
{
    plotView view;
    view.setFrame(RectF{0, 0, 320, 480});
    view.initialize();
    QPainterCanvas canvas(SizeF{320, 480}, 2);
    view.drawPlane(canvas);
    const QImage img = canvas.image();
    auto alphaAt = [&](float x, float y) { return qAlpha(img.pixel(int(x * 2), int(y * 2))); };
    // Grid lines every unit (30 points); every second one is drawn again
    // with the layer darkened once more: 1 - 0.94 · 0.94².
    EXPECT_EQ(alphaAt(175, 100), 0);
    EXPECT_NEAR(alphaAt(190, 100), 255 * 0.06, 2);
    EXPECT_NEAR(alphaAt(220, 100), 255 * (1 - std::pow(0.94, 3)), 2);
    // The y axis: blue, two points wide around x = 160.
    const QRgb axis = img.pixel(160 * 2 - 1, 100 * 2);
    EXPECT_GT(qBlue(axis), 150);
    EXPECT_LT(qRed(axis), 60);
    // Some label text next to the axes.
    int ink = 0;
    for (int y = 2 * 216; y < 2 * 234; ++y)
        for (int x = 2 * 185; x < 2 * 255; ++x)
            ink += qAlpha(img.pixel(x, y)) > 128 && qBlue(img.pixel(x, y)) < 100;
    EXPECT_GT(ink, 10);
}

// Curves are long polylines and are stroked in pieces: the pieces must
// give the picture the whole path gives, dashes included.
TEST(QPainterCanvas, LongPolylinesLookLikeOneStroke)
{
    struct Case {
        const char* what;
        bool dashed;
        Color color;
    };
    const Case cases[] = {{"solid", false, kRed}, {"dashed", true, kBlue}, {"translucent", true, {0, 0, 1, 0.5f}}};
    for (const Case& c : cases) {
        // The same horizontal line: two points (one stroke), and 400
        // points (long enough to go in pieces).
        QPainterCanvas shortLine(SizeF{220, 10}), longLine(SizeF{220, 10});
        for (QPainterCanvas* canvas : {&shortLine, &longLine}) {
            canvas->setStrokeColor(c.color);
            canvas->setLineWidth(2);
            const float dash[] = {6, 5};
            if (c.dashed)
                canvas->setLineDash(0, dash, 2);
            const int n = canvas == &shortLine ? 1 : 399;
            canvas->moveTo(10, 5);
            for (int i = 1; i <= n; ++i)
                canvas->lineTo(10 + 200.0f * i / n, 5);
            canvas->strokePath();
        }
        EXPECT_EQ(row(longLine, 4, 0, 220), row(shortLine, 4, 0, 220)) << c.what;
    }
    // A bend: the pieces close the joins, nothing between them stays empty.
    QPainterCanvas bend(SizeF{60, 60});
    bend.setStrokeColor(kGreen);
    bend.setLineWidth(4);
    bend.moveTo(5, 30);
    for (int i = 1; i <= 100; ++i) {
        const float x = 5 + 0.5f * i;
        bend.lineTo(x, i % 2 ? 30.0f : 34.0f);
    }
    bend.strokePath();
    for (int x = 6; x < 54; ++x)
        EXPECT_EQ(qAlpha(at(bend, x, 31)), 255) << x;
}

// Tall thin fills and clears go to QPainter in bands of rows: the picture
// must be the one QPainter gives for the whole rectangle, at every pixel
// ratio and with edges between device pixels.
TEST(QPainterCanvas, TallThinFillsAreTheWholeFill)
{
    struct Case {
        double ratio;
        RectF rect;
    };
    const Case cases[] = {{2, {3, 0, 1, 300}},    {1, {3, 0, 1, 300}},        {2, {2.25f, 1.5f, 1.5f, 299.25f}},
                          {3, {3, 0.5f, 1, 290}}, {2, {0, 7.75f, 4, 150.5f}}, {1, {1.5f, 0.25f, 2, 280.5f}}};
    const QColor grey = QColor::fromRgbF(0.2f, 0.3f, 0.4f, 0.3f);
    for (const Case& c : cases) {
        QPainterCanvas canvas(SizeF{8, 310}, c.ratio);
        QImage whole(static_cast<int>(8 * c.ratio), static_cast<int>(std::ceil(310 * c.ratio)),
                     QImage::Format_ARGB32_Premultiplied);
        whole.setDevicePixelRatio(c.ratio);
        whole.fill(Qt::transparent);
        {
            QPainter p(&whole);
            p.setRenderHint(QPainter::Antialiasing);
            for (int pass = 0; pass < 2; ++pass)
                p.fillRect(QRectF(c.rect.x, c.rect.y, c.rect.width, c.rect.height), grey);
            p.setCompositionMode(QPainter::CompositionMode_Clear);
            p.fillRect(QRectF(c.rect.x, c.rect.y + 100, c.rect.width, 120.25), Qt::transparent);
        }
        canvas.setFillColor(Color{0.2f, 0.3f, 0.4f, 0.3f});
        for (int pass = 0; pass < 2; ++pass)
            canvas.fillRect(c.rect);
        canvas.clear(RectF{c.rect.x, c.rect.y + 100, c.rect.width, 120.25f});
        EXPECT_EQ(canvas.image(), whole) << c.ratio << " " << c.rect.x << "," << c.rect.y;
    }
}

// Clearing a whole layer leaves nothing behind, whatever was drawn on it
// and however it was moved: long strokes, wide and translated, a partial
// clear in between, text, and a clear under a translation.
TEST(QPainterCanvas, ClearingTheWholeLayerLeavesItTransparent)
{
    auto allClear = [](const QPainterCanvas& c) {
        const QImage img = c.image();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (qAlpha(img.pixel(x, y)) != 0)
                    return false;
        return true;
    };
    QPainterCanvas layer(SizeF{200, 120}, 2.0);
    layer.setStrokeColor(kBlue);
    for (int pass = 0; pass < 3; ++pass) {
        SCOPED_TRACE(pass);
        layer.save();
        layer.translate(30.0f * pass, 10);
        layer.setLineWidth(6);
        layer.moveTo(-20, 50);
        for (int i = 0; i <= 150; ++i)
            layer.lineTo(static_cast<float>(i * 1.5), 50 + 40 * std::sin(i * 0.2f));
        layer.strokePath();
        layer.restore();
        if (pass == 1) {
            layer.clear(RectF{0, 0, 50, 120});
            layer.drawText("7", RectF{150, 90, 30, 20}, 14, TextAlign::Left);
        }
        ASSERT_FALSE(allClear(layer));
        layer.save();
        layer.translate(pass == 2 ? -5.0f : 0.0f, 0);
        layer.clear(RectF{pass == 2 ? 5.0f : 0.0f, 0, 200, 120});
        layer.restore();
        EXPECT_TRUE(allClear(layer));
    }
}

// A layer drawn in two goes, first inside a rectangle and then outside it
// (the part on screen first, the rest after the frame), looks like one
// drawing: no seam, no edge blended twice, for every way a long curve is
// stroked and at one and two pixels a point.
TEST(QPainterCanvas, ALayerDrawnInsideThenOutsideARectangleIsTheWhole)
{
    struct Case {
        const char* what;
        bool dashed;
        LineCap cap;
        double ratio;
        RectF inside;
    };
    const Case cases[] = {
        {"solid", false, LineCap::Butt, 2, {60, 40, 80, 60}},
        {"solid, one pixel a point", false, LineCap::Butt, 1, {60, 40, 80, 60}},
        {"round caps", false, LineCap::Round, 2, {60, 40, 80, 60}},
        {"dashed", true, LineCap::Butt, 2, {60, 40, 80, 60}},
        {"half points", false, LineCap::Butt, 2, {60.5f, 40.5f, 79.5f, 59.5f}},
        {"rectangle at an edge", false, LineCap::Butt, 2, {0, 0, 100, 150}},
    };
    const auto drawCurve = [](QPainterCanvas& canvas, const Case& c) {
        canvas.setStrokeColor(kBlue);
        canvas.setLineWidth(3);
        canvas.setLineCap(c.cap);
        const float dash[] = {7, 4};
        if (c.dashed)
            canvas.setLineDash(0, dash, 2);
        // A wave across the whole layer, 600 samples.
        canvas.moveTo(0, 75);
        for (int i = 1; i <= 600; ++i)
            canvas.lineTo(200.0f * i / 600, 75 + 60 * std::sin(i / 40.0f));
        canvas.strokePath();
    };
    for (const Case& c : cases) {
        QPainterCanvas whole(SizeF{200, 150}, c.ratio), parts(SizeF{200, 150}, c.ratio);
        drawCurve(whole, c);
        // Something old under the second go, which its clear must remove.
        parts.setFillColor(kRed);
        parts.fillRect(RectF{0, 0, 200, 150});
        parts.clear(c.inside);
        parts.save();
        parts.clip(c.inside);
        drawCurve(parts, c);
        parts.restore();
        const RectF r = c.inside;
        for (RectF band : {RectF{0, 0, 200, r.y}, RectF{0, r.y + r.height, 200, 150 - r.y - r.height},
                           RectF{0, r.y, r.x, r.height}, RectF{r.x + r.width, r.y, 200 - r.x - r.width, r.height}})
            if (band.width > 0 && band.height > 0)
                parts.clear(band);
        parts.save();
        parts.clipOut(c.inside);
        drawCurve(parts, c);
        parts.restore();
        // The rasterizer's sums may differ in the last bits where fewer
        // pieces meet; an edge blended twice or a seam is far more.
        const QImage a = parts.image(), b = whole.image();
        int worst = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                for (auto channel : std::initializer_list<int (*)(QRgb)>{qRed, qGreen, qBlue, qAlpha})
                    worst = std::max(worst, std::abs(channel(a.pixel(x, y)) - channel(b.pixel(x, y))));
        EXPECT_LE(worst, 4) << c.what;
    }
}
