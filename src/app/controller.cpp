#include "controller.h"

#include <QDebug>

#include <algorithm>
#include <cstdio>
#include <exception>

#include "orlix/color_gen.h"
#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/stack_machine.h"
#include "orlix/xy_function.h"
#include "orlix/yx_function.h"

namespace orlix {

namespace {

// The engine's one-letter variables; θ and φ arrive as themselves when the
// parser keeps them.
bool isEngineVariable(const std::string& name)
{
    static const std::string letters = "xytrfabci";
    if (name.size() == 1)
        return letters.find(name[0]) != std::string::npos;
    return name == "θ" || name == "φ";
}

constexpr const char* kIDPrefix = "f";

} // namespace

std::optional<std::string> formulaProblem(std::string_view text, std::string_view goodVar)
{
    try {
        fStack::Owner fs = fStack::createWithString(text);
        if (!fs)
            return std::string("Wrong Syntax!");
        for (const fStack* n = fs->last(); n; n = n->previous) {
            if (n->funcName && isEngineVariable(*n->funcName) && goodVar.find(*n->funcName) == std::string_view::npos)
                return formatMessage("Variable '%@' mustn't be here!", {*n->funcName});
        }
        StackMachine check(*fs->last());
        (void)check;
    } catch (const std::exception& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

// ---- adapters of the plot view for the session ----------------------------------

class OrlixViewController::PlotOwner : public PlotSettingsOwner {
  public:
    explicit PlotOwner(plotView& v) : view_(v) {}
    nlohmann::json settings() override
    {
        // The view takes the current function's extra width back when it
        // hands out its settings; saveAll has done that already.
        if (const auto& f = view_.curFunc())
            f->setLineWidth(f->lineWidth() + 1);
        return view_.settings();
    }
    void applySettings(const nlohmann::json& s) override { view_.applySettings(s); }
    bool shown() const override { return view_.shown(); }

  private:
    plotView& view_;
};

class OrlixViewController::ViewStore : public PlotStore {
  public:
    explicit ViewStore(Session& s) : session_(s) {}
    // The session hands the stored position to the view itself.
    std::optional<nlohmann::json> takePlotterSettings() override { return std::nullopt; }
    bool resetPositionOnLaunch() const override { return session_.store().boolForKey(Session::resetPositionKey); }
    void clearResetPositionOnLaunch() override { session_.store().set(Session::resetPositionKey, false); }

  private:
    Session& session_;
};

// ---- set-up ------------------------------------------------------------------------

OrlixViewController::OrlixViewController(Session& session, plotView& plotter)
    : session_(session), plotter_(plotter), owner_(std::make_unique<PlotOwner>(plotter)),
      viewStore_(std::make_unique<ViewStore>(session))
{
}

OrlixViewController::~OrlixViewController()
{
    if (Function::shell() == this)
        Function::setShell(nullptr);
    plotter_.setController(nullptr);
    plotter_.setStore(nullptr);
}

void OrlixViewController::load()
{
    Function::setPlotContext(&plotter_);
    Function::setShell(this);
    plotter_.setController(this);
    plotter_.setStore(viewStore_.get());
    // Functions of an earlier screen in this process are not ours.
    Function::deleteAll();
    plotter_.initialize();
    try {
        session_.load(owner_.get());
    } catch (const std::exception& e) {
        // "launchFailed" stays set: the next launch starts from empty state.
        qWarning() << "Orlix: the stored state could not be restored:" << e.what();
        Function::deleteAll();
        plotter_.setCurFunc(nullptr);
    }
    Preferences& p = session_.preferences();
    if (p.sInters)
        p.sRoots = p.sExtrs = p.sInfls = false;
    plotter_.setIsLeftAligned(session_.isLeftAligned());

    for (const auto& [id, f] : Function::functionRegister()) {
        long long n = 0;
        if (std::sscanf(id.c_str(), "f%lld", &n) == 1)
            lastID_ = std::max(lastID_, n);
    }
    if (!plotter_.curFunc() && !Function::functionRegister().empty())
        makeCurrent(Function::functionRegister().front().second);
    if (!plotter_.curFunc())
        kind_ = Kind::yx;
    changed();
}

// ---- helpers ---------------------------------------------------------------------

template <class F> bool OrlixViewController::guarded(F&& body)
{
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        if (onAlert)
            onAlert("Error!", e.what());
        else
            qWarning() << "Orlix:" << e.what();
        return false;
    }
}

std::string OrlixViewController::newID()
{
    // Zero-padded, so that the store's sorted keys come back in creation
    // order; never one already registered.
    std::string id;
    do {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%s%06lld", kIDPrefix, ++lastID_);
        id = buf;
    } while (Function::functionWithID(id));
    return id;
}

std::string OrlixViewController::idOf(const Function* f) const
{
    for (const auto& [id, g] : Function::functionRegister())
        if (g.get() == f)
            return id;
    return {};
}

void OrlixViewController::changed()
{
    if (onChanged)
        onChanged();
}

// ---- the input bar -----------------------------------------------------------------

std::string OrlixViewController::kindLabel() const { return kind_ == Kind::xy ? "x(y)=" : "y(x)="; }

std::string OrlixViewController::goodVar() const { return kind_ == Kind::xy ? "y" : "x"; }

bool OrlixViewController::stringsAreChanged()
{
    bool registered = false;
    guarded([&] {
        const Function::Ptr cur = plotter_.curFunc();
        const std::string curText = cur && cur->functionInfo().count("f") ? cur->functionInfo().at("f") : "";
        if (cur && function1_ == curText)
            return;
        if (function1_.empty()) {
            function1_ = curText;
            changed();
            return;
        }
        Function::Ptr f;
        if (kind_ == Kind::xy)
            f = xyFunction::functionFromString(function1_);
        else
            f = yxFunction::functionFromString(function1_);
        if (!f)
            throw Error("Wrong Syntax!");
        std::string id;
        if (cur && (id = idOf(cur.get()), !id.empty())) {
            // The replacement takes the place and the looks of the old one.
            // The register swaps them only once the new function is accepted.
            const Color c = cur->color();
            f->setColorWithR(c.r, c.g, c.b, c.a);
            f->setDashPattern(cur->dashPattern());
            if (cur->cNumOfPoints() > 0)
                f->setNumOfPoints(cur->cNumOfPoints());
        } else {
            f->setColor(colorGen::sharedColorGen().genColor());
            id = newID();
        }
        Function::setFunction(f, id);
        registered = true;
        makeCurrent(f);
    });
    if (registered)
        saveAll();
    changed();
    return registered;
}

void OrlixViewController::chooseKind(Kind k)
{
    if (plotter_.curFunc())
        plotter_.setCurFunc(nullptr);
    kind_ = k;
    function1_.clear();
    changed();
}

bool OrlixViewController::canAddDerivative() const
{
    const Function* f = curFunc();
    return f && !f->isImplicit();
}

void OrlixViewController::addDerivative()
{
    if (!canAddDerivative())
        return;
    bool registered = false;
    guarded([&] {
        const Function::Ptr d = plotter_.curFunc()->differential();
        if (!d)
            throw Error("Error occured!");
        // The derivative is one object: added twice it is only made current.
        if (idOf(d.get()).empty()) {
            colorGen& gen = colorGen::sharedColorGen();
            d->setColor(gen.genColor());
            if (Function::derAreDashed() && !d->isImplicit())
                d->setDashPattern(gen.dashes(1));
            Function::setFunction(d, newID());
            registered = true;
        }
        makeCurrent(d);
    });
    if (registered)
        saveAll();
    changed();
}

// ---- the current function ----------------------------------------------------------

void OrlixViewController::makeCurrent(Function::Ptr f) { plotter_.setCurFunc(std::move(f)); }

void OrlixViewController::setCurFunc(Function* f)
{
    if (f) {
        kind_ = f->typeName() == "xyFunction" ? Kind::xy : Kind::yx;
        const auto& fi = f->functionInfo();
        auto it = fi.find("f");
        function1_ = it != fi.end() ? it->second : f->stringRepresentation();
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
    plotter_.removeCFunction();
    if (!plotter_.curFunc())
        function1_.clear();
    saveAll();
    changed();
}

// ---- searches and modes ----------------------------------------------------------------

void OrlixViewController::searchesChanged()
{
    if (Function* f = curFunc())
        f->updateInfo();
    plotter_.backgroundChanged();
    if (plotter_.onNeedsDisplay)
        plotter_.onNeedsDisplay();
    saveAll();
    changed();
}

void OrlixViewController::setSRoots(bool on)
{
    Preferences& p = session_.preferences();
    p.sRoots = on;
    if (on)
        p.sInters = false;
    searchesChanged();
}

void OrlixViewController::setSExtrs(bool on)
{
    Preferences& p = session_.preferences();
    p.sExtrs = on;
    if (on)
        p.sInters = false;
    searchesChanged();
}

void OrlixViewController::setSInfls(bool on)
{
    Preferences& p = session_.preferences();
    p.sInfls = on;
    if (on)
        p.sInters = false;
    searchesChanged();
}

void OrlixViewController::setSInters(bool on)
{
    Preferences& p = session_.preferences();
    p.sInters = on;
    if (on)
        p.sRoots = p.sExtrs = p.sInfls = false;
    searchesChanged();
}

void OrlixViewController::setPoints(int tag)
{
    const Preferences& p = session_.preferences();
    switch (tag) {
    case 1: setSRoots(!p.sRoots); break;
    case 2: setSExtrs(!p.sExtrs); break;
    case 3: setSInfls(!p.sInfls); break;
    default: break;
    }
}

void OrlixViewController::intersectOrNot() { setSInters(!session_.preferences().sInters); }

void OrlixViewController::setShowPrompt(bool on)
{
    session_.preferences().showPrompt = on;
    saveAll();
    changed();
}

void OrlixViewController::setSaveFuncs(bool on)
{
    session_.preferences().saveFuncs = on;
    saveAll();
    changed();
}

void OrlixViewController::setMoveOrTrace()
{
    plotter_.setFState(plotter_.tracing() ? PlotMode::Move : PlotMode::Trace);
    changed();
}

SearchSettings OrlixViewController::searchSettings() const
{
    const Preferences& p = session_.preferences();
    return SearchSettings{p.sRoots, p.sExtrs, p.sInfls, p.sInters};
}

void OrlixViewController::showHideInterface()
{
    iShown_ = (iShown_ + 1) % 3;
    if (onInterfaceChanged)
        onInterfaceChanged();
}

// ---- persistence -------------------------------------------------------------------------

bool OrlixViewController::saveAll()
{
    // The current function is drawn one point thicker; its record keeps
    // its own width.
    const Function::Ptr f = plotter_.curFunc();
    if (f)
        f->setLineWidth(f->lineWidth() - 1);
    bool ok = false;
    try {
        ok = session_.saveAll(owner_.get());
    } catch (const std::exception& e) {
        qWarning() << "Orlix: saving failed:" << e.what();
    }
    if (f)
        f->setLineWidth(f->lineWidth() + 1);
    if (!ok)
        qWarning() << "Orlix: the store could not be written:" << session_.store().lastError();
    return ok;
}

bool OrlixViewController::terminate()
{
    const Function::Ptr f = plotter_.curFunc();
    if (f)
        f->setLineWidth(f->lineWidth() - 1);
    bool ok = false;
    try {
        ok = session_.terminate(owner_.get());
    } catch (const std::exception& e) {
        qWarning() << "Orlix: saving failed:" << e.what();
    }
    if (f)
        f->setLineWidth(f->lineWidth() + 1);
    return ok;
}

} // namespace orlix
