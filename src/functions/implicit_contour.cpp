#include "implicit_contour.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "implicit_support.h"
#include "orlix/interval.h"

namespace orlix::implicit {

double edgeCrossing(StackMachine& sm, double* cell, double a, double b, double fa, double fb, int maxSteps,
                    double width)
{
    // Regula falsi with the Illinois step: a handful of evaluations where
    // halving needs fifty, closed to a few units in the last place.
    // Near a pole g outgrows both ends; near a root it shrinks below the
    // larger, whatever the smaller (a corner a rounding off the curve).
    const double startSize = std::max(std::fabs(fa), std::fabs(fb));
    int lastMoved = 0; // -1: a moved last, +1: b moved last
    double c = a, fc = fa;
    for (int step = 0; step < maxSteps; ++step) {
        c = (a * fb - b * fa) / (fb - fa);
        const double lo = std::min(a, b), hi = std::max(a, b);
        if (!(c > lo && c < hi))
            c = 0.5 * (a + b);
        if (c <= lo || c >= hi)
            break; // no double lies strictly between a and b
        *cell = c;
        fc = sm.evaluate();
        if (!std::isfinite(fc))
            return kNaN;
        if (fc == 0)
            return c;
        if ((fc < 0) == (fb < 0)) {
            b = c;
            fb = fc;
            if (lastMoved == 1)
                fa *= 0.5;
            lastMoved = 1;
        } else {
            a = c;
            fa = fc;
            if (lastMoved == -1)
                fb *= 0.5;
            lastMoved = -1;
        }
        if (std::fabs(b - a) <= std::max(width, 4 * kEps52 * std::max(std::fabs(a), std::fabs(b))))
            break;
    }
    if (std::fabs(fc) > startSize)
        return kNaN;
    return c;
}

namespace {

// A map of 64-bit keys to small values, open addressed: the pass looks up
// several keys per cell, where a node per entry would cost more than the
// formula.
template <class Value> class KeyMap {
  public:
    // The value of key, made by make() if the key is new.
    template <class Make> Value& at(std::uint64_t key, Make make)
    {
        if (2 * (count_ + 1) > slots_.size())
            grow();
        std::size_t k = slotOf(key);
        while (slots_[k].key != kEmpty) {
            if (slots_[k].key == key)
                return slots_[k].value;
            k = (k + 1) & (slots_.size() - 1);
        }
        ++count_;
        slots_[k].key = key;
        slots_[k].value = make();
        return slots_[k].value;
    }
    const Value* find(std::uint64_t key) const
    {
        if (slots_.empty())
            return nullptr;
        for (std::size_t k = slotOf(key); slots_[k].key != kEmpty; k = (k + 1) & (slots_.size() - 1))
            if (slots_[k].key == key)
                return &slots_[k].value;
        return nullptr;
    }

  private:
    static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};
    struct Slot {
        std::uint64_t key = kEmpty;
        Value value{};
    };
    std::size_t slotOf(std::uint64_t key) const
    {
        // The high bits of the product mix every bit of the key.
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_);
    }
    void grow()
    {
        std::vector<Slot> old(std::max<std::size_t>(1024, 2 * slots_.size()));
        old.swap(slots_);
        shift_ = 64 - std::countr_zero(slots_.size());
        count_ = 0;
        for (const Slot& s : old)
            if (s.key != kEmpty)
                at(s.key, [&] { return s.value; });
    }
    std::vector<Slot> slots_;
    std::size_t count_ = 0;
    int shift_ = 64;
};

// Corners and edges of a cell, counter-clockwise from the lower left.
enum Edge { bottom, right, top, left };

class ContourPass {
  public:
    ContourPass(StackMachine& g, const ContourRequest& r, int cells)
        : g_(g), r_(r), cells_(cells), budget_(r.stepBudget),
          refineBudget_(std::min(r.refineStepBudget, r.stepBudget / 2)), xc_(MathEngine::xAddr()),
          yc_(MathEngine::yAddr())
    {
        const double cellPixels = std::max(std::fabs(r.maxX - r.minX) / cells * r.pixelsPerUnitX,
                                           std::fabs(r.maxY - r.minY) / cells * r.pixelsPerUnitY);
        // Halvings of a coarse cell down to a side of at most `pixels`.
        const auto levelFor = [&](double pixels) {
            if (!std::isfinite(cellPixels) || !(cellPixels > pixels))
                return 0;
            return std::min(kMaxLevel, static_cast<int>(std::ceil(std::log2(cellPixels / pixels))));
        };
        leafLevel_ = levelFor(ContourRequest::leafPixels);
        // Below the leaves: a pixel, to find what a pixel would show of a
        // curve that does not change the sign at the corners, and a quarter
        // of one, to take a crossing of two branches apart.
        smallLevel_ = levelFor(1);
        finest_ = levelFor(0.25);
        side_ = static_cast<std::int64_t>(cells) << finest_;
        stepX_ = (r.maxX - r.minX) / static_cast<double>(side_);
        stepY_ = (r.maxY - r.minY) / static_cast<double>(side_);
        intervals_ = g.enclosable();
    }

