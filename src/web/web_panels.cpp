// The panels of the page: the table of values, the preferences, the
// function settings, the parameters' sliders, the information panel's
// fields.
#include <optional>

#include "field_check.h"
#include "orlix/error.h"
#include "web_canvas.h"
#include "web_json.h"
#include "web_shell.h"

namespace orlix {

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

} // namespace orlix
