// A canvas that records what is drawn on it and on the layers it makes, in
// one ordered log shared by the canvas and all its layers: the fills of a
// grid layer and the draws of that layer into the canvas interleave, which
// is how the grid's darkening passes are told apart.
#pragma once

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "orlix/canvas.h"

namespace plottest {

using orlix::Color;
using orlix::PointF;
using orlix::RectF;
using orlix::SizeF;
using orlix::TextAlign;

struct Op {
    int canvas = 0;       // id of the canvas drawn on (0 = the main one)
    std::string kind;     // "fillRect", "clear", "strokePath", "drawLayerAt", ...
    std::vector<float> v; // coordinates and sizes, in call order
    int layer = -1;       // drawLayer*: id of the layer drawn; createLayer: id made
    std::string text;     // drawText
    float fontSize = 0;
    TextAlign align = TextAlign::Left;
    Color color;             // fill or stroke colour in effect
    float lineWidth = 0;     // strokes
    std::vector<float> dash; // strokes
};

struct Log {
    std::vector<Op> ops;
    int nextId = 1;
};

class Recorder : public orlix::Canvas {
  public:
    explicit Recorder(SizeF size) : Recorder(size, std::make_shared<Log>(), 0) {}
    Recorder(SizeF size, std::shared_ptr<Log> log, int id) : log_(std::move(log)), id_(id), size_(size) {}

    int id() const { return id_; }
    const std::vector<Op>& ops() const { return log_->ops; }
    void forget() { log_->ops.clear(); }

    SizeF size() const override { return size_; }
    void clear(RectF r) override { add("clear", {r.x, r.y, r.width, r.height}); }
    void save() override
    {
        stack_.push_back(st_);
        add("save", {});
    }
    void restore() override
    {
        if (!stack_.empty()) {
            st_ = stack_.back();
            stack_.pop_back();
        }
        add("restore", {});
    }
    void translate(float dx, float dy) override { add("translate", {dx, dy}); }
    void rotate(float a) override { add("rotate", {a}); }
    void clip(RectF r) override { add("clip", {r.x, r.y, r.width, r.height}); }
    void setLineWidth(float w) override { st_.width = w; }
    void setStrokeColor(Color c) override { st_.stroke = c; }
    void setFillColor(Color c) override { st_.fill = c; }
    void setLineDash(float, const float* l, int n) override { st_.dash.assign(l, l + (n > 0 ? n : 0)); }
    void setLineJoin(orlix::LineJoin) override {}
    void setLineCap(orlix::LineCap) override {}
    void moveTo(float x, float y) override { path_.insert(path_.end(), {x, y}); }
    void lineTo(float x, float y) override { path_.insert(path_.end(), {x, y}); }
    void arcTo(float x1, float y1, float x2, float y2, float) override { path_.insert(path_.end(), {x1, y1, x2, y2}); }
    void closePath() override {}
    void strokePath() override
    {
        Op& op = add("strokePath", path_);
        op.color = st_.stroke;
        op.lineWidth = st_.width;
        op.dash = st_.dash;
        path_.clear();
    }
    void fillPath() override
    {
        add("fillPath", path_).color = st_.fill;
        path_.clear();
    }
    void strokeRect(RectF r) override { add("strokeRect", {r.x, r.y, r.width, r.height}).color = st_.stroke; }
    void fillRect(RectF r) override { add("fillRect", {r.x, r.y, r.width, r.height}).color = st_.fill; }
    void strokeEllipse(RectF r) override { add("strokeEllipse", {r.x, r.y, r.width, r.height}); }
    void fillEllipse(RectF r) override { add("fillEllipse", {r.x, r.y, r.width, r.height}); }
    std::unique_ptr<orlix::Canvas> createLayer(SizeF s) override
    {
        const int id = log_->nextId++;
        add("createLayer", {s.width, s.height}).layer = id;
        return std::make_unique<Recorder>(s, log_, id);
    }
    void drawLayer(const orlix::Canvas& l, PointF at) override { add("drawLayerAt", {at.x, at.y}).layer = idOf(l); }
    void drawLayer(const orlix::Canvas& l, RectF r) override
    {
        add("drawLayerIn", {r.x, r.y, r.width, r.height}).layer = idOf(l);
    }
    void drawText(std::string_view s, RectF r, float fontSize, TextAlign a) override
    {
        Op& op = add("drawText", {r.x, r.y, r.width, r.height});
        op.text = std::string(s);
        op.fontSize = fontSize;
        op.align = a;
        op.color = st_.fill;
    }

  private:
    struct Style {
        float width = 1;
        Color stroke, fill;
        std::vector<float> dash;
    };
    static int idOf(const orlix::Canvas& c)
    {
        auto* r = dynamic_cast<const Recorder*>(&c);
        return r ? r->id_ : -2;
    }
    Op& add(const char* kind, std::vector<float> v)
    {
        Op op;
        op.canvas = id_;
        op.kind = kind;
        op.v = std::move(v);
        log_->ops.push_back(std::move(op));
        return log_->ops.back();
    }

    std::shared_ptr<Log> log_;
    int id_;
    SizeF size_;
    Style st_;
    std::vector<Style> stack_;
    std::vector<float> path_;
};

} // namespace plottest
