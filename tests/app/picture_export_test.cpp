#include "picture_export.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>
#include <QXmlStreamReader>

#include <cmath>
#include <vector>

#include "orlix/function.h"
#include "orlix/theme.h"
#include "window_fixture.h"

using namespace orlix;
using orlix::testing_qt::WindowTest;

namespace {

// A stroked path of an SVG: its colour, the first point of its data in the
// drawing's coordinates, and how many points it has.
struct SvgPath {
    QString stroke;
    std::vector<QPointF> points;
};

QTransform transformOf(const QString& attribute)
{
    static const QRegularExpression matrix(QStringLiteral("matrix\\(([^)]*)\\)"));
    const QRegularExpressionMatch m = matrix.match(attribute);
    if (!m.hasMatch())
        return {};
    const QStringList v = m.captured(1).split(QLatin1Char(','));
    if (v.size() != 6)
        return {};
    return QTransform(v[0].toDouble(), v[1].toDouble(), v[2].toDouble(), v[3].toDouble(), v[4].toDouble(),
                      v[5].toDouble());
}

std::vector<SvgPath> strokedPaths(const QString& file)
{
    QFile f(file);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&f);
    struct Group {
        QString stroke;
        QTransform transform;
    };
    std::vector<Group> groups{{}};
    std::vector<SvgPath> paths;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("g")) {
            Group g = groups.back();
            const auto a = xml.attributes();
            if (a.hasAttribute(QLatin1String("stroke")))
                g.stroke = a.value(QLatin1String("stroke")).toString();
            if (a.hasAttribute(QLatin1String("transform")))
                g.transform = transformOf(a.value(QLatin1String("transform")).toString()) * g.transform;
            groups.push_back(g);
        } else if (xml.isEndElement() && xml.name() == QLatin1String("g")) {
            groups.pop_back();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("path") && groups.back().stroke != "none") {
            static const QRegularExpression number(QStringLiteral("-?[0-9.]+(?:e-?[0-9]+)?"));
            const QString d = xml.attributes().value(QLatin1String("d")).toString();
            std::vector<double> v;
            for (auto it = number.globalMatch(d); it.hasNext();)
                v.push_back(it.next().captured().toDouble());
            SvgPath path{groups.back().stroke, {}};
            for (size_t i = 0; i + 1 < v.size(); i += 2)
                path.points.push_back(groups.back().transform.map(QPointF(v[i], v[i + 1])));
            paths.push_back(std::move(path));
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return paths;
}

QColor toQColor(Color c) { return QColor::fromRgbF(c.r, c.g, c.b); }

class PictureExportTest : public WindowTest {
  protected:
    plotView& view() { return w->plot().view(); }
    // A curve's colour as the view draws it.
    QString strokeOf(const Function& f) { return toQColor(view().theme().legible(f.color())).name(); }
    QString file(const QString& name) const { return dir.filePath(name); }
    std::optional<QString> write(const QString& name, PictureFormat format, double scale = 1)
    {
        return writePicture(view(), PictureRequest{file(name), format, scale});
    }
    void make(FunctionKind kind, const QString& formula, const QString& second = {})
    {
        w->newKindAction(kind)->trigger();
        if (!second.isEmpty())
            w->secondFormulaField().setText(second);
        commit(formula);
        ASSERT_NE(cur(), nullptr) << formula.toStdString();
    }
};

} // namespace

