#include "web_shell.h"

#include <emscripten.h>
#include <emscripten/bind.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <vector>

#include "field_check.h"
#include "formula_entry.h"
#include "log.h"
#include "orlix/error.h"
#include "orlix/special_point.h"
#include "orlix/utf8.h"
#include "picture.h"
#include "web_canvas.h"
#include "web_store.h"

namespace orlix {

namespace {

using json = nlohmann::json;

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

// A colour as CSS reads it.
std::string css(Color c)
{
    const auto byte = [](float v) { return std::lround(std::clamp(std::isfinite(v) ? v : 0.0f, 0.0f, 1.0f) * 255); };
    return "rgb(" + std::to_string(byte(c.r)) + "," + std::to_string(byte(c.g)) + "," + std::to_string(byte(c.b)) + ")";
}

// A number JSON can carry: non-finite ones as null.
json number(double v) { return std::isfinite(v) ? json(v) : json(nullptr); }

// The information panel's size in points (orlix.css, #info), which the
// plot view keeps clear of the trace point.
constexpr SizeF kInfoPanelSize{168, 120};

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

std::string WebShell::openTable()
{
    Function* cur = controller_->curFunc();
    std::optional<OpeningTable> opening;
    for (const auto& [id, f] : controller_->model().functionRegister())
        if (f.get() == cur)
            opening = openingTable(f);
    if (!opening) {
        table_.reset();
        return "null";
    }
    table_ = std::move(opening->table);
    json headers = json::array();
    for (int c = 0; c < table_->columnCount(); ++c)
        headers.push_back(table_->header(c));
    return json{{"headers", headers}, {"start", opening->startText}, {"step", opening->stepText}}.dump();
}

std::string WebShell::setTableStart(const std::string& start, const std::string& step)
{
    if (!table_)
        return "There is no table.";
    try {
        // A table of its own until it is taken: a refusal leaves the shown one.
        table_ = std::make_unique<ValueTable>(table_->function(), numberFieldValue(start), numberFieldValue(step));
    } catch (const Error& e) {
        return e.reason();
    }
    return "";
}

std::string WebShell::tableRows(int from, int count)
{
    json rows = json::array();
    if (!table_)
        return json{{"rows", rows}, {"total", 0}}.dump();
    const int end = std::min(table_->totalRows(), std::max(0, from) + std::clamp(count, 0, 500));
    if (end > table_->rowCount())
        table_->produceMore(end - table_->rowCount());
    for (int r = std::max(0, from); r < std::min(end, table_->rowCount()); ++r) {
        json cells = json::array();
        for (int c = 0; c < table_->columnCount(); ++c)
            cells.push_back(table_->text(r, c));
        rows.push_back(cells);
    }
    return json{{"rows", rows}, {"total", table_->totalRows()}}.dump();
}

std::string WebShell::tableText() const { return table_ ? table_->tabSeparated() : std::string(); }

std::string WebShell::openPreferences()
{
    preferences_.loadFromVC(*controller_);
    return preferencesState();
}

std::string WebShell::preferencesState() const
{
    const auto group = [](PrefGroup g) { return g == PrefGroup::app ? "app" : "launch"; };
    json switches = json::array(), choices = json::array();
    for (const PrefSwitchInfo& i : PreferencesModel::switches())
        switches.push_back({{"id", static_cast<int>(i.which)},
                            {"group", group(i.group)},
                            {"label", std::string(i.label)},
                            {"on", preferences_.isOn(i.which)}});
    for (const PrefChoiceInfo& i : PreferencesModel::choices()) {
        json segments = json::array();
        for (std::string_view t : i.segments)
            segments.push_back(std::string(t));
        choices.push_back({{"id", static_cast<int>(i.which)},
                           {"group", group(i.group)},
                           {"label", std::string(i.label)},
                           {"segments", segments},
                           {"selected", preferences_.choice(i.which)}});
    }
    return json{{"switches", switches},
                {"choices", choices},
                {"deleteAll", preferences_.shallDeleteAllFuncs()},
                {"resetPosition", preferences_.shallResetPos()}}
        .dump();
}

std::string WebShell::setPreference(const std::string& kind, int id, int value)
{
    if (kind == "switch") {
        for (const PrefSwitchInfo& i : PreferencesModel::switches())
            if (static_cast<int>(i.which) == id)
                preferences_.setOn(i.which, value != 0);
    } else if (kind == "choice") {
        for (const PrefChoiceInfo& i : PreferencesModel::choices())
            if (static_cast<int>(i.which) == id)
                preferences_.setChoice(i.which, value);
    } else if (kind == "reset") {
        preferences_.resetSettings();
    } else if (kind == "deleteAll") {
        preferences_.deleteAllConfirmed();
    } else if (kind == "resetPosition") {
        preferences_.resetPosition();
    }
    return preferencesState();
}

void WebShell::preferencesDone()
{
    preferences_.donePressed(*controller_);
    preferences_ = PreferencesModel();
    updateAppearance();
    fieldFromController();
}

std::string WebShell::openSettings()
{
    settings_ = FunctionSettings();
    if (!settings_.loadFromFunc(controller_->curFunc()))
        return "null";
    return settingsState();
}

std::string WebShell::settingsState()
{
    // The pattern's picture, 120 × 24 points, on the page's surface 1.
    constexpr SizeF kDashPreview{120, 24};
    {
        WebCanvas preview = WebCanvas::attach(1, kDashPreview, ratio_);
        preview.clear(RectF{0, 0, kDashPreview.width, kDashPreview.height});
        FunctionSettings::drawDash(preview, settings_.dashN(), kDashPreview);
    }
    const Color c = settings_.color();
    return json{{"color", {c.r, c.g, c.b}},       {"css", css(c)},
                {"dash", settings_.dashN()},      {"maxDash", settings_.maxDashN()},
                {"density", settings_.density()}, {"gridSize", settings_.densityIsGridSize()}}
        .dump();
}

std::string WebShell::setSettingsColor(double r, double g, double b)
{
    settings_.setColor(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b));
    return settingsState();
}

std::string WebShell::nextSettingsColor()
{
    settings_.nextStandardColor();
    return settingsState();
}

std::string WebShell::nextSettingsDash()
{
    settings_.nextStandardDash();
    return settingsState();
}

std::string WebShell::settingsDone(const std::string& density)
{
    try {
        settings_.setDensity(numberFieldValue(density));
        controller_->applyFunctionSettings(settings_);
    } catch (const Error& e) {
        return e.reason();
    }
    return "";
}

namespace {

std::optional<Parameter> parameterOf(int p)
{
    if (p < 0 || p > 2)
        return std::nullopt;
    return allParameters[p];
}

} // namespace

void WebShell::sliderPress(int p)
{
    if (const auto q = parameterOf(p))
        controller_->parameterStrip().press(*q);
}

void WebShell::sliderDrag(double position)
{
    if (std::isfinite(position))
        controller_->parameterStrip().dragTo(std::clamp(position, 0.0, 1.0));
}

void WebShell::sliderRelease() { controller_->parameterStrip().release(); }

std::string WebShell::sliderField(int p, int field, const std::string& text)
{
    const auto q = parameterOf(p);
    if (!q || field < 0 || field > 3)
        return "There is no such field.";
    const ParameterField fields[] = {ParameterField::value, ParameterField::min, ParameterField::max,
                                     ParameterField::step};
    try {
        controller_->parameterStrip().setField(*q, fields[field], numberFieldValue(text));
    } catch (const Error& e) {
        return e.reason();
    }
    return "";
}

void WebShell::togglePlay(int p)
{
    if (const auto q = parameterOf(p))
        controller_->parameterStrip().togglePlay(*q);
    requestFrame();
}

void WebShell::advancePlay(double seconds)
{
    if (std::isfinite(seconds) && seconds > 0)
        controller_->parameterStrip().advance(std::min(seconds, 0.25));
}

bool WebShell::infoEdit(int field)
{
    if (field != InfoModel::kStart && field != InfoModel::kValue)
        return false;
    return info_.beginEditing(static_cast<InfoModel::FieldId>(field));
}

std::string WebShell::infoConfirm(int field, const std::string& text)
{
    if (field != InfoModel::kStart && field != InfoModel::kValue)
        return "There is no such field.";
    const std::optional<std::string> refused = info_.confirm(static_cast<InfoModel::FieldId>(field), text);
    requestFrame();
    return refused.value_or("");
}

void WebShell::infoCancel(int field)
{
    if (field == InfoModel::kStart || field == InfoModel::kValue)
        info_.cancelEditing(static_cast<InfoModel::FieldId>(field));
    requestFrame();
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

// ---- what the page shows -------------------------------------------------------------------------

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

// ---- the module's interface --------------------------------------------------------------------

EMSCRIPTEN_BINDINGS(orlix_web)
{
    using orlix::WebShell;
    emscripten::class_<WebShell>("Shell")
        .constructor<std::string>()
        .function("resize", &WebShell::resize)
        .function("drawFrame", &WebShell::drawFrame)
        .function("completeLayer", &WebShell::completeLayer)
        .function("pointer", &WebShell::pointer)
        .function("mouse", &WebShell::mouse)
        .function("wheel", &WebShell::wheel)
        .function("setField", &WebShell::setField)
        .function("focusField", &WebShell::focusField)
        .function("newFunction", &WebShell::newFunction)
        .function("addDerivative", &WebShell::addDerivative)
        .function("commit", &WebShell::commit)
        .function("keyboardSize", &WebShell::keyboardSize)
        .function("keyboardTouch", &WebShell::keyboardTouch)
        .function("keyboardTick", &WebShell::keyboardTick)
        .function("action", &WebShell::action)
        .function("select", &WebShell::select)
        .function("infoEdit", &WebShell::infoEdit)
        .function("infoConfirm", &WebShell::infoConfirm)
        .function("infoCancel", &WebShell::infoCancel)
        .function("sliderPress", &WebShell::sliderPress)
        .function("sliderDrag", &WebShell::sliderDrag)
        .function("sliderRelease", &WebShell::sliderRelease)
        .function("sliderField", &WebShell::sliderField)
        .function("togglePlay", &WebShell::togglePlay)
        .function("advancePlay", &WebShell::advancePlay)
        .function("openSettings", &WebShell::openSettings)
        .function("settingsState", &WebShell::settingsState)
        .function("setSettingsColor", &WebShell::setSettingsColor)
        .function("nextSettingsColor", &WebShell::nextSettingsColor)
        .function("nextSettingsDash", &WebShell::nextSettingsDash)
        .function("settingsDone", &WebShell::settingsDone)
        .function("openPreferences", &WebShell::openPreferences)
        .function("setPreference", &WebShell::setPreference)
        .function("preferencesDone", &WebShell::preferencesDone)
        .function("openTable", &WebShell::openTable)
        .function("setTableStart", &WebShell::setTableStart)
        .function("tableRows", &WebShell::tableRows)
        .function("tableText", &WebShell::tableText)
        .function("closeTable", &WebShell::closeTable)
        .function("setSystemDark", &WebShell::setSystemDark)
        .function("sharePicture", &WebShell::sharePicture)
        .function("save", &WebShell::save)
        .function("uiState", &WebShell::uiState)
        .function("testState", &WebShell::testState)
        .function("userToDevice", &WebShell::userToDevice);
}
