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

// The directions a chord from one point may take so that the points after
// it, in order, lie within kTolerance of it and before its end: each point
// d away allows a cone of directions about d, half as wide as
// asin(kTolerance / |d|), and the chord must lie in all of them and reach
// at least as far as the farthest. Points are admitted one at a time, so a
// run of m points costs m tests instead of m²/2.
class ChordSleeve {
  public:
    static constexpr double kTolerance = 0.1;

    // Takes in a point the chord must pass; false when no chord can.
    bool admit(QPointF d)
    {
        const double r2 = QPointF::dotProduct(d, d);
        // A point this close to the start could lie behind any chord.
        if (!(r2 > kTolerance * kTolerance))
            return false;
        const double r = std::sqrt(r2);
        const double sine = kTolerance / r, cosine = std::sqrt(1 - sine * sine);
        // d turned by the cone's half width each way.
        const QPointF left(d.x() * cosine - d.y() * sine, d.x() * sine + d.y() * cosine);
        const QPointF right(d.x() * cosine + d.y() * sine, -d.x() * sine + d.y() * cosine);
        if (!open_) {
            left_ = left;
            right_ = right;
            open_ = true;
        } else {
            // Every cone lies within a quarter turn of the first point's
            // direction, so the cross product orders their edges.
            if (cross(left_, left) < 0)
                left_ = left;
            if (cross(right_, right) > 0)
                right_ = right;
            if (cross(right_, left_) < 0)
                return false;
        }
        reach2_ = std::max(reach2_, r2);
        return true;
    }

    // Whether the chord to d passes every point admitted.
    bool holds(QPointF d) const
    {
        if (!open_)
            return true;
        return QPointF::dotProduct(d, d) >= reach2_ && QPointF::dotProduct(d, left_ + right_) > 0 &&
               cross(right_, d) >= 0 && cross(d, left_) >= 0;
    }

  private:
    static double cross(QPointF a, QPointF b) { return a.x() * b.y() - a.y() * b.x(); }

    QPointF left_, right_;
    double reach2_ = 0;
    bool open_ = false;
};

} // namespace

bool QPainterCanvas::strokeLongPolyline(QPainter& p, const QPen& q)
{
    constexpr int kLong = 64;
    const int n = path_.elementCount();
    const double w = q.widthF();
    if (n <= kLong || q.color().alpha() != 255 || !(w > 0) || q.style() == Qt::NoPen)
        return false;
    std::vector<std::pair<int, int>> subpaths; // [first, last] element of each
    std::vector<QPointF> points;
    points.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element e = path_.elementAt(i);
        if (e.type == QPainterPath::MoveToElement)
            subpaths.emplace_back(i, i);
        else if (e.type == QPainterPath::LineToElement && !subpaths.empty())
            subpaths.back().second = i;
        else
            return false;
        points.emplace_back(e.x, e.y);
    }
    std::vector<double> dashes;
    if (q.style() != Qt::SolidLine) {
        double length = 0;
        for (auto [first, last] : subpaths)
            for (int i = first + 1; i <= last; ++i)
                length += QLineF(points[static_cast<std::size_t>(i - 1)], points[static_cast<std::size_t>(i)]).length();
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
    const auto point = [&points](int i) { return points[static_cast<std::size_t>(i)]; };
    constexpr int kMaxChordRun = 48;
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
                ChordSleeve sleeve;
                while (j < tail && j - k < kMaxChordRun && sleeve.admit(point(j) - point(k)) &&
                       sleeve.holds(point(j + 1) - point(k)))
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