// Each curve is one path of the SVG, starting where the view shows its first
// sample, and the PNG of the same scene has the curve where the path runs.
TEST_F(PictureExportTest, SvgCurvesAreOnePathEachAtTheViewsPlaces)
{
    const struct {
        FunctionKind kind;
        QString formula, second;
        Color color;
    } cases[] = {
        {FunctionKind::yx, "x^2-2", {}, {0.75f, 0.05f, 0.05f, 1}},
        {FunctionKind::polar, "1+2cos(θ)", {}, {0.05f, 0.6f, 0.05f, 1}},
        {FunctionKind::parametric, "3cos(t)", "2sin(3t)", {0.6f, 0.05f, 0.75f, 1}},
        {FunctionKind::implicit, "x^2+y^2-9", {}, {0.6f, 0.4f, 0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.formula.toStdString());
        make(c.kind, c.formula, c.second);
        cur()->setColor(c.color);
    }
    ASSERT_FALSE(write("scene.svg", PictureFormat::Svg));
    ASSERT_FALSE(write("scene.png", PictureFormat::Png, 2));
    const std::vector<SvgPath> paths = strokedPaths(file("scene.svg"));
    const QImage png(file("scene.png"));
    ASSERT_FALSE(png.isNull());
    const SizeF size = view().viewSize();

    int curves = 0;
    for (const auto& [id, f] : model().functionRegister()) {
        SCOPED_TRACE(f->stringRepresentation());
        std::vector<const SvgPath*> mine;
        for (const SvgPath& p : paths)
            if (p.stroke == strokeOf(*f))
                mine.push_back(&p);
        ASSERT_EQ(mine.size(), 1u);
        ++curves;
        const std::vector<QPointF>& drawn = mine[0]->points;
        ASSERT_GT(drawn.size(), 50u);
        // It starts at one of the model's samples, where the view shows it.
        const bool atASample = std::any_of(f->points().begin(), f->points().end(), [&](const myPoint& p) {
            const PointF d = view().myPointToDevice(p);
            return std::fabs(d.x - drawn[0].x()) < 0.01 && std::fabs(d.y - drawn[0].y()) < 0.01;
        });
        EXPECT_TRUE(atASample) << drawn[0].x() << "," << drawn[0].y();
        // Its first point in the view is on the curve in the PNG (at 2×).
        const auto inView = std::find_if(drawn.begin(), drawn.end(), [&](const QPointF& q) {
            return q.x() > 3 && q.y() > 3 && q.x() < size.width - 3 && q.y() < size.height - 3;
        });
        ASSERT_NE(inView, drawn.end());
        const QColor want = QColor(strokeOf(*f));
        bool onCurve = false;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) {
                const QColor got = png.pixelColor(static_cast<int>(2 * inView->x()) + dx,
                                                  static_cast<int>(2 * inView->y()) + dy);
                onCurve = onCurve || (std::abs(got.red() - want.red()) < 40 &&
                                      std::abs(got.green() - want.green()) < 40 &&
                                      std::abs(got.blue() - want.blue()) < 40);
            }
        EXPECT_TRUE(onCurve) << inView->x() << "," << inView->y();
    }
    EXPECT_EQ(curves, 4);
}

// The PNG holds scale × the view's size in pixels; a scale out of range, a
// folder that cannot be written or a name without a file are reported and
// leave no file behind.
TEST_F(PictureExportTest, PngSizesAndRefusals)
{
    commit("sin(x)");
    const SizeF view = this->view().viewSize();
    for (int k : {1, 2, 3}) {
        const QString name = QStringLiteral("plot%1.png").arg(k);
        ASSERT_FALSE(write(name, PictureFormat::Png, k));
        const QImage image(file(name));
        EXPECT_EQ(image.width(), static_cast<int>(std::ceil(view.width * k)));
        EXPECT_EQ(image.height(), static_cast<int>(std::ceil(view.height * k)));
    }
    QFile blocker(file("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);
    for (const QString& name : {QStringLiteral("not-a-folder/plot.png"), QStringLiteral("missing/plot.svg")}) {
        SCOPED_TRACE(name.toStdString());
        const std::optional<QString> failure = write(name, *pictureFormatOf(name));
        ASSERT_TRUE(failure);
        EXPECT_TRUE(failure->startsWith(QStringLiteral("Could not write plot."))) << failure->toStdString();
    }
    for (double bad : {0.0, -1.0, std::nan(""), 9.0})
        EXPECT_TRUE(write("bad.png", PictureFormat::Png, bad));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), before);

    // The window reports a failure in its alert.
    EXPECT_FALSE(w->controller().sharePicture(PictureRequest{file("missing/plot.png")}));
    ASSERT_NE(w->openMessage(), nullptr);
    EXPECT_TRUE(w->openMessage()->text().startsWith(QStringLiteral("Could not write")));
}

