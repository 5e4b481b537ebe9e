#include "svg_canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace orlix;

namespace {

int count(const std::string& text, const std::string& part)
{
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

} // namespace

// Saves, transforms and clips nest as groups that always close, whatever
// the drawing leaves open or restores too often; numbers that are no
// drawing and text that XML would misread never reach the document.
TEST(SvgCanvas, TheDocumentStaysWellFormedWhateverTheDrawingDoes)
{
    SvgCanvas c(SizeF{100, 50});
    c.restore(); // nothing saved
    c.save();
    c.translate(10, 20);
    c.clip(RectF{0, 0, 30, 30});
    c.save();
    c.rotate(static_cast<float>(M_PI / 2));
    c.clipOut(RectF{1, 1, 2, 2});
    c.moveTo(0, 0);
    c.lineTo(NAN, 3);
    c.lineTo(1e12f, 3);
    c.lineTo(5, 5);
    c.strokePath();
    c.restore();
    c.setFillColor(Color{1, 0, 0, 0.5f});
    c.fillRect(RectF{0, 0, 4, INFINITY});
    c.drawText("a < b & \"c\"\x01", RectF{0, 0, 40, 10}, 9, TextAlign::Center);
    // left open: the document closes it
    const std::string doc = c.document();
    EXPECT_EQ(count(doc, "<g "), count(doc, "</g>"));
    EXPECT_EQ(count(doc, "<clipPath"), 2);
    EXPECT_NE(doc.find("transform=\"rotate(90)\""), std::string::npos);
    EXPECT_NE(doc.find("<path d=\"M0 0L5 5\""), std::string::npos) << doc;
    EXPECT_EQ(doc.find("nan"), std::string::npos);
    EXPECT_EQ(doc.find("inf"), std::string::npos);
    EXPECT_NE(doc.find(">a &lt; b &amp; &quot;c&quot;</tspan>"), std::string::npos) << doc;
    EXPECT_EQ(count(doc, "<rect"), 1) << "the clip's rectangle, not the infinite one";
    EXPECT_NE(doc.find("text-anchor=\"middle\" fill=\"rgb(255,0,0)\" fill-opacity=\"0.5\""), std::string::npos);
}

// Shapes in their style: a rounded corner is the arc tangent to both
// sides, a hairline stays a device pixel, a recorded layer plays back
// where it is drawn.
TEST(SvgCanvas, ShapesKeepTheirGeometryAndStyle)
{
    SvgCanvas c(SizeF{100, 100});
    c.setStrokeColor(Color{0, 0, 1, 1});
    c.setLineWidth(0);
    const float dash[] = {4, 2};
    c.setLineDash(1, dash, 2);
    c.moveTo(0, 0);
    c.arcTo(10, 0, 10, 10, 5);
    c.strokePath();
    EXPECT_NE(c.document().find("<path d=\"M0 0L5 0A5 5 0 0 1 10 5\" fill=\"none\" stroke=\"rgb(0,0,255)\" "
                                "stroke-width=\"1\" vector-effect=\"non-scaling-stroke\" stroke-dasharray=\"4 2\" "
                                "stroke-dashoffset=\"1\"/>"),
              std::string::npos)
        << c.document();

    auto layer = c.createLayer(SizeF{10, 10});
    layer->fillEllipse(RectF{0, 0, 10, 4});
    c.drawLayer(*layer, PointF{30, 40});
    const std::string doc = c.document();
    EXPECT_NE(doc.find("<g transform=\"translate(30 40)\">\n<ellipse cx=\"5\" cy=\"2\" rx=\"5\" ry=\"2\""),
              std::string::npos)
        << doc;
    EXPECT_EQ(count(doc, "<g "), count(doc, "</g>"));
}