    Contour run()
    {
        Contour out;
        const int n = cells_;
        const std::int64_t coarse = std::int64_t{1} << finest_;
        // The coarse grid, a row at a time.
        coarse_.assign(static_cast<std::size_t>((n + 1) * (n + 1)), kNaN);
        std::vector<double> columns(static_cast<std::size_t>(n + 1));
        for (int m = 0; m <= n; ++m)
            columns[static_cast<std::size_t>(m)] = xAt(m * coarse);
        for (int l = 0; l <= n; ++l) {
            *yc_ = yAt(l * coarse);
            g_.evaluateBlock(xc_, columns.data(), &coarse_[static_cast<std::size_t>(l * (n + 1))], n + 1);
        }
        for (auto& edges : coarseEdges_)
            edges.assign(static_cast<std::size_t>((n + 1) * (n + 1)), kUnknown);
        out.anyFinite = std::any_of(coarse_.begin(), coarse_.end(), [](double v) { return std::isfinite(v); });
        if (!out.anyFinite)
            return out;
        // The cells on screen are refined; the rest, seen only while the
        // view is dragged over them, keep the coarse grid, as does all
        // that is left once the budget is spent.
        const auto inFocus = [&](int m, int l) {
            const double x0 = xAt(m * coarse), x1 = xAt((m + 1) * coarse);
            const double y0 = yAt(l * coarse), y1 = yAt((l + 1) * coarse);
            return std::max(x0, x1) >= r_.focusMinX && std::min(x0, x1) <= r_.focusMaxX &&
                   std::max(y0, y1) >= r_.focusMinY && std::min(y0, y1) <= r_.focusMaxY;
        };
        focusM_ = {n, 0};
        focusL_ = {n, 0};
        for (int l = 0; l < n; ++l)
            for (int m = 0; m < n; ++m)
                if (inFocus(m, l)) {
                    focusM_ = {std::min(focusM_[0], m), std::max(focusM_[1], m + 1)};
                    focusL_ = {std::min(focusL_[0], l), std::max(focusL_[1], l + 1)};
                }
        const auto crossed = [&](int m, int l) {
            const std::size_t k = static_cast<std::size_t>(l * (n + 1) + m);
            const double v0 = coarse_[k], v1 = coarse_[k + 1], v2 = coarse_[k + n + 2], v3 = coarse_[k + n + 1];
            return changes(v0, v1) || changes(v1, v2) || changes(v2, v3) || changes(v3, v0);
        };
        // Level by level, so that a budget spent leaves the whole view one
        // level coarser rather than a part of it at the coarse grid.
        for (const bool focus : {true, false}) {
            refine_ = focus;
            pending_.clear();
            for (int l = 0; l < n; ++l)
                for (int m = 0; m < n; ++m) {
                    const bool inside = m >= focusM_[0] && m < focusM_[1] && l >= focusL_[0] && l < focusL_[1];
                    // Off screen only the corners tell.
                    if (inside == focus && (inside || crossed(m, l)))
                        pending_.push_back({m * coarse, l * coarse});
                }
            for (int level = 0; !pending_.empty(); ++level) {
                std::vector<Corner> cells;
                cells.swap(pending_);
                for (const Corner& c : cells)
                    cell(c.i, c.j, level);
            }
        }
        out.points = std::move(points_);
        out.segments = std::move(segments_);
        return out;
    }

  private:
    // 150 coarse cells of 2^14 finest steps: the 22 bits of a key.
    static constexpr int kMaxLevel = 14;
    // How far, in device pixels, a chord may stray before its cell is split.
    static constexpr double kStray = 0.1;
    // How near, in device pixels, a crossing off screen is taken.
    static constexpr double kOffScreenWidth = 0.02;

