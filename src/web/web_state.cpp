// What the page shows, as JSON: the bars, the fields, the strip, the
// information panel and the keyboard each frame; and the core's state for
// the browser tests.
#include "orlix/special_point.h"
#include "orlix/utf8.h"
#include "ui_colors.h"
#include "web_json.h"
#include "web_shell.h"

namespace orlix {

namespace {

// What the information panel shows.
json infoState(const InfoModel& m, const plotView& view)
{
    json s = {{"hidden", m.hidden()},
              {"maxed", m.maxed()},
              {"valueLabel", m.valueLabel()},
              {"value", m.valueField().theString},
              {"text", m.text()},
              {"editable", m.valueFieldEditable()},
              {"startEditable", m.startFieldEditable()}};
    if (m.maxed()) {
        s["startLabel"] = m.startLabel();
        s["start"] = m.startField().theString;
    }
    if (const std::optional<PointF> c = view.infoPanelCenter())
        s["center"] = {c->x, c->y};
    return s;
}

} // namespace

std::string WebShell::uiState()
{
    const OrlixViewController& c = *controller_;
    json s;
    const FunctionKindInfo& k = c.kind();
    s["label"] = c.kindLabel();
    s["placeholder"] = c.placeholder();
    s["second"] = {{"label", std::string(k.secondInputLabel)}, {"placeholder", std::string(k.secondPlaceholder)}};
    s["range"] = k.can.ownRange ? json{{"min", std::string(k.rangeMinLabel)}, {"max", std::string(k.rangeMaxLabel)}}
                                : json(nullptr);
    s["active"] = active_;
    if (fieldChanged_) {
        json texts = json::array();
        for (const TextEdit& e : edits_)
            texts.push_back(utf8::encode(e.text));
        s["fields"] = texts;
        s["selection"] = {edits_[active_].selectionStart, edits_[active_].selectionLength};
        fieldChanged_ = false;
    }
    json kinds = json::array();
    for (const FunctionKindInfo& kind : functionKinds())
        kinds.push_back({{"kind", static_cast<int>(kind.kind)}, {"text", std::string(kind.menuText)}});
    s["kinds"] = kinds;
    s["message"] = message_;
    s["systemKeyboard"] = systemKeyboard_;
    s["dark"] = appearance_ == Appearance::dark;
    if (colorsSent_ != appearance_) {
        json colors;
        for (const UiColor& color : uiColors()) {
            colors[std::string(color.name)] = cssColor(color.in(appearance_));
            // The browser's own bars take the colour of ours, opaque.
            if (color.name == "bar") {
                UiRgba bar = color.in(appearance_);
                bar.a = 255;
                s["themeColor"] = cssColor(bar);
            }
        }
        s["colors"] = colors;
        colorsSent_ = appearance_;
    }
    // Both bars, the bottom one only, or none.
    const BarsState bars = c.interfaceState();
    s["bars"] = bars == barsShown ? "shown" : (bars == topBarHidden ? "bottom" : "none");
    s["background"] = css(view_.theme().background);
    if (editingDone_) {
        s["editingDone"] = true;
        editingDone_ = false;
    }
    if (!message_.empty())
        s["errorField"] = errorField_;
    if (errorAt_)
        s["errorAt"] = {errorField_, *errorAt_};
    if (menuAsked_) {
        s["menu"] = true;
        menuAsked_ = false;
    }
    if (!alertText_.empty())
        s["alert"] = {{"title", alertTitle_}, {"text", alertText_}};
    const Preferences& p = c.preferences();
    // The preference "Ask before deleting a function".
    s["askDelete"] = p.showPrompt;
    s["toggles"] = {{"roots", p.sRoots},
                    {"extrema", p.sExtrs},
                    {"inflections", p.sInfls},
                    {"intersections", p.sInters},
                    {"trace", c.tracing()}};
    s["can"] = {{"undo", c.canUndo()},
                {"redo", c.canRedo()},
                {"delete", c.curFunc() != nullptr},
                {"derivative", c.canAddDerivative()},
                {"settings", c.curFunc() != nullptr},
                {"table", c.curFunc() && c.curFunc()->kindInfo() && c.curFunc()->kindInfo()->can.valueTable},
                {"fit", c.curFunc() != nullptr}};
    json functions = json::array();
    for (const auto& [id, f] : c.model().functionRegister()) {
        functions.push_back({{"id", id},
                             {"label", std::string(f->kindInfo() ? f->kindInfo()->inputLabel : "")},
                             {"formula", f->stringRepresentation()},
                             // As the curve is drawn: legible on the background.
                             {"color", css(view_.theme().legible(f->color()))},
                             {"current", f.get() == c.curFunc()}});
    }
    s["functions"] = functions;
    s["info"] = infoState(info_, view_);
    // The sliders of the parameters in use.
    const ParameterStrip& strip = c.parameterStrip();
    json sliders = json::array();
    for (Parameter p : strip.rows())
        sliders.push_back({{"p", static_cast<int>(p)},
                           {"name", parameterName(p)},
                           {"position", number(strip.position(p))},
                           {"value", strip.fieldText(p, ParameterField::value)},
                           {"min", strip.fieldText(p, ParameterField::min)},
                           {"max", strip.fieldText(p, ParameterField::max)},
                           {"step", strip.fieldText(p, ParameterField::step)},
                           {"playing", strip.playing(p)}});
    s["sliders"] = sliders;
    s["playing"] = strip.anyPlaying();
    // The keyboard: the pads in sight and their keys.
    json pads = json::array();
    for (PadSlot slot : {PadSlot::topBar, PadSlot::leftPad1, PadSlot::leftPad2, PadSlot::numbers, PadSlot::variables,
                         PadSlot::operators, PadSlot::controls}) {
        // The number pad covers the two function pads.
        const bool functionPad = slot == PadSlot::leftPad1 || slot == PadSlot::leftPad2;
        if ((slot == PadSlot::numbers && keyboard_.funcsNotNums()) || (functionPad && !keyboard_.funcsNotNums()))
            continue;
        if (slot != PadSlot::topBar && !keyboard_.customKeys())
            continue;
        const myKBPad& pad = keyboard_.pad(slot);
        json keys = json::array();
        int index = 0;
        for (const KeyRecord& k : pad.keyMap()) {
            const bool lit = keyboard_.highlighted() && keyboard_.highlighted()->slot == slot &&
                             keyboard_.highlighted()->index == index;
            keys.push_back({{"x", k.rect.x},
                            {"y", k.rect.y},
                            {"w", k.rect.width},
                            {"h", k.rect.height},
                            {"text", k.text},
                            {"lit", lit}});
            ++index;
        }
        pads.push_back({{"slot", static_cast<int>(slot)}, {"keys", keys}});
    }
    const SizeF size = keyboard_.size();
    s["keyboard"] = {{"width", size.width},
                     {"height", size.height},
                     {"pads", pads},
                     {"error", keyboard_.errorBarShown() ? json(keyboard_.errorText()) : json(nullptr)},
                     {"repeatDue", keyboard_.repeatDueMs() ? json(*keyboard_.repeatDueMs()) : json(nullptr)}};
    return s.dump();
}

std::string WebShell::testState() const
{
    const OrlixViewController& c = *controller_;
    json s;
    const RectF f = view_.frame();
    const myPoint centre = view_.myPointToUser(myPoint{f.x + f.width / 2.0, f.y + f.height / 2.0});
    const myPoint scale = view_.viewState().scale();
    s["view"] = {{"center", {number(centre.x), number(centre.y)}},
                 {"scale", {number(scale.x), number(scale.y)}},
                 {"size", {f.width, f.height}},
                 {"ratio", ratio_}};
    json marks = json::array();
    if (const Function* cur = c.curFunc())
        for (const auto& m : cur->info())
            if (m)
                marks.push_back(
                    {{"type", m->type()}, {"x", number(m->info().point.x)}, {"y", number(m->info().point.y)}});
    s["marks"] = marks;
    json functions = json::array();
    for (const auto& [id, fn] : c.model().functionRegister())
        functions.push_back({{"id", id},
                             {"formula", fn->stringRepresentation()},
                             {"type", fn->typeName()},
                             {"color", {fn->color().r, fn->color().g, fn->color().b}}});
    s["functions"] = functions;
    s["current"] = c.curFunc() ? json(c.curFunc()->stringRepresentation()) : json(nullptr);
    json parameters = json::object();
    for (Parameter p : allParameters)
        parameters[parameterName(p)] = number(c.model().parameter(p));
    s["parameters"] = parameters;
    s["tracing"] = c.tracing();
    s["appearance"] = appearance_ == Appearance::dark ? "dark" : "light";
    s["canUndo"] = c.canUndo();
    s["canRedo"] = c.canRedo();
    s["info"] = infoState(info_, view_);
    s["fingers"] = view_.curTouchNumber();
    const StoreFile& store = session_->store();
    s["store"] = {{"location", store.location()},
                  {"pending", store.dirty()},
                  {"error", store.saveError()},
                  {"text", store.text()}};
    return s.dump();
}

std::string WebShell::userToDevice(double x, double y) const
{
    const PointF p = view_.myPointToDevice(myPoint{x, y});
    return json{p.x, p.y}.dump();
}

} // namespace orlix
