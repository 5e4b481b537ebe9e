// What the store fuzzer does with one input, shared with the test that
// replays the inputs it found: the bytes are a store file, read as a
// launch reads it (the document, then the function list, the preferences
// and the plot view's settings). What loads must then be usable: it draws,
// it saves, and the saved file loads again to the same records, the same
// preferences and the same view.
//
// A mismatch is reported in the outcome (the fuzzer aborts on it); a
// crash, a sanitizer report or an exception is a fault by itself.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "orlix/function.h"
#include "orlix/null_canvas.h"
#include "orlix/plot_plane.h"
#include "store_document.h"
#include "stored_state.h"

namespace orlix::fuzzsteps {

// The plot view as the launch and the store see it.
class PlotAdapter : public PlotSettingsOwner, public PlotStore {
  public:
    PlotAdapter(plotView& view, StoreDocument& doc) : view_(view), doc_(doc) {}
    nlohmann::json settings() override { return view_.settings(); }
    void applySettings(const nlohmann::json& s) override { view_.applySettings(s); }
    bool shown() const override { return true; }
    std::optional<nlohmann::json> takePlotterSettings() override { return std::nullopt; }
    bool resetPositionOnLaunch() const override { return doc_.boolForKey(StoredState::resetPositionKey); }
    void clearResetPositionOnLaunch() override { doc_.set(StoredState::resetPositionKey, false); }

  private:
    plotView& view_;
    StoreDocument& doc_;
};

// The searches of the preferences, the view's current function current.
class PreferenceShell : public FunctionShell {
  public:
    PreferenceShell(const Preferences& prefs, const plotView& view) : prefs_(prefs), view_(view) {}
    SearchSettings searchSettings() const override
    {
        return {prefs_.sRoots, prefs_.sExtrs, prefs_.sInfls, prefs_.sInters};
    }
    Function* currentFunction() const override { return view_.curFunc().get(); }

  private:
    const Preferences& prefs_;
    const plotView& view_;
};

struct StoreOutcome {
    StoreDocument::Reading reading = StoreDocument::Reading::Empty;
    std::size_t functions = 0;
    bool sameRecords = true;
    bool sameSettings = true;
    bool sameView = true;
};

// One launch from the text of a store file: the stored state restored into
// a fresh register and view, drawn once, and saved into a new file's text.
struct Launch {
    StoreDocument doc{StoredState::schema()};
    Preferences prefs;
    CurveModel model;
    plotView view;
    PlotAdapter adapter{view, doc};
    PreferenceShell shell{prefs, view};
    StoreDocument::Reading reading;

    explicit Launch(std::string_view bytes)
    {
        view.layerFactory = [](SizeF size) { return std::make_unique<NullCanvas>(size); };
        view.setFrame(RectF{0, 0, 320, 480});
        view.setStore(&adapter);
        view.setModel(&model);
        model.setShell(&shell);
        view.initialize();
        reading = doc.read(bytes);
        StoredState::restore(doc, prefs, model, &adapter);
        // As the main screen does: without a stored current function the
        // first one becomes current, which draws the curves.
        if (!view.curFunc() && !model.functionRegister().empty())
            view.setCurFunc(model.functionRegister().front().second);
    }
    ~Launch() { view.setStore(nullptr); }
    Launch(const Launch&) = delete;
    Launch& operator=(const Launch&) = delete;

    // The text of the file a save writes.
    std::string save()
    {
        StoreDocument out;
        out.set(StoredState::plotterSettingsKey, view.settings());
        out.set(StoredState::functionsKey, model.registerToDict());
        out.set(StoredState::settingsKey, StoredState::settingsDict(prefs, model));
        return out.text();
    }
};

inline std::string written(const StoreDocument& doc, const char* key)
{
    const auto v = doc.objectForKey(key);
    return v ? StoreDocument::encode(*v).dump() : std::string();
}

inline StoreOutcome runStore(std::string_view bytes)
{
    StoreOutcome out;
    std::string saved;
    {
        Launch first(bytes);
        out.reading = first.reading;
        out.functions = first.model.functionRegister().size();
        saved = first.save();
    }
    StoreDocument firstSave;
    firstSave.read(saved);
    std::string savedAgain;
    {
        Launch second(saved);
        savedAgain = second.save();
    }
    StoreDocument secondSave;
    secondSave.read(savedAgain);
    out.sameRecords = written(firstSave, StoredState::functionsKey) == written(secondSave, StoredState::functionsKey);
    out.sameSettings = written(firstSave, StoredState::settingsKey) == written(secondSave, StoredState::settingsKey);
    out.sameView =
        written(firstSave, StoredState::plotterSettingsKey) == written(secondSave, StoredState::plotterSettingsKey);
    return out;
}

} // namespace orlix::fuzzsteps
