#include "icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace orlix::icons {

namespace {

constexpr int kSide = 64; // drawn at 64 px, scaled down by the buttons

// The colours of one appearance.
struct Inks {
    QColor ink, axis, curve, outline, paper;
};

const Inks kLightInks{QColor(40, 40, 40), QColor(120, 120, 120), QColor(30, 90, 200), QColor(0, 0, 0),
                      QColor(250, 250, 250)};
const Inks kDarkInks{QColor(228, 230, 236), QColor(150, 150, 156), QColor(110, 160, 255), QColor(20, 20, 24),
                     QColor(70, 72, 80)};

void axes(QPainter& p, const Inks& inks)
{
    p.save();
    p.setPen(QPen(inks.axis, 3));
    p.drawLine(6, 40, 58, 40);
    p.restore();
}

void curve(QPainter& p, double (*f)(double), QColor c)
{
    QPainterPath path;
    for (int i = 0; i <= 52; ++i) {
        const double x = 6 + i;
        const double y = 40 - f((x - 32) / 13.0) * 13.0;
        if (i == 0)
            path.moveTo(x, y);
        else
            path.lineTo(x, y);
    }
    p.save();
    p.setPen(QPen(c, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.restore();
}

void dot(QPainter& p, QPointF at, QColor c, const Inks& inks)
{
    p.save();
    p.setPen(QPen(inks.outline, 2));
    p.setBrush(c);
    p.drawEllipse(at, 7, 7);
    p.restore();
}

void draw(QPainter& p, Icon which, const Inks& inks)
{
    const QColor& ink = inks.ink;
    const QColor& curveInk = inks.curve;
    switch (which) {
    case Icon::add:
        p.setPen(QPen(ink, 7, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(32, 12, 32, 52);
        p.drawLine(12, 32, 52, 32);
        break;
    case Icon::trash:
        p.setPen(QPen(ink, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(12, 16, 52, 16);
        p.drawLine(26, 16, 28, 9);
        p.drawLine(28, 9, 36, 9);
        p.drawLine(36, 9, 38, 16);
        p.drawPolyline(QPolygonF({QPointF(17, 20), QPointF(20, 56), QPointF(44, 56), QPointF(47, 20)}));
        p.drawLine(27, 26, 28, 50);
        p.drawLine(37, 26, 36, 50);
        break;
    case Icon::undo:
    case Icon::redo: {
        // A hooked arrow turning back (undo) or, mirrored, forward (redo).
        p.save();
        if (which == Icon::redo) {
            p.translate(kSide, 0);
            p.scale(-1, 1);
        }
        p.setPen(QPen(ink, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        QPainterPath hook;
        hook.moveTo(14, 26);
        hook.lineTo(38, 26);
        hook.cubicTo(60, 26, 60, 54, 38, 54);
        hook.lineTo(26, 54);
        p.drawPath(hook);
        p.drawPolyline(QPolygonF({QPointF(24, 15), QPointF(13, 26), QPointF(24, 37)}));
        p.restore();
        break;
    }
    case Icon::roots:
        axes(p, inks);
        curve(p, [](double x) { return x * 0.9; }, curveInk);
        dot(p, QPointF(32, 40), QColor(230, 60, 60), inks);
        break;
    case Icon::extrs:
        axes(p, inks);
        curve(p, [](double x) { return x * x * 0.8 - 1.6; }, curveInk);
        dot(p, QPointF(32, 40 + 1.6 * 13), QColor(60, 170, 60), inks);
        break;
    case Icon::infls:
        axes(p, inks);
        curve(p, [](double x) { return 0.35 * x * x * x; }, curveInk);
        dot(p, QPointF(32, 40), QColor(240, 170, 30), inks);
        break;
    case Icon::inters:
        axes(p, inks);
        curve(p, [](double x) { return 0.8 * x + 1; }, curveInk);
        curve(p, [](double x) { return -0.8 * x + 1; }, QColor(200, 60, 160));
        dot(p, QPointF(32, 27), QColor(150, 60, 220), inks);
        break;
    case Icon::move: {
        p.setPen(QPen(ink, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(32, 8, 32, 56);
        p.drawLine(8, 32, 56, 32);
        for (int k = 0; k < 4; ++k) {
            p.save();
            p.translate(32, 32);
            p.rotate(90 * k);
            p.drawPolyline(QPolygonF({QPointF(-7, -17), QPointF(0, -24), QPointF(7, -17)}));
            p.restore();
        }
        break;
    }
    case Icon::trace:
        axes(p, inks);
        curve(p, [](double x) { return std::sin(x * 1.4) * 1.3; }, curveInk);
        p.setPen(QPen(QColor(230, 60, 60), 2, Qt::DashLine));
        p.drawLine(QPointF(40, 8), QPointF(40, 56));
        dot(p, QPointF(40, 40 - std::sin(8.0 / 13 * 1.4) * 1.3 * 13), QColor(230, 60, 60), inks);
        break;
    case Icon::funcSettings: {
        // A palette: the curve's colour, dash and density.
        p.setPen(QPen(ink, 3));
        p.setBrush(inks.paper);
        QPainterPath palette;
        palette.addEllipse(QRectF(8, 12, 48, 40));
        QPainterPath thumb;
        thumb.addEllipse(QRectF(34, 36, 10, 10));
        p.drawPath(palette.subtracted(thumb));
        const QColor paints[] = {QColor(230, 60, 60), QColor(60, 170, 60), QColor(30, 90, 200), QColor(240, 170, 30)};
        const QPointF at[] = {QPointF(20, 28), QPointF(31, 21), QPointF(44, 24), QPointF(20, 41)};
        p.setPen(Qt::NoPen);
        for (int k = 0; k < 4; ++k) {
            p.setBrush(paints[k]);
            p.drawEllipse(at[k], 5, 5);
        }
        break;
    }
    case Icon::preferences:
        // A list.
        p.setPen(QPen(ink, 5, Qt::SolidLine, Qt::RoundCap));
        for (int k = 0; k < 3; ++k) {
            const int y = 18 + 14 * k;
            p.drawPoint(QPointF(12, y));
            p.drawLine(22, y, 54, y);
        }
        break;
    case Icon::keyboard:
        // A keyboard's outline, three rows of keys and the space bar.
        p.setPen(QPen(ink, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(5, 15, 54, 36), 5, 5);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        for (int row = 0; row < 2; ++row)
            for (int k = 0; k < 6; ++k)
                p.drawRect(QRectF(11 + 7.5 * k, 21 + 8 * row, 5, 5));
        p.drawRect(QRectF(19, 39, 26, 5));
        break;
    }
}

} // namespace

QIcon icon(Icon which, bool dark)
{
    QPixmap pm(kSide, kSide);
    pm.fill(Qt::transparent);
    {
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p, which, dark ? kDarkInks : kLightInks);
    }
    // Disabled looks disabled in both appearances: the style's own greying
    // keeps light ink bright on a dark bar, so the faded picture is given.
    QPixmap faded(kSide, kSide);
    faded.fill(Qt::transparent);
    {
        QPainter p(&faded);
        p.setOpacity(0.3);
        p.drawPixmap(0, 0, pm);
    }
    QIcon result(pm);
    result.addPixmap(faded, QIcon::Disabled);
    return result;
}

} // namespace orlix::icons