// The picture has the background of the view's appearance.
TEST_F(PictureExportTest, DrawnInTheViewsAppearance)
{
    commit("sin(x)");
    for (const Appearance a : {Appearance::dark, Appearance::light}) {
        view().setAppearance(a);
        ASSERT_FALSE(write("look.png", PictureFormat::Png));
        const QImage image(file("look.png"));
        EXPECT_EQ(image.pixelColor(1, 1).name(), toQColor(themeFor(a).background).name());
    }
}

// The dialog's answer: format by the name's extension, else by the filter.
TEST(PictureRequest, FromTheSaveDialog)
{
    const QStringList filters = pictureFileFilters();
    const struct {
        QString path;
        int filter;
        QString wantPath;
        PictureFormat format;
        double scale;
    } cases[] = {
        {"/p/a.png", 2, "/p/a.png", PictureFormat::Png, 3},
        {"/p/a.PNG", 0, "/p/a.PNG", PictureFormat::Png, 1},
        {"/p/a", 1, "/p/a.png", PictureFormat::Png, 2},
        {"/p/a", 3, "/p/a.svg", PictureFormat::Svg, 1},
        {"/p/a.svg", 2, "/p/a.svg", PictureFormat::Svg, 1},
        {"/p/a.png", 3, "/p/a.png", PictureFormat::Png, 1},
        {"/p/a.jpg", 0, "/p/a.jpg.png", PictureFormat::Png, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const PictureRequest r = pictureRequestFor(c.path, filters.at(c.filter));
        EXPECT_EQ(r.path, c.wantPath);
        EXPECT_EQ(r.format, c.format);
        EXPECT_EQ(r.scale, c.scale);
    }
}

// The current curve's marks and, while tracing, the trace point's overlays
// are in the picture.
TEST_F(PictureExportTest, MarksAndTraceOverlaysAreInThePicture)
{
    commit("x^2-2");
    const auto changedPixelsAround = [this](PointF at, const QImage& a, const QImage& b) {
        int changed = 0;
        for (int y = static_cast<int>(at.y) - 20; y <= static_cast<int>(at.y) + 20; ++y)
            for (int x = static_cast<int>(at.x) - 20; x <= static_cast<int>(at.x) + 20; ++x)
                if (a.valid(x, y) && a.pixel(x, y) != b.pixel(x, y))
                    ++changed;
        return changed;
    };
    ASSERT_FALSE(write("plain.png", PictureFormat::Png));
    w->rootsButton().click();
    ASSERT_FALSE(write("roots.png", PictureFormat::Png));
    const PointF root = view().myPointToDevice(myPoint{std::sqrt(2.0), 0});
    EXPECT_GT(changedPixelsAround(root, QImage(file("plain.png")), QImage(file("roots.png"))), 40);

    w->moveOrTraceButton().click();
    ASSERT_TRUE(view().tracing());
    const PointF on = view().myPointToDevice(myPoint{1, -1});
    QTest::mousePress(&w->plot(), Qt::LeftButton, Qt::NoModifier, QPoint(static_cast<int>(on.x), 100));
    QTest::mouseMove(&w->plot(), QPoint(static_cast<int>(on.x), 120));
    ASSERT_FALSE(write("tracing.png", PictureFormat::Png));
    QTest::mouseRelease(&w->plot(), Qt::LeftButton, Qt::NoModifier, QPoint(static_cast<int>(on.x), 120));
    EXPECT_GT(changedPixelsAround(on, QImage(file("roots.png")), QImage(file("tracing.png"))), 40);
}