    double xAt(std::int64_t i) const { return r_.minX + static_cast<double>(i) * stepX_; }
    double yAt(std::int64_t j) const { return r_.minY + static_cast<double>(j) * stepY_; }
    int sizeAt(int level) const { return 1 << (finest_ - level); }

    double value(std::int64_t i, std::int64_t j)
    {
        const std::int64_t below = (std::int64_t{1} << finest_) - 1;
        if (((i | j) & below) == 0)
            return coarse_[static_cast<std::size_t>((j >> finest_) * (cells_ + 1) + (i >> finest_))];
        const std::uint64_t key =
            static_cast<std::uint64_t>(j) * static_cast<std::uint64_t>(side_ + 1) + static_cast<std::uint64_t>(i);
        return values_.at(key, [&] { return evaluateAt(g_, {xAt(i), yAt(j)}); });
    }

    static bool negative(double v) { return v < 0; }
    static bool changes(double a, double b) { return !std::isnan(a) && !std::isnan(b) && negative(a) != negative(b); }

    int addPoint(myPoint p)
    {
        points_.push_back(p);
        return static_cast<int>(points_.size()) - 1;
    }

    // The point where g = 0 on the edge from (i, j) along x (alongX) or y
    // for size finest steps, shared by the two cells the edge bounds; -1
    // where g does not cross it.
    int crossing(std::int64_t i, std::int64_t j, int size, bool alongX, double ga, double gb)
    {
        if (!changes(ga, gb))
            return -1;
        // A zero at a vertex is one point for every edge that meets there.
        if (ga == 0 || gb == 0) {
            const std::int64_t vi = ga == 0 ? i : (alongX ? i + size : i);
            const std::int64_t vj = ga == 0 ? j : (alongX ? j : j + size);
            return pointOf_.at(key(vi, vj, 0, false, true), [&] { return addPoint({xAt(vi), yAt(vj)}); });
        }
        int* slot = nullptr;
        if (size == sizeAt(0)) {
            // The coarse grid's edges, most of them where a curve is busy.
            slot =
                &coarseEdges_[alongX ? 1 : 0][static_cast<std::size_t>((j >> finest_) * (cells_ + 1) + (i >> finest_))];
            if (*slot != kUnknown)
                return *slot;
        } else {
            bool added = false;
            slot = &pointOf_.at(key(i, j, size, alongX, false), [&] {
                added = true;
                return -1;
            });
            if (!added)
                return *slot;
        }
        *slot = -1;
        if (const int shared = sharedCrossing(i, j, size, alongX); shared >= 0) {
            *slot = shared;
            return shared;
        }
        const int steps = budget_.spent() ? 1 : 200;
        // Off screen, seen only while the view is dragged there, a
        // fiftieth of a device pixel is as good as exact and saves the last
        // steps.
        const auto width = [&](double pixelsPerUnit) {
            if (refine_)
                return 0.0;
            const double pixel = kOffScreenWidth / pixelsPerUnit;
            return std::isfinite(pixel) ? pixel : 0.0;
        };
        double at;
        if (alongX) {
            *yc_ = yAt(j);
            at = edgeCrossing(g_, xc_, xAt(i), xAt(i + size), ga, gb, steps, width(r_.pixelsPerUnitX));
            if (!std::isnan(at))
                *slot = addPoint({at, yAt(j)});
        } else {
            *xc_ = xAt(i);
            at = edgeCrossing(g_, yc_, yAt(j), yAt(j + size), ga, gb, steps, width(r_.pixelsPerUnitY));
            if (!std::isnan(at))
                *slot = addPoint({xAt(i), at});
        }
        return *slot;
    }

