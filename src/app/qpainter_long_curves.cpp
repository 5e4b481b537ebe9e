#include "qpainter_canvas.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <vector>

namespace orlix {

// QPainter strokes a wide pen by filling the outline of the whole path, and
// the fill of one outline with thousands of edges costs far more than the
// same edges in short pieces (six curves at two pixels a point took 100 ms).
// Long opaque polylines, which is what curves are, are therefore drawn in
// pieces that overlap without a seam:
// - solid lines as separate segments (runs in line merged into one
//   chord), whose square caps close the joins, and a chord at either end
//   with the cap asked for;
// - dashed lines walked here, each dash its own short polyline, the pattern
//   starting again at every move as QPainter does;
// - round caps as runs of segments.
// Translucent pens would darken where pieces overlap: they keep the one
// outline, as does anything else the pieces cannot reproduce.
namespace {

QRectF boundsOf(const std::vector<QPointF>& points)
{
    if (points.empty())
        return {};
    double left = points[0].x(), right = left, top = points[0].y(), bottom = top;
    for (const QPointF& q : points) {
        left = std::min(left, q.x());
        right = std::max(right, q.x());
        top = std::min(top, q.y());
        bottom = std::max(bottom, q.y());
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

} // namespace

bool QPainterCanvas::strokeLongPolyline(QPainter& p, const QPen& q)
{
    constexpr int kLong = 64;
    const int n = path_.elementCount();
    const double w = q.widthF();
    if (n <= kLong || q.color().alpha() != 255 || !(w > 0) || q.style() == Qt::NoPen)
        return false;
    std::vector<std::pair<int, int>> subpaths; // [first, last] element of each
    double length = 0;
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element e = path_.elementAt(i);
        if (e.type == QPainterPath::MoveToElement)
            subpaths.emplace_back(i, i);
        else if (e.type == QPainterPath::LineToElement && !subpaths.empty()) {
            subpaths.back().second = i;
            length += QLineF(path_.elementAt(i - 1), e).length();
        } else
            return false;
    }
    std::vector<double> dashes;
    if (q.style() != Qt::SolidLine) {
        double period = 0;
        for (qreal d : q.dashPattern()) {
            dashes.push_back(d * w);
            period += d * w;
        }
        // Beyond some thousands of dashes QPainter's own dasher (which
        // knows the clip) does better.
        if (dashes.size() < 2 || !(period > 0) || !(length / period < 20000))
            return false;
    }
    const auto point = [this](int i) { return QPointF(path_.elementAt(i)); };
    // Whether the points between elements a and b lie on the chord from a
    // to b, in order, within kChordTolerance.
    constexpr int kMaxChordRun = 48;
    constexpr double kChordTolerance = 0.1;
    const auto withinChord = [&](int a, int b) {
        const QPointF from = point(a), chord = point(b) - from;
        const double length2 = QPointF::dotProduct(chord, chord);
        if (!(length2 > 0))
            return false;
        for (int i = a + 1; i < b; ++i) {
            const QPointF d = point(i) - from;
            const double along = QPointF::dotProduct(d, chord);
            const double across = d.x() * chord.y() - d.y() * chord.x();
            if (along < 0 || along > length2 || across * across > kChordTolerance * kChordTolerance * length2)
                return false;
        }
        return true;
    };

    // Pieces wholly outside the clip, or inside what clipOut left out (a
    // layer drawn in parts), are left out: what is drawn stays the same to
    // the pixel.
    const double margin = 2 * w + 2;
    const QRectF reach = (p.hasClipping() ? p.clipBoundingRect() : QRectF(0, 0, size_.width, size_.height))
                             .adjusted(-margin, -margin, margin, margin);
    const std::optional<QRectF> hole = st_.excluded && st_.excludedIn == p.transform()
                                           ? std::optional(st_.excluded->adjusted(margin, margin, -margin, -margin))
                                           : std::nullopt;
    const auto outside = [&reach, &hole](const QRectF& bounds) {
        return bounds.left() > reach.right() || bounds.right() < reach.left() || bounds.top() > reach.bottom() ||
               bounds.bottom() < reach.top() ||
               (hole && bounds.left() >= hole->left() && bounds.right() <= hole->right() &&
                bounds.top() >= hole->top() && bounds.bottom() <= hole->bottom());
    };
    const std::optional<QRectF> nearHole =
        hole ? std::optional(st_.excluded->adjusted(-margin, -margin, margin, margin)) : std::nullopt;
    const auto awayFromHole = [&nearHole](const QRectF& bounds) {
        return nearHole && (bounds.left() > nearHole->right() || bounds.right() < nearHole->left() ||
                            bounds.top() > nearHole->bottom() || bounds.bottom() < nearHole->top());
    };

    p.save();
    p.setBrush(Qt::NoBrush);
    QPen piece = q;
    piece.setStyle(Qt::SolidLine);
    p.setPen(piece);
    std::vector<QPointF> run;
    std::vector<QLineF> ends, middle, middleAway;
    for (auto [first, last] : subpaths) {
        if (!dashes.empty()) {
            dashSubpath(p, first, last, dashes, q.dashOffset() * w, outside);
        } else if (q.capStyle() == Qt::RoundCap) {
            constexpr int kRun = 32;
            for (int i = first; i < last; i += kRun) {
                run.clear();
                for (int k = i; k <= std::min(i + kRun, last); ++k)
                    run.push_back(point(k));
                if (!outside(boundsOf(run)))
                    p.drawPolyline(run.data(), static_cast<int>(run.size()));
            }
        } else {
            // The first and last line width of the curve become one chord
            // each, with the cap asked for (short segments side by side
            // would leave seams); the segments between get square caps,
            // which close the joins.
            int head = first;
            for (double l = 0; head < last && l < w; ++head)
                l += QLineF(point(head), point(head + 1)).length();
            int tail = last;
            for (double l = 0; tail > head && l < w; --tail)
                l += QLineF(point(tail - 1), point(tail)).length();
            if (tail <= head) {
                ends.emplace_back(point(first), point(last));
                continue;
            }
            ends.emplace_back(point(first), point(head));
            ends.emplace_back(point(tail), point(last));
            // Samples a curve lays closer than two pixels apart are mostly
            // in line: runs that stay within a tenth of a point of one chord
            // are stroked as that chord.
            for (int k = head; k < tail;) {
                int j = k + 1;
                while (j < tail && j - k < kMaxChordRun && withinChord(k, j + 1))
                    ++j;
                const QRectF bounds = QRectF(point(k), point(j)).normalized();
                if (!outside(bounds))
                    (awayFromHole(bounds) ? middleAway : middle).emplace_back(point(k), point(j));
                k = j;
            }
        }
    }
    if (!ends.empty())
        p.drawLines(ends.data(), static_cast<int>(ends.size()));
    QPen square = piece;
    square.setCapStyle(Qt::SquareCap);
    p.setPen(square);
    if (!middle.empty())
        p.drawLines(middle.data(), static_cast<int>(middle.size()));
    // A clip that is not a rectangle costs QPainter more than drawing
    // twice as much: pieces away from what clipOut left out go without it.
    if (!middleAway.empty()) {
        p.save();
        if (st_.clipBeforeExcluded)
            p.setClipPath(*st_.clipBeforeExcluded);
        else
            p.setClipping(false);
        p.drawLines(middleAway.data(), static_cast<int>(middleAway.size()));
        p.restore();
    }
    p.restore();
    return true;
}

void QPainterCanvas::dashSubpath(QPainter& p, int first, int last, const std::vector<double>& dashes, double offset,
                                 const std::function<bool(const QRectF&)>& outside)
{
    const int count = static_cast<int>(dashes.size());
    double period = 0;
    for (double d : dashes)
        period += d;
    double d = std::fmod(offset, period);
    if (d < 0)
        d += period;
    int index = 0;
    while (d >= dashes[index]) {
        d -= dashes[index];
        index = (index + 1) % count;
    }
    double left = dashes[index] - d; // of the current dash or gap
    bool on = index % 2 == 0;
    std::vector<QPointF> dash;
    const auto flush = [&] {
        if (dash.size() > 1 && !outside(boundsOf(dash)))
            p.drawPolyline(dash.data(), static_cast<int>(dash.size()));
        dash.clear();
    };
    QPointF a(path_.elementAt(first));
    if (on)
        dash.push_back(a);
    for (int i = first + 1; i <= last; ++i) {
        const QPointF b(path_.elementAt(i));
        const double l = QLineF(a, b).length();
        double t = 0;
        while (l - t > left) {
            t += left;
            const QPointF at = a + (b - a) * (t / l);
            if (on) {
                dash.push_back(at);
                flush();
            } else {
                dash.push_back(at);
            }
            on = !on;
            index = (index + 1) % count;
            left = dashes[index];
        }
        left -= l - t;
        if (on)
            dash.push_back(b);
        a = b;
    }
    if (on)
        flush();
}

} // namespace orlix
