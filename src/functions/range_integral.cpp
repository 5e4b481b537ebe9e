#include "range_integral.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <queue>

namespace orlix::curve {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Kronrod's 15 nodes on [−1, 1] (the positive half; 0 last) and weights; the
// odd ones (1, 3, 5, 7) are Gauss's 7 nodes, with the weights kGauss.
constexpr double kNodes[8] = {0.991455371120812639206854697526329, 0.949107912342758524526189684047851,
                              0.864864423359769072789712788640926, 0.741531185599394439863864773280788,
                              0.586087235467691130294144845693013, 0.405845151377397166906606412076961,
                              0.207784955007898467600689403773245, 0.0};
constexpr double kKronrod[8] = {0.022935322010529224963732008058970, 0.063092092629978553290700663189204,
                                0.104790010322250183839876322541518, 0.140653259715525918745189590510238,
                                0.169004726639267902826583426598550, 0.190350578064785409913256402421014,
                                0.204432940075298892414161999234649, 0.209482141084727828012999174891714};
constexpr double kGauss[4] = {0.129484966168869693270611432679082, 0.279705391489276667901467771423780,
                              0.381830050505118944950369775488975, 0.417959183673469387755102040816327};
constexpr int kPointsPerInterval = 15;

// Settled: the error estimates of every integral add up to at most this
// part of the integral of its magnitude. Ten digits leave a wide margin
// for the seven shown.
constexpr double kSettled = 1e-10;
// Still unsettled past this part when the points are spent: the estimate
// is no longer shown as a number unless the trouble is spread out.
constexpr double kUnsettled = 1e-7;
// An interval narrower than this (in the slowed variable) that still holds
// the worst error marks a singular place.
constexpr double kSingularWidth = 1e-9;
// The least share of a shell around a singular place that the next shell,
// a thousand times closer, holds where the integral diverges: half, which
// |x − p|^−α gives for α above 0.9.
constexpr double kDivergentShare = 0.5;
// The first split, off the middle: a symmetric range keeps its centre (where
// removable holes and poles sit, 0 above all) off the nodes.
constexpr double kFirstSplit = 0.4142135623730951;

struct Interval {
    double u0 = 0, u1 = 0;
    // Per integral: the Kronrod estimate, the error estimate (difference
    // from Gauss) and the estimate of the magnitude's integral.
    std::vector<double> est, err, mag;
};

class Integrator {
  public:
    Integrator(double a, double b, std::size_t count, const std::function<void(double, double*)>& at)
        : a_(a), b_(b), width_(b - a), count_(count), at_(at), values_(count)
    {
        lowest_ = std::nextafter(a, b);
        highest_ = std::nextafter(b, a);
    }

    // The place of u in [a, b]: x = a + (b − a)·s(u), s(u) = 3u² − 2u³, each
    // half measured from its own end so that places near b keep their
    // distance from it. Never a or b itself.
    double place(double u) const
    {
        const double x = u <= 0.5 ? a_ + width_ * u * u * (3 - 2 * u) : b_ - width_ * (1 - u) * (1 - u) * (1 + 2 * u);
        return std::clamp(x, lowest_, highest_);
    }
    double speed(double u) const { return 6 * width_ * u * (1 - u); }

    Interval measure(double u0, double u1)
    {
        Interval r{u0, u1, std::vector<double>(count_), std::vector<double>(count_), std::vector<double>(count_)};
        std::vector<double> gauss(count_, 0.0);
        const double c = (u0 + u1) / 2, h = (u1 - u0) / 2;
        for (int j = 0; j < 8; ++j) {
            const bool gaussNode = j % 2 == 1;
            for (int side = 0; side < (j == 7 ? 1 : 2); ++side) {
                const double u = side == 0 ? c - h * kNodes[j] : c + h * kNodes[j];
                const double x = place(u), dxdu = speed(u);
                at_(x, values_.data());
                for (std::size_t k = 0; k < count_; ++k) {
                    const double v = values_[k] * dxdu;
                    r.est[k] += kKronrod[j] * v;
                    r.mag[k] += kKronrod[j] * std::fabs(v);
                    if (gaussNode)
                        gauss[k] += kGauss[j / 2] * v;
                }
            }
        }
        spent_ += kPointsPerInterval;
        for (std::size_t k = 0; k < count_; ++k) {
            r.est[k] *= h;
            r.mag[k] *= h;
            const double e = std::fabs(r.est[k] - gauss[k] * h);
            // A value that is no number makes the interval the first to split.
            r.err[k] = std::isfinite(r.est[k]) && std::isfinite(e) ? e : kInf;
        }
        return r;
    }

    std::vector<double> run(long long budget)
    {
        add(measure(0, kFirstSplit));
        add(measure(kFirstSplit, 1));
        while (!settled() && spent_ + 2 * kPointsPerInterval <= budget && !queue_.empty()) {
            const int worst = queue_.top().second;
            queue_.pop();
            const Interval& w = intervals_[static_cast<std::size_t>(worst)];
            const double mid = (w.u0 + w.u1) / 2;
            if (!(mid > w.u0 && mid < w.u1))
                continue; // as fine as the numbers go; it stays as it is
            const double u0 = w.u0, u1 = w.u1;
            Interval left = measure(u0, mid), right = measure(mid, u1);
            replace(worst, std::move(left));
            add(std::move(right));
        }
        return results();
    }

  private:
    double badness(const Interval& r) const
    {
        double worst = 0;
        for (std::size_t k = 0; k < count_; ++k) {
            if (r.err[k] == 0)
                continue;
            const double scale = magTotal_[k] > 0 && std::isfinite(magTotal_[k]) ? magTotal_[k] : 1.0;
            worst = std::max(worst, r.err[k] / scale);
        }
        return worst;
    }

