// A canvas that records what is drawn on it, for tests of what is drawn.
// It keeps two records of the same calls:
// - calls: this canvas's own calls, one line of text each ("moveTo 1 2",
//   "stroke", "drawLayer #3 at -12 -12"), numbers printed with "%g";
// - ops(): one ordered log shared by the canvas and every layer it makes,
//   each stroke or fill with its path and the style in effect. The fills
//   of a layer and the draws of that layer into the canvas interleave there.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "orlix/canvas.h"

namespace orlix::test {

struct Op {
    int canvas = 0;       // id of the canvas drawn on (0 = the first one)
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

struct OpLog {
    std::vector<Op> ops;
    int nextId = 1;
};

class RecordingCanvas : public Canvas {
  public:
    explicit RecordingCanvas(SizeF size = {320, 480}) : RecordingCanvas(size, std::make_shared<OpLog>(), 0) {}
    RecordingCanvas(SizeF size, std::shared_ptr<OpLog> log, int id) : log_(std::move(log)), id_(id), size_(size) {}

    // This canvas's calls as text.
    std::vector<std::string> calls;
    // Layers made by createLayer, in order; still owned by their users.
    std::vector<const RecordingCanvas*> layers;

    int id() const { return id_; }
    // The shared log of the canvas and its layers.
    const std::vector<Op>& ops() const { return log_->ops; }
    void forget() { log_->ops.clear(); }
    // The calls starting with one of the words.
    std::vector<std::string> only(std::initializer_list<std::string_view> words) const
    {
        std::vector<std::string> out;
        for (const auto& c : calls) {
            const std::string_view head = std::string_view(c).substr(0, c.find(' '));
            for (auto w : words)
                if (head == w) {
                    out.push_back(c);
                    break;
                }
        }
        return out;
    }