    // Where a cell was taken apart below its neighbour's size, or borders
    // the refined part of the window, the edges on the two sides differ:
    // the crossing found on one that holds this edge, or lies in it, is
    // this edge's crossing too, so that the pieces on the two sides join.
    int sharedCrossing(std::int64_t i, std::int64_t j, int size, bool alongX) const
    {
        const auto found = [&](std::int64_t ei, std::int64_t ej, int esize) {
            if (esize == sizeAt(0)) {
                const int k =
                    coarseEdges_[alongX ? 1 : 0][static_cast<std::size_t>((ej / esize) * (cells_ + 1) + ei / esize)];
                return k == kUnknown ? -1 : k;
            }
            const int* k = pointOf_.find(key(ei, ej, esize, alongX, false));
            return k ? *k : -1;
        };
        const int leaf = sizeAt(leafLevel_);
        for (int s = 2 * size; s <= leaf; s *= 2) {
            const int k = alongX ? found(i - i % s, j, s) : found(i, j - j % s, s);
            if (k < 0)
                continue;
            const myPoint p = points_[static_cast<std::size_t>(k)];
            const double along = alongX ? p.x : p.y;
            const double lo = alongX ? xAt(i) : yAt(j), hi = alongX ? xAt(i + size) : yAt(j + size);
            if (along >= std::min(lo, hi) && along <= std::max(lo, hi))
                return k;
            return -1;
        }
        if (size > leaf && !refine_ && onFocusBorder(i, j, alongX))
            for (int s = size / 2; s >= leaf; s /= 2)
                for (std::int64_t o = 0; o < size; o += s)
                    if (const int k = alongX ? found(i + o, j, s) : found(i, j + o, s); k >= 0)
                        return k;
        return -1;
    }

    // Is the coarse edge from (i, j) between a refined cell and another?
    bool onFocusBorder(std::int64_t i, std::int64_t j, bool alongX) const
    {
        const int coarse = sizeAt(0);
        const auto m = static_cast<int>(i / coarse), l = static_cast<int>(j / coarse);
        const auto focus = [&](int cm, int cl) {
            return cm >= focusM_[0] && cm < focusM_[1] && cl >= focusL_[0] && cl < focusL_[1];
        };
        return alongX ? focus(m, l) != focus(m, l - 1) : focus(m, l) != focus(m - 1, l);
    }

    static std::uint64_t key(std::int64_t i, std::int64_t j, int size, bool alongX, bool vertex)
    {
        const auto sizeBits = static_cast<std::uint64_t>(std::countr_zero(static_cast<unsigned>(std::max(size, 1))));
        return static_cast<std::uint64_t>(i) | static_cast<std::uint64_t>(j) << 22 | sizeBits << 44 |
               std::uint64_t{alongX} << 49 | std::uint64_t{vertex} << 50;
    }

    // Can the cell hold a piece of the curve that its corners do not show?
    bool mayHoldCurve(std::int64_t i, std::int64_t j, int size)
    {
        if (!intervals_)
            return false;
        const Interval v = g_.enclose(CellRange{xc_, xAt(i), xAt(i + size)}, CellRange{yc_, yAt(j), yAt(j + size)});
        // Nothing known is not a reason to look closer: the corners decide.
        return !v.isEverything() && v.contains(0);
    }

    void subdivide(std::int64_t i, std::int64_t j, int level)
    {
        const int half = sizeAt(level + 1);
        pending_.push_back({i, j});
        pending_.push_back({i + half, j});
        pending_.push_back({i, j + half});
        pending_.push_back({i + half, j + half});
    }

    void cell(std::int64_t i, std::int64_t j, int level)
    {
        const int size = sizeAt(level);
        const std::array<double, 4> v{value(i, j), value(i + size, j), value(i + size, j + size), value(i, j + size)};
        const bool signChange =
            changes(v[0], v[1]) || changes(v[1], v[2]) || changes(v[2], v[3]) || changes(v[3], v[0]);
        if (!signChange) {
            // A small loop or a touch inside: only an enclosure can tell,
            // and a cell a pixel wide says no more.
            if (level < smallLevel_ && refining() && mayHoldCurve(i, j, size))
                subdivide(i, j, level);
            return;
        }
        if (level < leafLevel_ && refining()) {
            subdivide(i, j, level);
            return;
        }
        std::array<int, 4> at{};
        at[bottom] = crossing(i, j, size, true, v[0], v[1]);
        at[right] = crossing(i + size, j, size, false, v[1], v[2]);
        at[top] = crossing(i, j + size, size, true, v[3], v[2]);
        at[left] = crossing(i, j, size, false, v[0], v[3]);
        const int found = static_cast<int>(std::count_if(at.begin(), at.end(), [](int k) { return k >= 0; }));
        if (found == 4) {
            // Two branches pass, or cross: smaller cells tell which.
            if (level < finest_ && refining()) {
                subdivide(i, j, level);
                return;
            }
            // The value at the centre says which opposite corners the
            // region around it joins; the other two are cut off.
            const double centre = evaluateAt(g_, {xAt(i) + 0.5 * size * stepX_, yAt(j) + 0.5 * size * stepY_});
            if (centre == 0) {
                // Two lines crossing at the centre.
                join(at[bottom], at[top]);
                join(at[left], at[right]);
            } else if (negative(centre) == negative(v[0])) {
                join(at[bottom], at[right]);
                join(at[top], at[left]);
            } else {
                join(at[left], at[bottom]);
                join(at[right], at[top]);
            }
            return;
        }
        if (found != 2)
            return; // a pole or a hole on an edge: no piece to draw
        // Zeros at two opposite corners: a diagonal, or the curve along two
        // sides (x·y = 0 at the origin); smaller cells tell, and at the
        // finest the diagonal stands only if g vanishes at the centre too.
        if ((v[0] == 0 && v[2] == 0) || (v[1] == 0 && v[3] == 0)) {
            if (level < finest_ && refining()) {
                subdivide(i, j, level);
                return;
            }
            const double centre = evaluateAt(g_, {xAt(i) + 0.5 * size * stepX_, yAt(j) + 0.5 * size * stepY_});
            if (centre != 0)
                return;
        }
        std::array<int, 2> ends{};
        int k = 0;
        for (const int a : at)
            if (a >= 0)
                ends[static_cast<std::size_t>(k++)] = a;
        if (level < finest_ && refining() && strays(ends, v, size)) {
            subdivide(i, j, level);
            return;
        }
        join(ends[0], ends[1]);
    }