    void add(Interval r)
    {
        intervals_.push_back(std::move(r));
        account(intervals_.back(), 1);
        queue_.emplace(badness(intervals_.back()), static_cast<int>(intervals_.size() - 1));
    }

    void replace(int i, Interval r)
    {
        account(intervals_[static_cast<std::size_t>(i)], -1);
        intervals_[static_cast<std::size_t>(i)] = std::move(r);
        account(intervals_[static_cast<std::size_t>(i)], 1);
        queue_.emplace(badness(intervals_[static_cast<std::size_t>(i)]), i);
    }

    // The running totals of the error and magnitude estimates; an interval
    // whose numbers are not finite is counted apart.
    void account(const Interval& r, int sign)
    {
        if (magTotal_.empty()) {
            magTotal_.assign(count_, 0.0);
            errTotal_.assign(count_, 0.0);
            troubled_.assign(count_, 0);
        }
        for (std::size_t k = 0; k < count_; ++k) {
            if (std::isfinite(r.err[k]) && std::isfinite(r.mag[k])) {
                errTotal_[k] += sign * r.err[k];
                magTotal_[k] += sign * r.mag[k];
            } else {
                troubled_[k] += sign;
            }
        }
    }

    bool settled() const
    {
        for (std::size_t k = 0; k < count_; ++k)
            if (troubled_[k] > 0 || errTotal_[k] > kSettled * magTotal_[k])
                return false;
        return true;
    }

    // The narrowest interval that holds the worst error of some integral,
    // when it is narrow enough to mark a singular place; its middle.
    std::optional<double> singularPlace() const
    {
        std::optional<double> place;
        double narrowest = kSingularWidth;
        for (std::size_t k = 0; k < count_; ++k) {
            const Interval* worst = nullptr;
            for (const Interval& r : intervals_)
                if (!worst || !(r.err[k] <= worst->err[k]))
                    worst = &r;
            if (worst && worst->u1 - worst->u0 < narrowest) {
                narrowest = worst->u1 - worst->u0;
                place = (worst->u0 + worst->u1) / 2;
            }
        }
        return place;
    }

    // The integrals over the shells from d/10 to d on either side of p (in
    // the slowed variable), with the integrals of their magnitudes.
    void shells(double p, double d, std::vector<double>& sum, std::vector<double>& magnitude)
    {
        sum.assign(count_, 0.0);
        magnitude.assign(count_, 0.0);
        for (double side : {-1.0, 1.0}) {
            const double near = p + side * d / 10, far = p + side * d;
            if (!(near > 0 && near < 1 && far > 0 && far < 1))
                continue;
            const Interval r = measure(std::min(near, far), std::max(near, far));
            for (std::size_t k = 0; k < count_; ++k) {
                sum[k] += r.est[k];
                magnitude[k] += r.mag[k];
            }
        }
    }

    std::vector<double> results()
    {
        std::vector<double> out(count_, 0.0);
        std::vector<bool> unsettled(count_, false);
        for (std::size_t k = 0; k < count_; ++k) {
            double err = 0, mag = 0;
            for (const Interval& r : intervals_) {
                out[k] += r.est[k];
                mag += r.mag[k];
                err += r.err[k];
            }
            unsettled[k] = std::isfinite(out[k]) && err > kUnsettled * mag;
        }
        if (std::find(unsettled.begin(), unsettled.end(), true) == unsettled.end())
            return out;
        // Unsettled with the points spent. Where the trouble sits at one
        // singular place, the integral diverges there when the integrand's
        // share of each shell around it does not shrink as the shells close
        // in (|x − p|^−α with α near 1 or more); it then goes to the
        // infinity of the integrand's sign, or to no value where the sign
        // differs on the two sides.
        const auto p = singularPlace();
        if (!p)
            return out;
        std::vector<double> sums[3], magnitudes[3];
        for (int level = 0; level < 3; ++level)
            shells(*p, 1e-4 * std::pow(1e-3, level), sums[level], magnitudes[level]);
        for (std::size_t k = 0; k < count_; ++k) {
            if (!unsettled[k])
                continue;
            const bool growing = magnitudes[1][k] >= kDivergentShare * magnitudes[0][k] &&
                                 magnitudes[2][k] >= kDivergentShare * magnitudes[1][k] && magnitudes[2][k] > 0;
            if (!growing)
                continue;
            const bool oneSign = std::fabs(sums[2][k]) >= 0.99 * magnitudes[2][k];
            out[k] = oneSign ? std::copysign(kInf, sums[2][k]) : kNaN;
        }
        return out;
    }

    double a_, b_, width_, lowest_ = 0, highest_ = 0;
    std::size_t count_;
    const std::function<void(double, double*)>& at_;
    std::vector<double> values_;
    std::vector<Interval> intervals_;
    std::priority_queue<std::pair<double, int>> queue_;
    std::vector<double> magTotal_, errTotal_;
    std::vector<int> troubled_;
    long long spent_ = 0;
};

} // namespace

long long integrationPoints(int halvings)
{
    const int n = std::clamp(halvings, 0, 40);
    return std::max<long long>(2 * kPointsPerInterval, 1LL << (n + 1));
}

std::optional<std::vector<double>> integrateRange(double a, double b, std::size_t count, long long evaluations,
                                                  const std::function<void(double, double*)>& at)
{
    if (!(std::isfinite(a) && std::isfinite(b) && a < b && std::isfinite(b - a)) || count == 0)
        return std::nullopt;
    Integrator integrator(a, b, count, at);
    return integrator.run(evaluations);
}

} // namespace orlix::curve