    SizeF size() const override { return size_; }
    void clear(RectF r) override
    {
        log("clear", {r.x, r.y, r.width, r.height});
        add("clear", {r.x, r.y, r.width, r.height});
    }
    void save() override
    {
        log("save", {});
        stack_.push_back(style_);
        add("save", {});
    }
    void restore() override
    {
        log("restore", {});
        if (!stack_.empty()) {
            style_ = stack_.back();
            stack_.pop_back();
        }
        add("restore", {});
    }
    void translate(float dx, float dy) override
    {
        log("translate", {dx, dy});
        add("translate", {dx, dy});
    }
    void rotate(float radians) override
    {
        log("rotate", {radians});
        add("rotate", {radians});
    }
    void clipOut(RectF r) override
    {
        log("clipOut", {r.x, r.y, r.width, r.height});
        add("clipOut", {r.x, r.y, r.width, r.height});
    }
    void clip(RectF r) override
    {
        log("clip", {r.x, r.y, r.width, r.height});
        add("clip", {r.x, r.y, r.width, r.height});
    }
    void setLineWidth(float w) override
    {
        log("lineWidth", {w});
        style_.width = w;
    }
    void setStrokeColor(Color c) override
    {
        log("strokeColor", {c.r, c.g, c.b, c.a});
        style_.stroke = c;
    }
    void setFillColor(Color c) override
    {
        log("fillColor", {c.r, c.g, c.b, c.a});
        style_.fill = c;
    }
    void setLineDash(float phase, const float* lengths, int count) override
    {
        std::vector<float> v{phase};
        for (int i = 0; i < count && lengths; ++i)
            v.push_back(lengths[i]);
        if (count == 0)
            calls.push_back("dash none");
        else
            log("dash", v);
        style_.dash.assign(v.begin() + 1, v.end());
    }
    void setLineJoin(LineJoin j) override
    {
        calls.push_back(j == LineJoin::Bevel ? "join bevel" : j == LineJoin::Round ? "join round" : "join miter");
    }
    void setLineCap(LineCap c) override
    {
        calls.push_back(c == LineCap::Butt ? "cap butt" : c == LineCap::Round ? "cap round" : "cap square");
    }
    void moveTo(float x, float y) override
    {
        log("moveTo", {x, y});
        path_.insert(path_.end(), {x, y});
    }
    void lineTo(float x, float y) override
    {
        log("lineTo", {x, y});
        path_.insert(path_.end(), {x, y});
    }
    void arcTo(float x1, float y1, float x2, float y2, float r) override
    {
        log("arcTo", {x1, y1, x2, y2, r});
        path_.insert(path_.end(), {x1, y1, x2, y2});
    }
    void closePath() override { log("closePath", {}); }
    void strokePath() override
    {
        log("stroke", {});
        Op& op = add("strokePath", path_);
        op.color = style_.stroke;
        op.lineWidth = style_.width;
        op.dash = style_.dash;
        path_.clear();
    }
    void fillPath() override
    {
        log("fill", {});
        add("fillPath", path_).color = style_.fill;
        path_.clear();
    }
    void strokeRect(RectF r) override
    {
        log("strokeRect", {r.x, r.y, r.width, r.height});
        add("strokeRect", {r.x, r.y, r.width, r.height}).color = style_.stroke;
    }
    void fillRect(RectF r) override
    {
        log("fillRect", {r.x, r.y, r.width, r.height});
        add("fillRect", {r.x, r.y, r.width, r.height}).color = style_.fill;
    }
    void strokeEllipse(RectF r) override
    {
        log("strokeEllipse", {r.x, r.y, r.width, r.height});
        add("strokeEllipse", {r.x, r.y, r.width, r.height});
    }
    void fillEllipse(RectF r) override
    {
        log("fillEllipse", {r.x, r.y, r.width, r.height});
        add("fillEllipse", {r.x, r.y, r.width, r.height});
    }
    std::unique_ptr<Canvas> createLayer(SizeF s) override
    {
        const int id = log_->nextId++;
        add("createLayer", {s.width, s.height}).layer = id;
        auto layer = std::make_unique<RecordingCanvas>(s, log_, id);
        layers.push_back(layer.get());
        log("createLayer #" + std::to_string(id), {s.width, s.height});
        return layer;
    }
    void drawLayer(const Canvas& layer, PointF at) override
    {
        log("drawLayer #" + layerName(layer) + " at", {at.x, at.y});
        add("drawLayerAt", {at.x, at.y}).layer = idOf(layer);
    }
    void drawLayer(const Canvas& layer, RectF into) override
    {
        log("drawLayer #" + layerName(layer) + " in", {into.x, into.y, into.width, into.height});
        add("drawLayerIn", {into.x, into.y, into.width, into.height}).layer = idOf(layer);
    }
    void drawText(std::string_view utf8, RectF r, float fontSize, TextAlign align) override
    {
        log("text " + std::string(utf8) + " |", {r.x, r.y, r.width, r.height, fontSize, static_cast<float>(align)});
        Op& op = add("drawText", {r.x, r.y, r.width, r.height});
        op.text = std::string(utf8);
        op.fontSize = fontSize;
        op.align = align;
        op.color = style_.fill;
    }

    // "%g" of a float, as the calls print it.
    static std::string num(float v)
    {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
        return buf;
    }

  private:
    struct Style {
        float width = 1;
        Color stroke, fill;
        std::vector<float> dash;
    };
    static int idOf(const Canvas& c)
    {
        auto* r = dynamic_cast<const RecordingCanvas*>(&c);
        return r ? r->id_ : -2;
    }
    static std::string layerName(const Canvas& c)
    {
        auto* r = dynamic_cast<const RecordingCanvas*>(&c);
        return r ? std::to_string(r->id()) : std::string("?");
    }
    void log(const std::string& what, std::initializer_list<float> args) { log(what, std::vector<float>(args)); }
    void log(const std::string& what, const std::vector<float>& args)
    {
        std::string line = what;
        for (float a : args)
            line += " " + num(a);
        calls.push_back(std::move(line));
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

    std::shared_ptr<OpLog> log_;
    int id_;
    SizeF size_;
    Style style_;
    std::vector<Style> stack_;
    std::vector<float> path_;
};

} // namespace orlix::test
