#include "web_shell.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "field_check.h"
#include "formula_entry.h"
#include "log.h"
#include "orlix/error.h"
#include "orlix/special_point.h"
#include "orlix/utf8.h"
#include "orlix/yx_function.h"
#include "picture.h"
#include "web_canvas.h"
#include "web_json.h"
#include "web_store.h"

namespace orlix {

namespace {

// clang-format off
EM_JS(void, orlix_request_frame, (), {
    if (Module.orlixRequestFrame) Module.orlixRequestFrame();
});
// A picture for the page to download: text (SVG) or a surface's pixels as
// PNG. Answers whether the page took it.
EM_JS(bool, orlix_save_text, (const char* name, const char* type, const char* text), {
    if (!Module.orlixSave) return false;
    Module.orlixSave(UTF8ToString(name), new Blob([UTF8ToString(text)], {type: UTF8ToString(type)}));
    return true;
});
EM_JS(bool, orlix_save_surface, (const char* name, int surface), {
    const e = Module.orlixSurfaces[surface];
    if (!Module.orlixSave || !e) return false;
    // Read now: the surface goes once this returns.
    const url = e.canvas.toDataURL('image/png');
    if (!url.startsWith('data:image/png')) return false;
    const bytes = atob(url.slice(url.indexOf(',') + 1));
    const data = new Uint8Array(bytes.length);
    for (let i = 0; i < bytes.length; ++i) data[i] = bytes.charCodeAt(i);
    Module.orlixSave(UTF8ToString(name), new Blob([data], {type: 'image/png'}));
    return true;
});
EM_JS(void, orlix_console_warn, (const char* line), { console.warn(UTF8ToString(line)); });
// clang-format on

// The information panel's size in points (orlix.css, #info), which the
// plot view keeps clear of the trace point.
constexpr SizeF kInfoPanelSize{168, 120};

TouchPhase phaseOf(int phase)
{
    switch (phase) {
    case 0: return kTouchBegan;
    case 1: return kTouchMoved;
    case 2: return kTouchEnded;
    default: return kTouchCancelled;
    }
}

} // namespace

WebShell::WebShell(std::string storageKey)
{
    setWarningSink([](std::string_view line) { orlix_console_warn(std::string(line).c_str()); });
    session_ = std::make_unique<StoreSession>(
        std::make_unique<WebStore>(std::move(storageKey), StoredState::schema(), StoreAccess::ReadWrite));
    view_.onNeedsDisplay = [this] { requestFrame(); };
    view_.layerFactory = [this](SizeF s) -> std::unique_ptr<Canvas> { return std::make_unique<WebCanvas>(s, ratio_); };
    // The canvas is the band between the bars: all of it is good.
    view_.goodRectForPlotter = [this] { return view_.frame(); };
    view_.setDevicePixelRatio(ratio_);
    view_.setFrame(RectF{0, 0, 320, 480});
    view_.setIView(&info_);
    view_.setInfoPanelSize(kInfoPanelSize);
    info_.linkTo(&view_);
    controller_ = std::make_unique<OrlixViewController>(*session_, view_);
    controller_->onAlert = [this](const std::string& title, const std::string& text) {
        alertTitle_ = title;
        alertText_ = text;
    };
    controller_->onChanged = [this] { requestFrame(); };
    // The bars come and go by the plane's gesture or a key: the page lays
    // itself out again.
    controller_->onInterfaceChanged = [this] { requestFrame(); };
    controller_->load();
    updateAppearance();
    view_.setGoodRect(view_.frame());
    keyboard_.setTarget(this);
    fieldFromController();
    keyboard_.onErrorBar = [this](ErrorBarChange) { requestFrame(); };
    const std::string notice = session_->launchNotice();
    if (!notice.empty()) {
        alertTitle_ = "Saved functions";
        alertText_ = notice;
    }
}

WebShell::~WebShell()
{
    info_.linkTo(nullptr);
    keyboard_.setTarget(nullptr);
    controller_.reset();
}

void WebShell::requestFrame()
{
    if (framePending_)
        return;
    framePending_ = true;
    orlix_request_frame();
}

// ---- the plot ----------------------------------------------------------------------------------

void WebShell::resize(double width, double height, double ratio)
{
    if (!(width > 0 && height > 0 && std::isfinite(width) && std::isfinite(height)))
        return;
    const double r = std::isfinite(ratio) && ratio > 0 ? ratio : 1.0;
    const RectF frame{0, 0, static_cast<float>(width), static_cast<float>(height)};
    const RectF now = view_.frame();
    // The page asks again whenever its layout might have moved; a new frame
    // drops a gesture under way and the trace point, so only a real change
    // makes one.
    if (r == ratio_ && frame.width == now.width && frame.height == now.height) {
        requestFrame();
        return;
    }
    ratio_ = r;
    view_.setDevicePixelRatio(ratio_);
    view_.setFrame(frame);
    view_.setGoodRect(view_.frame());
    requestFrame();
}

bool WebShell::drawFrame()
{
    framePending_ = false;
    const RectF f = view_.frame();
    WebCanvas canvas = WebCanvas::attach(0, SizeF{f.width, f.height}, ratio_);
    canvas.clear(RectF{0, 0, f.width, f.height});
    view_.drawRect(canvas);
    return !view_.functionLayerComplete();
}

void WebShell::completeLayer() { view_.completeFunctionLayer(); }

void WebShell::resampleAll()
{
    for (const auto& [id, f] : controller_->model().functionRegister())
        if (auto* e = dynamic_cast<explicitFunction*>(f.get()))
            e->setPreviousK(std::numeric_limits<double>::quiet_NaN());
    view_.redraw();
}

void WebShell::pointer(int id, double x, double y, int phase, double timeMs)
{
    const PointF at{static_cast<float>(x), static_cast<float>(y)};
    if (!std::isfinite(at.x) || !std::isfinite(at.y))
        return;
    const TouchPhase p = phaseOf(phase);
    if (p != kTouchBegan && !fingers_.count(id))
        return; // a pointer that went down elsewhere
    const double t = timeMs / 1000.0;
    const bool lifted = p == kTouchEnded || p == kTouchCancelled;
    fingers_[id] = at;
    std::vector<Touch> all;
    for (const auto& [fid, place] : fingers_) {
        if (fid != id) {
            all.push_back(Touch{fid, place, kTouchStationary, taps_.taps(fid), t});
            continue;
        }
        const int taps = p == kTouchBegan ? taps_.down(id, at, t) : lifted ? taps_.up(id, at, t) : taps_.taps(id);
        all.push_back(Touch{id, at, p, taps, t});
    }
    if (lifted)
        fingers_.erase(id);
    view_.handleTouches(all);
    if (lifted && view_.curTouchNumber() == 0)
        gestureEnded();
}

void WebShell::mouse(int phase, int button, bool shift, double x, double y, double timeMs)
{
    const PointF at{static_cast<float>(x), static_cast<float>(y)};
    if (!std::isfinite(at.x) || !std::isfinite(at.y))
        return;
    const double t = timeMs / 1000.0;
    const MouseFingers::Button b = button == 0   ? MouseFingers::Button::primary
                                   : button == 2 ? MouseFingers::Button::secondary
                                                 : MouseFingers::Button::other;
    constexpr int id = MouseFingers::kMouseID;
    switch (phaseOf(phase)) {
    case kTouchBegan:
        mouse_.press(b, shift, at, t, b == MouseFingers::Button::primary ? taps_.down(id, at, t) : 1);
        return;
    case kTouchMoved: mouse_.move(at, t); return;
    default: break;
    }
    if (b == MouseFingers::Button::primary)
        taps_.up(id, at, t);
    switch (mouse_.release(b, at, t)) {
    case MouseFingers::Outcome::gestureEnded: gestureEnded(); break;
    case MouseFingers::Outcome::menu:
        menuAsked_ = true;
        requestFrame();
        break;
    case MouseFingers::Outcome::none: break;
    }
}

void WebShell::wheel(double x, double y, double deltaY)
{
    if (!std::isfinite(deltaY) || deltaY == 0)
        return;
    // A notch (100 pixels) zooms by 1.2, as a desktop wheel's notch does.
    const PointF at{static_cast<float>(x), static_cast<float>(y)};
    if (view_.zoomAbout(at, std::pow(1.2, -deltaY / 100.0)))
        gestureEnded();
}

// ---- the input bar -----------------------------------------------------------------------------

void WebShell::setField(int field, const std::string& text, int selectionStart, int selectionLength)
{
    if (field < 0 || field >= fieldCount)
        return;
    TextEdit& edit = edits_[field];
    edit.text = utf8::decode(text);
    const std::size_t n = edit.text.size();
    edit.selectionStart = std::min<std::size_t>(n, static_cast<std::size_t>(std::max(0, selectionStart)));
    edit.selectionLength =
        std::min<std::size_t>(n - edit.selectionStart, static_cast<std::size_t>(std::max(0, selectionLength)));
}

void WebShell::focusField(int field)
{
    if (field < 0 || field >= fieldCount || field == active_)
        return;
    active_ = field;
    keyboard_.setVariables(variables());
    requestFrame();
}

void WebShell::replace(const TextChange& change)
{
    apply(edits_[active_], change);
    fieldChanged_ = true;
    requestFrame();
}

// The range fields take constant expressions: no variable keys.
std::string WebShell::variables() const
{
    return active_ >= rangeMinField ? std::string() : std::string(controller_->kind().keyVariables);
}

bool WebShell::commit()
{
    const OrlixViewController::StepGroup oneStep(*controller_);
    OrlixViewController& c = *controller_;
    std::array<std::string, fieldCount> typed;
    std::array<std::size_t, fieldCount> lead{};
    for (int i = 0; i < fieldCount; ++i) {
        const std::string t = utf8::encode(edits_[i].text);
        const std::size_t from = t.find_first_not_of(" \t"), to = t.find_last_not_of(" \t");
        typed[i] = from == std::string::npos ? std::string() : t.substr(from, to - from + 1);
        lead[i] = from == std::string::npos ? 0 : from;
    }
    // Kinds of one formula and without a range of their own ignore the
    // fields they do not show.
    const TypedFormula fields{typed[formulaField], typed[secondField], typed[rangeMinField], typed[rangeMaxField]};
    message_.clear();
    errorAt_.reset();
    keyboard_.hideErrorMessage();
    if (const std::optional<FormulaRefusal> refused = takeTypedFormula(c, fields)) {
        // The texts stay for the person to mend, the fault selected.
        message_ = refused->message;
        using F = FormulaRefusal::Field;
        errorField_ = refused->field == F::second ? secondField : refused->field == F::first ? formulaField : -1;
        if (errorField_ >= 0 && refused->at) {
            const std::string& text = typed[errorField_];
            const std::size_t base = text.rfind(refused->checked);
            const std::string whole = utf8::encode(edits_[errorField_].text);
            errorAt_ =
                utf8::decode(whole.substr(0, lead[errorField_] + (base == std::string::npos ? 0 : base))).size() +
                *refused->at;
        }
        keyboard_.showErrorMessage(message_);
        requestFrame();
        return false;
    }
    editingDone_ = true;
    const bool changed = c.commitFormula();
    fieldFromController();
    return changed;
}

void WebShell::keyboardSize(double width, double height)
{
    if (std::isfinite(width) && width > 0)
        keyboard_.setLayout(static_cast<float>(width),
                            width > height ? KeyboardOrientation::landscape : KeyboardOrientation::portrait);
}

void WebShell::keyboardTouch(int id, double x, double y, int phase, double timeMs)
{
    const PointF at{static_cast<float>(x), static_cast<float>(y)};
    switch (phaseOf(phase)) {
    case kTouchBegan: keyboard_.touchBegan(id, at, static_cast<std::int64_t>(timeMs)); break;
    case kTouchMoved: keyboard_.touchMoved(id, at); break;
    case kTouchEnded: keyboard_.touchEnded(id, at); break;
    default: keyboard_.touchCancelled(id); break;
    }
    // A slide of the function pads is instant here.
    if (keyboard_.sliding())
        keyboard_.slideFinished();
}

void WebShell::keyboardTick(double timeMs) { keyboard_.repeatTick(static_cast<std::int64_t>(timeMs)); }

bool WebShell::action(const std::string& name)
{
    OrlixViewController& c = *controller_;
    // The switches leave the field as it is, typed text and all.
    if (name == "roots")
        c.setPoints(MarkSearch::roots);
    else if (name == "extrema")
        c.setPoints(MarkSearch::extrema);
    else if (name == "inflections")
        c.setPoints(MarkSearch::inflections);
    else if (name == "intersections")
        c.intersectOrNot();
    else if (name == "trace")
        c.setMoveOrTrace();
    else if (name == "fit")
        c.zoomToFit();
    else if (name == "bars")
        c.showHideInterface();
    else if (name == "dismissAlert")
        alertTitle_.clear(), alertText_.clear();
    // These change the current function: the field shows its formula.
    else if (name == "undo")
        c.undo(), fieldFromController();
    else if (name == "redo")
        c.redo(), fieldFromController();
    else if (name == "delete")
        c.removeCurFunc(), fieldFromController();
    else if (name == "new")
        c.chooseKind(c.kind().kind), fieldFromController();
    else if (name == "derivative")
        return addDerivative();
    else
        return false;
    requestFrame();
    return true;
}

void WebShell::fieldFromController()
{
    const OrlixViewController& c = *controller_;
    const std::string* texts[fieldCount] = {&c.formulaText(), &c.secondFormulaText(), &c.rangeMinText(),
                                            &c.rangeMaxText()};
    for (int i = 0; i < fieldCount; ++i) {
        edits_[i].text = utf8::decode(*texts[i]);
        edits_[i].selectionStart = edits_[i].text.size();
        edits_[i].selectionLength = 0;
    }
    // A kind without the field that was being typed in goes back to the formula.
    const FunctionKindInfo& k = c.kind();
    if ((active_ == secondField && k.secondInputLabel.empty()) || (active_ >= rangeMinField && !k.can.ownRange))
        active_ = formulaField;
    fieldChanged_ = true;
    message_.clear();
    errorAt_.reset();
    keyboard_.hideErrorMessage();
    keyboard_.setVariables(variables());
    requestFrame();
}

bool WebShell::newFunction(int kind)
{
    for (const FunctionKindInfo& k : functionKinds())
        if (static_cast<int>(k.kind) == kind) {
            controller_->chooseKind(k.kind);
            fieldFromController();
            return true;
        }
    return false;
}

bool WebShell::addDerivative()
{
    if (!controller_->canAddDerivative())
        return false;
    controller_->addDerivative();
    fieldFromController();
    return true;
}

bool WebShell::select(const std::string& id)
{
    for (const auto& [fid, f] : controller_->model().functionRegister())
        if (fid == id) {
            controller_->makeCurrent(f);
            controller_->saveAll();
            fieldFromController();
            return true;
        }
    return false;
}

bool WebShell::sharePicture(const std::string& format, double scale)
{
    const bool svg = format == "svg";
    return controller_->sharePicture([&](plotView& view) -> std::optional<std::string> {
        if (std::optional<std::string> refused = pictureSizeRefusal(view))
            return refused;
        if (svg) {
            const std::optional<std::string> doc = svgPicture(view);
            if (!doc || !orlix_save_text("Orlix plot.svg", "image/svg+xml", doc->c_str()))
                return std::string("The picture could not be handed to the browser.");
            return std::nullopt;
        }
        if (std::optional<std::string> refused = pictureScaleRefusal(scale))
            return refused;
        WebCanvas canvas(view.viewSize(), scale);
        if (canvas.surface() < 0)
            return pictureTooLarge();
        {
            const SampledFor sampled(view, scale);
            view.drawScene(canvas);
        }
        if (!orlix_save_surface("Orlix plot.png", canvas.surface()))
            return pictureTooLarge();
        return std::nullopt;
    });
}

void WebShell::setSystemDark(bool dark)
{
    systemDark_ = dark;
    updateAppearance();
}

void WebShell::updateAppearance()
{
    const Appearance a = resolveAppearance(controller_->appearanceChoice(), systemDark_);
    if (a == appearance_)
        return;
    appearance_ = a;
    view_.setAppearance(a);
    requestFrame();
}

bool WebShell::save() { return controller_->saveAll(); }

} // namespace orlix
