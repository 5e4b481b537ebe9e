// A plane of 320 × 480 points for the kinds' tests, the plane of a model of
// the test's own and the marks' plotter for the length of a test.
#pragma once

#include <gtest/gtest.h>

#include "orlix/curve_model.h"
#include "orlix/special_point.h"

namespace orlix::testing {

// The user origin sits at (ox, oy), with sx, sy points per unit and ratio
// device pixels per point.
class FakePlane : public PlotContext {
  public:
    double sx = 10, sy = 10, ox = 160, oy = 240, ratio = 1;
    myPoint plotScale() const override { return {sx, sy}; }
    double devicePixelRatio() const override { return ratio; }
    myPoint myPointToUser(myPoint d) const override { return {(d.x - ox) / sx, (oy - d.y) / sy}; }
    PointF myPointToDevice(myPoint u) const override
    {
        return {static_cast<float>(ox + sx * u.x), static_cast<float>(oy - sy * u.y)};
    }
    RectF goodRect() const override { return {0, 0, 320, 480}; }
};

// Window [-15, 15] on both axes, the default integration limit.
class PlaneTest : public ::testing::Test {
  protected:
    FakePlane plane;
    CurveModel model;
    void SetUp() override
    {
        model.setPlotContext(&plane);
        specialObject::setPlotter(&plane);
        model.setMinX(-15, 15);
        model.setMinY(-15, 15);
    }
    void TearDown() override { specialObject::setPlotter(nullptr); }
    // f attached to the model without being registered, as a curve being
    // looked at before it is committed.
    template <class F> std::shared_ptr<F> attached(std::shared_ptr<F> f)
    {
        f->setModel(&model);
        return f;
    }
};

} // namespace orlix::testing