    // Does the chord between the ends leave the curve by more than a
    // fraction of a pixel? At its middle the distance is about |g| over the
    // gradient, taken from the corners; near a saddle the gradient fades
    // and the cell is always taken apart.
    bool strays(const std::array<int, 2>& ends, const std::array<double, 4>& v, int size)
    {
        const myPoint p = points_[static_cast<std::size_t>(ends[0])], q = points_[static_cast<std::size_t>(ends[1])];
        const double middle = evaluateAt(g_, {(p.x + q.x) / 2, (p.y + q.y) / 2});
        const double gx = 0.5 * ((v[1] - v[0]) + (v[2] - v[3])) / (size * stepX_);
        const double gy = 0.5 * ((v[3] - v[0]) + (v[2] - v[1])) / (size * stepY_);
        const double pixelX = std::fabs(gx) / r_.pixelsPerUnitX, pixelY = std::fabs(gy) / r_.pixelsPerUnitY;
        // |g| over its change per pixel.
        return std::fabs(middle) > kStray * std::hypot(pixelX, pixelY);
    }

    void join(int a, int b)
    {
        if (a != b)
            segments_.emplace_back(a, b);
    }

    StackMachine& g_;
    const ContourRequest& r_;
    int cells_;
    // The whole pass's steps; past them the crossings take the chord.
    StepBudget budget_;
    // At most half of them for the refinement, so that a long formula
    // keeps its crossings on the curve.
    StepBudget refineBudget_;
    double* xc_;
    double* yc_;
    bool refining() const { return refine_ && !refineBudget_.spent(); }

    int leafLevel_ = 0, smallLevel_ = 0, finest_ = 0;
    bool refine_ = true;
    // The lower left corners of the cells of the next level.
    struct Corner {
        std::int64_t i, j;
    };
    std::vector<Corner> pending_;
    // The refined coarse cells: columns [first, end) and rows [first, end).
    std::array<int, 2> focusM_{}, focusL_{};
    std::int64_t side_ = 0;
    double stepX_ = 0, stepY_ = 0;
    bool intervals_ = false;
    std::vector<double> coarse_;
    // g at the corners finer than the coarse grid.
    KeyMap<double> values_;
    // The point of each crossed edge finer than the coarse grid, and of
    // each zero at a corner.
    KeyMap<int> pointOf_;
    // Per coarse edge, along y [0] and along x [1]: the point where g
    // crosses it, -1 where it does not, kUnknown before it is looked at.
    std::array<std::vector<int>, 2> coarseEdges_;
    static constexpr int kUnknown = -2;
    std::vector<myPoint> points_;
    std::vector<std::pair<int, int>> segments_;
};

} // namespace

Contour traceContour(StackMachine& g, const ContourRequest& request)
{
    CellGuard guard;
    ContourPass pass(g, request, std::max(request.cells, 1));
    return pass.run();
}

} // namespace orlix::implicit
