#include "controller.h"
#include "controller_internal.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "field_check.h"
#include "log.h"
#include "orlix/color_gen.h"
#include "orlix/error.h"
#include "orlix/format.h"
#include "orlix/math_engine.h"

namespace orlix {

namespace {

constexpr const char* kIDPrefix = "f";

} // namespace

// ---- adapters of the plot view for the session ----------------------------------

class OrlixViewController::PlotOwner : public PlotSettingsOwner {
  public:
    explicit PlotOwner(plotView& v) : view_(v) {}
    nlohmann::json settings() override { return view_.settings(); }
    void applySettings(const nlohmann::json& s) override { view_.applySettings(s); }
    bool shown() const override { return view_.shown(); }

  private:
    plotView& view_;
};

class OrlixViewController::ViewStore : public PlotStore {
  public:
    explicit ViewStore(StoreSession& s) : session_(s) {}
    // The session hands the stored position to the view itself.
    std::optional<nlohmann::json> takePlotterSettings() override { return std::nullopt; }
    bool resetPositionOnLaunch() const override { return session_.store().boolForKey(StoreSession::resetPositionKey); }
    void clearResetPositionOnLaunch() override { session_.store().set(StoreSession::resetPositionKey, false); }

  private:
    StoreSession& session_;
};

// ---- set-up ------------------------------------------------------------------------

OrlixViewController::OrlixViewController(StoreSession& session, plotView& plotter)
    : session_(session), plotter_(plotter), owner_(std::make_unique<PlotOwner>(plotter)),
      viewStore_(std::make_unique<ViewStore>(session))
{
    plotter_.setModel(&model_);
    model_.setShell(this);
}

OrlixViewController::~OrlixViewController()
{
    plotter_.setModel(nullptr);
    plotter_.setController(nullptr);
    plotter_.setStore(nullptr);
}

bool OrlixViewController::sharePicture(const PictureWriter& write)
{
    const std::optional<std::string> failure = write(plotter_);
    if (failure && onAlert)
        onAlert("Error!", *failure);
    return !failure;
}

void OrlixViewController::load()
{
    ChangeBatch batch(*this);
    plotter_.setController(this);
    plotter_.setStore(viewStore_.get());
    plotter_.initialize();
    try {
        session_.load(model_, owner_.get());
        // The launch notice says it once already.
        saveFailureTold_ = !session_.unwritableReason().empty();
    } catch (const std::exception& e) {
        // "launchFailed" stays set: the next launch starts from empty state.
        warn(std::string("Orlix: the stored state could not be restored: ") + e.what());
        model_.deleteAll();
        plotter_.setCurFunc(nullptr);
    }
    Preferences& p = session_.preferences();
    if (p.sInters)
        p.sRoots = p.sExtrs = p.sInfls = false;
    plotter_.setIsLeftAligned(session_.isLeftAligned());

    // New identifiers come after every stored one, restored or left out.
    std::vector<std::string> ids = session_.functionsRead().refusedIDs;
    for (const auto& [id, f] : model_.functionRegister())
        ids.push_back(id);
    for (const std::string& id : ids) {
        // A number too large for the counter (a hand-edited store) reads as
        // the largest one: newID then numbers from 1 again.
        if (id.size() < 2 || id[0] != kIDPrefix[0])
            continue;
        char* end = nullptr;
        const long long n = std::strtoll(id.c_str() + 1, &end, 10);
        if (end != id.c_str() + 1)
            lastID_ = std::max(lastID_, n);
    }
    if (!plotter_.curFunc() && !model_.functionRegister().empty())
        makeCurrent(model_.functionRegister().front().second);
    if (!plotter_.curFunc())
        kind_ = &defaultKind();
    changed();
}

// ---- helpers ---------------------------------------------------------------------

std::vector<Color> OrlixViewController::registeredColors() const
{
    std::vector<Color> colors;
    for (const auto& [id, f] : model_.functionRegister())
        if (f)
            colors.push_back(f->color());
    return colors;
}

std::string OrlixViewController::newID()
{
    // Zero-padded, so that the store's sorted keys come back in creation
    // order; never one already registered, nor one of a record left out at
    // the launch, which the store keeps under its identifier.
    const nlohmann::json& refused = session_.functionsRead().refused;
    std::string id;
    do {
        if (lastID_ == LLONG_MAX)
            lastID_ = 0;
        char buf[32];
        std::snprintf(buf, sizeof buf, "%s%06lld", kIDPrefix, ++lastID_);
        id = buf;
    } while (model_.functionWithID(id) || refused.contains(id));
    return id;
}

std::string OrlixViewController::idOf(const Function* f) const
{
    for (const auto& [id, g] : model_.functionRegister())
        if (g.get() == f)
            return id;
    return {};
}

void OrlixViewController::changed()
{
    if (batchDepth_ > 0) {
        changePending_ = true;
        return;
    }
    if (onChanged)
        onChanged();
}

// ---- the input bar -----------------------------------------------------------------

void OrlixViewController::setFormulaText(std::string text)
{
    if (checked_ && checked_->text != text)
        checked_.reset();
    function1_ = std::move(text);
}

void OrlixViewController::setCheckedFormula(CheckedFormula formula)
{
    function1_ = formula.text;
    checked_ = std::move(formula);
}

bool OrlixViewController::commitFormula()
{
    ChangeBatch batch(*this);
    bool registered = false;
    bool rangeApplied = false;
    RegisterSnapshot before = snapshot();
    FunctionChange change = FunctionChange::add;
    // A checked formula is used once, and only for the text it was made of.
    std::optional<CheckedFormula> checked = std::move(checked_);
    checked_.reset();
    if (checked && checked->text != function1_)
        checked.reset();
    guarded([&] {
        const Function::Ptr cur = plotter_.curFunc();
        const std::string curText = cur && cur->functionInfo().count("f") ? cur->functionInfo().at("f") : "";
        const bool twoFormulas = !kind_->secondInputLabel.empty();
        const std::string curSecond = cur && cur->functionInfo().count("g") ? cur->functionInfo().at("g") : "";
        const bool ownRange = kind_->can.ownRange;
        const bool sameRange = !cur || !ownRange || (cur->varMin() == rangeMin_ && cur->varMax() == rangeMax_);
        if (cur && function1_ == curText && (!twoFormulas || function2_ == curSecond)) {
            if (!sameRange) {
                applyRange(*cur);
                change = FunctionChange::range;
                rangeApplied = true;
            }
            return;
        }
        if (function1_.empty() || (twoFormulas && function2_.empty())) {
            function1_ = curText;
            function2_ = curSecond;
            changed();
            return;
        }
        Function::Ptr f;
        if (twoFormulas)
            f = kind_->fromText(function1_ + ";" + function2_);
        else
            f = checked && kind_->fromChecked ? kind_->fromChecked(std::move(*checked)) : kind_->fromText(function1_);
        if (!f)
            throw Error("Wrong Syntax!");
        // Sampled over its own range before it is registered: at the plane's scale.
        f->setModel(&model_);
        if (ownRange) {
            // The typed range; the kind's default when the fields hold none.
            if (std::isfinite(rangeMin_) && std::isfinite(rangeMax_) && rangeMin_ < rangeMax_) {
                f->setMinVar(rangeMin_, rangeMax_);
                f->functionInfo()["minVarStr"] = rangeMinText_;
                f->functionInfo()["maxVarStr"] = rangeMaxText_;
            }
        }
        std::string id;
        if (cur && (id = idOf(cur.get()), !id.empty())) {
            // The replacement takes the place and the looks of the old one.
            // The register swaps them only once the new function is accepted.
            const Color c = cur->color();
            f->setColorWithR(c.r, c.g, c.b, c.a);
            f->setDashPattern(cur->dashPattern());
            if (cur->chosenPointCount() > 0)
                f->setNumOfPoints(cur->chosenPointCount());
            change = FunctionChange::replace;
        } else {
            f->setColor(colorGen::sharedColorGen().genColor(registeredColors()));
            id = newID();
        }
        model_.setFunction(f, id);
        registered = true;
        makeCurrent(f);
    });
    // A new range of the same formulas changes no entry of the register
    // but is saved and undone all the same.
    if (registered || rangeApplied) {
        recordStep(change, std::move(before));
        saveAll();
    }
    changed();
    return registered;
}

void OrlixViewController::setRangeTexts(std::string minText, std::string maxText)
{
    const double lo = numberFieldValue(minText);
    const double hi = numberFieldValue(maxText);
    checkRangeBound(lo, RangeBound::min, hi);
    checkRangeBound(hi, RangeBound::max, lo);
    rangeMinText_ = std::move(minText);
    rangeMaxText_ = std::move(maxText);
    rangeMin_ = lo;
    rangeMax_ = hi;
    Function* cur = curFunc();
    if (!cur || !kind_->can.ownRange || cur->kindInfo() != kind_)
        return;
    const auto& fi = cur->functionInfo();
    const bool sameFormulas = fi.count("f") && fi.at("f") == function1_ &&
                              (kind_->secondInputLabel.empty() || (fi.count("g") && fi.at("g") == function2_));
    if (sameFormulas && (cur->varMin() != lo || cur->varMax() != hi)) {
        ChangeBatch batch(*this);
        RegisterSnapshot before = snapshot();
        applyRange(*cur);
        recordStep(FunctionChange::range, std::move(before));
        saveAll();
        changed();
    }
}

void OrlixViewController::applyRange(Function& f)
{
    f.setMinVar(rangeMin_, rangeMax_);
    f.functionInfo()["minVarStr"] = rangeMinText_;
    f.functionInfo()["maxVarStr"] = rangeMaxText_;
    plotter_.redraw();
}

void OrlixViewController::takeDefaultRange()
{
    if (!kind_->can.ownRange)
        return;
    const RangeChoice& range = defaultRange(*kind_, model_.rangeDefaults());
    rangeMinText_ = std::string(range.lowText);
    rangeMaxText_ = std::string(range.highText);
    rangeMin_ = range.low;
    rangeMax_ = range.high;
}

void OrlixViewController::chooseKind(FunctionKind k)
{
    const FunctionKindInfo* chosen = findKind(k);
    if (!chosen)
        return;
    ChangeBatch batch(*this);
    if (plotter_.curFunc())
        plotter_.setCurFunc(nullptr);
    kind_ = chosen;
    function1_.clear();
    function2_.clear();
    takeDefaultRange();
    checked_.reset();
    changed();
}

bool OrlixViewController::canAddDerivative() const
{
    const Function* f = curFunc();
    const FunctionKindInfo* k = f ? f->kindInfo() : nullptr;
    return f && !f->isImplicit() && (!k || k->can.derivative);
}

void OrlixViewController::addDerivative()
{
    if (!canAddDerivative())
        return;
    ChangeBatch batch(*this);
    bool registered = false;
    RegisterSnapshot before = snapshot();
    guarded([&] {
        const Function::Ptr d = plotter_.curFunc()->differential();
        if (!d)
            throw Error("Error occured!");
        // The derivative is one object: added twice it is only made current.
        if (idOf(d.get()).empty()) {
            colorGen& gen = colorGen::sharedColorGen();
            d->setColor(gen.genColor(registeredColors()));
            if (model_.derAreDashed() && !d->isImplicit())
                d->setDashPattern(gen.dashes(1));
            model_.setFunction(d, newID());
            registered = true;
        }
        makeCurrent(d);
    });
    if (registered) {
        recordStep(FunctionChange::derivative, std::move(before));
        saveAll();
    }
    changed();
}

// ---- the current function ----------------------------------------------------------

void OrlixViewController::makeCurrent(Function::Ptr f) { plotter_.setCurFunc(std::move(f)); }

void OrlixViewController::setCurFunc(Function* f)
{
    if (f) {
        kind_ = f->kindInfo() ? f->kindInfo() : &defaultKind();
        checked_.reset();
        const auto& fi = f->functionInfo();
        auto it = fi.find("f");
        function1_ = it != fi.end() ? it->second : f->stringRepresentation();
        it = fi.find("g");
        function2_ = it != fi.end() ? it->second : std::string();
        if (kind_->can.ownRange) {
            rangeMin_ = f->varMin();
            rangeMax_ = f->varMax();
            it = fi.find("minVarStr");
            rangeMinText_ = it != fi.end() ? it->second : tostr(rangeMin_);
            it = fi.find("maxVarStr");
            rangeMaxText_ = it != fi.end() ? it->second : tostr(rangeMax_);
        }
    } else if (plotter_.tracing()) {
        plotter_.setFState(PlotMode::Move);
    }
    changed();
}

void OrlixViewController::removeCFunction()
{
    if (!curFunc())
        return;
    if (session_.preferences().showPrompt && onConfirmDelete) {
        onConfirmDelete();
        return;
    }
    removeCurFunc();
}

void OrlixViewController::removeCurFunc()
{
    if (!curFunc())
        return;
    ChangeBatch batch(*this);
    RegisterSnapshot before = snapshot();
    plotter_.removeCFunction();
    recordStep(FunctionChange::remove, std::move(before));
    if (!plotter_.curFunc())
        function1_.clear();
    saveAll();
    changed();
}

// ---- persistence -------------------------------------------------------------------------

bool OrlixViewController::saveAll()
{
    bool ok = false;
    try {
        ok = session_.saveAll(model_, owner_.get());
    } catch (const std::exception& e) {
        warn(std::string("Orlix: saving failed: ") + e.what());
    }
    const StoreFile& store = session_.store();
    if (!ok)
        warn("Orlix: the store could not be written: \"" + store.saveError() + "\"");
    // Told once, until a save works again: every change after it is lost
    // at the end of the session unless the person makes room.
    if (!ok && !saveFailureTold_ && store.access() == StoreAccess::ReadWrite && onAlert) {
        saveFailureTold_ = true;
        onAlert("Saving failed", StoreSession::cannotSaveNotice(store, store.saveError()));
    }
    if (ok)
        saveFailureTold_ = false;
    return ok;
}

bool OrlixViewController::terminate()
{
    bool ok = false;
    try {
        ok = session_.terminate(model_, owner_.get());
    } catch (const std::exception& e) {
        warn(std::string("Orlix: saving failed: ") + e.what());
    }
    return ok;
}

} // namespace orlix
