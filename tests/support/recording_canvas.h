// A canvas that writes each call as a line of text, for tests of what is
// drawn. Numbers are printed with "%g".
#pragma once

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "orlix/canvas.h"

namespace orlix::test {

class RecordingCanvas : public Canvas {
  public:
    explicit RecordingCanvas(SizeF size = {320, 480}) : size_(size), id_(nextId()) {}

    // Every call so far, e.g. "moveTo 1 2", "stroke", "drawLayer #3 at -12 -12".
    std::vector<std::string> calls;
    // Layers made by createLayer, in order; still owned by their users.
    std::vector<const RecordingCanvas*> layers;

    int id() const { return id_; }
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
    void clear(RectF r) override { log("clear", {r.x, r.y, r.width, r.height}); }
    void save() override { log("save", {}); }
    void restore() override { log("restore", {}); }
    void translate(float dx, float dy) override { log("translate", {dx, dy}); }
    void rotate(float radians) override { log("rotate", {radians}); }
    void clip(RectF r) override { log("clip", {r.x, r.y, r.width, r.height}); }
    void setLineWidth(float w) override { log("lineWidth", {w}); }
    void setStrokeColor(Color c) override { log("strokeColor", {c.r, c.g, c.b, c.a}); }
    void setFillColor(Color c) override { log("fillColor", {c.r, c.g, c.b, c.a}); }
    void setLineDash(float phase, const float* lengths, int count) override
    {
        std::vector<float> v{phase};
        for (int i = 0; i < count && lengths; ++i)
            v.push_back(lengths[i]);
        if (count == 0)
            calls.push_back("dash none");
        else
            log("dash", v);
    }
    void setLineJoin(LineJoin j) override
    {
        calls.push_back(j == LineJoin::Bevel ? "join bevel" : j == LineJoin::Round ? "join round" : "join miter");
    }
    void setLineCap(LineCap c) override
    {
        calls.push_back(c == LineCap::Butt ? "cap butt" : c == LineCap::Round ? "cap round" : "cap square");
    }
    void moveTo(float x, float y) override { log("moveTo", {x, y}); }
    void lineTo(float x, float y) override { log("lineTo", {x, y}); }
    void arcTo(float x1, float y1, float x2, float y2, float r) override { log("arcTo", {x1, y1, x2, y2, r}); }
    void closePath() override { log("closePath", {}); }
    void strokePath() override { log("stroke", {}); }
    void fillPath() override { log("fill", {}); }
    void strokeRect(RectF r) override { log("strokeRect", {r.x, r.y, r.width, r.height}); }
    void fillRect(RectF r) override { log("fillRect", {r.x, r.y, r.width, r.height}); }
    void strokeEllipse(RectF r) override { log("strokeEllipse", {r.x, r.y, r.width, r.height}); }
    void fillEllipse(RectF r) override { log("fillEllipse", {r.x, r.y, r.width, r.height}); }
    std::unique_ptr<Canvas> createLayer(SizeF s) override
    {
        auto layer = std::make_unique<RecordingCanvas>(s);
        layers.push_back(layer.get());
        log("createLayer #" + std::to_string(layer->id()), {s.width, s.height});
        return layer;
    }
    void drawLayer(const Canvas& layer, PointF at) override
    {
        log("drawLayer #" + layerId(layer) + " at", {at.x, at.y});
    }
    void drawLayer(const Canvas& layer, RectF into) override
    {
        log("drawLayer #" + layerId(layer) + " in", {into.x, into.y, into.width, into.height});
    }
    void drawText(std::string_view utf8, RectF r, float fontSize, TextAlign align) override
    {
        log("text " + std::string(utf8) + " |", {r.x, r.y, r.width, r.height, fontSize, static_cast<float>(align)});
    }

    // "%g" of a float, as the calls print it.
    static std::string num(float v)
    {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
        return buf;
    }

  private:
    static int nextId()
    {
        static int counter = 0;
        return ++counter;
    }
    static std::string layerId(const Canvas& c)
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

    SizeF size_;
    int id_;
};

} // namespace orlix::test
