// A long random session with the whole window, as a restless person uses
// it: every event drawn from one table, and after each the invariants that
// must hold whatever came before. Seeded: ORLIX_SOAK_SEED replays a run,
// ORLIX_SOAK_EVENTS sets its length (2000 by default).
#include <gtest/gtest.h>

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPointingDevice>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "main_window.h"
#include "orlix/special_point.h"
#include "orlix/view_state.h"
#include "recording_canvas.h"
#include "window_fixture.h"

using namespace orlix;

namespace {

long long envNumber(const char* name, long long fallback)
{
    const char* v = std::getenv(name);
    return v && *v ? std::atoll(v) : fallback;
}

// Formulas a person types for each kind, the broken ones too.
const char* const kFormulas[] = {
    "sin(x)",   "x^2-1",    "1/x",        "tan(x)", "a*x^2+b",   "sqrt(x)",       "ln(x)", "x^x",
    "sin(1/x)", "floor(x)", "2+cos(3*θ)", "θ",      "x^2+y^2-1", "sin(x)-cos(y)", "x*y-a", "t",
    "cos(t)",   "sin(",     "x+",         "((",     "y+q",       "1/0",           "",      "exp(x*1000)"};
const char* const kNumbers[] = {"1", "-3", "0.5", "pi", "1/0", "0/0", "abc", "1e308*10", "-2pi", ""};
const QSize kSizes[] = {{320, 480}, {480, 320}, {375, 667}, {667, 375}, {1280, 800}, {200, 200}, {800, 1200}};

class SoakTest : public testing_qt::WindowTest {
  protected:
    std::mt19937_64 rng;
    std::unique_ptr<QPointingDevice> touch{QTest::createTouchDevice()};

    int below(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
    QPoint anywhere()
    {
        const QSize s = w->plot().size();
        return QPoint(below(std::max(s.width(), 1)), below(std::max(s.height(), 1)));
    }
    template <class T, std::size_t N> const T& pick(const T (&items)[N]) { return items[below(N)]; }

    void wheel(QPoint at, int delta)
    {
        QWheelEvent e(at, w->plot().mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        e.setTimestamp(static_cast<quint64>(QTest::lastMouseTimestamp += 16));
        QApplication::sendEvent(&w->plot(), &e);
    }
    // Two fingers on the plot at the test's own clock, the one QTest's mouse
    // events keep, so that a run replays exactly whatever the machine's pace.
    void twoFingers(QEvent::Type type, QEventPoint::State state, QPoint a, QPoint b)
    {
        QTest::lastMouseTimestamp += 16;
        const QPointF ga = w->plot().mapToGlobal(QPointF(a)), gb = w->plot().mapToGlobal(QPointF(b));
        QTouchEvent e(type, touch.get(), Qt::NoModifier,
                      {QEventPoint(0, state, QPointF(a), ga), QEventPoint(1, state, QPointF(b), gb)});
        e.setTimestamp(static_cast<quint64>(QTest::lastMouseTimestamp));
        QApplication::sendEvent(&w->plot(), &e);
    }
    void closeMessage()
    {
        if (QMessageBox* m = w->openMessage())
            m->done(QMessageBox::Ok);
    }

    struct Event {
        const char* name;
        int weight;
        std::function<void(SoakTest&)> play;
    };
    std::vector<Event> events();
    // What must hold after every event; the first broken one, or empty.
    std::string brokenInvariant();
    // The function's formulas and the parameters' values, for a report.
    std::string describe(const Function& f) const
    {
        std::string d;
        for (const auto& [key, text] : f.functionInfo())
            d += key + " = " + text + ", ";
        for (Parameter p : allParameters)
            d += std::string(1, static_cast<char>('a' + static_cast<int>(p))) + " = " +
                 std::to_string(w->controller().parameterStrip().value(p)) + " ";
        return d;
    }
    // Whether searching the marks again finds a mark at the same place.
    static bool stillMarked(Function& f, myPointInfo mark)
    {
        f.updateInfo();
        return std::any_of(f.info().begin(), f.info().end(), [&](const auto& m) {
            return m->info().point.x == mark.point.x && m->info().point.y == mark.point.y;
        });
    }
};

std::vector<SoakTest::Event> SoakTest::events()
{
    using S = SoakTest;
    return {
        {"tap", 8, [](S& s) { QTest::mouseClick(&s.w->plot(), Qt::LeftButton, {}, s.anywhere()); }},
        {"double tap", 2, [](S& s) { QTest::mouseDClick(&s.w->plot(), Qt::LeftButton, {}, s.anywhere()); }},
        {"drag", 10,
         [](S& s) {
             QPoint at = s.anywhere();
             QTest::mousePress(&s.w->plot(), Qt::LeftButton, {}, at);
             for (int k = 0, n = 1 + s.below(6); k < n; ++k) {
                 at += QPoint(s.below(81) - 40, s.below(81) - 40);
                 QTest::mouseMove(&s.w->plot(), at);
             }
             QTest::mouseRelease(&s.w->plot(), Qt::LeftButton, {}, at);
         }},
        {"pinch", 6,
         [](S& s) {
             QPoint a = s.anywhere(), b = s.anywhere();
             s.twoFingers(QEvent::TouchBegin, QEventPoint::Pressed, a, b);
             for (int k = 0, n = 1 + s.below(4); k < n; ++k) {
                 const int d = s.below(41) - 20;
                 a -= QPoint(d, d / 2);
                 b += QPoint(d, d / 2);
                 s.twoFingers(QEvent::TouchUpdate, QEventPoint::Updated, a, b);
             }
             s.twoFingers(QEvent::TouchEnd, QEventPoint::Released, a, b);
         }},
        {"wheel", 6, [](S& s) { s.wheel(s.anywhere(), (s.below(7) - 3) * 120); }},
        {"formula", 12,
         [](S& s) {
             const FunctionKind kinds[] = {FunctionKind::yx, FunctionKind::xy, FunctionKind::polar,
                                           FunctionKind::parametric, FunctionKind::implicit};
             if (s.below(2) == 0)
                 if (QAction* a = s.w->newKindAction(s.pick(kinds)))
                     a->trigger();
             s.w->formulaField().setText(QString::fromUtf8(s.pick(kFormulas)));
             if (s.w->secondFormulaField().isVisible())
                 s.w->secondFormulaField().setText(QString::fromUtf8(s.pick(kFormulas)));
             if (s.w->rangeMinField().isVisible() && s.below(3) == 0)
                 s.w->rangeMinField().setText(QString::fromUtf8(s.pick(kNumbers)));
             s.w->commitFormula();
         }},
        {"physical keys", 4,
         [](S& s) {
             s.w->editField(s.w->formulaField());
             QTest::keyClick(&s.w->formulaField(), Qt::Key_A, Qt::ControlModifier);
             for (QChar ch : QString::fromUtf8(s.pick(kFormulas))) {
                 if (ch.unicode() < 128)
                     QTest::keyClick(&s.w->formulaField(), static_cast<char>(ch.unicode()));
                 else // θ: no key code of its own, only its text
                     QTest::sendKeyEvent(QTest::Click, &s.w->formulaField(), Qt::Key_unknown, QString(ch),
                                         Qt::NoModifier);
             }
             QTest::keyClick(&s.w->formulaField(), s.below(4) == 0 ? Qt::Key_Escape : Qt::Key_Return);
         }},
        {"formula keyboard", 4,
         [](S& s) {
             s.w->setKeyboardWanted(true);
             s.w->editField(s.w->formulaField());
             myKeyboard& kb = s.w->keyboard().keyboard();
             for (const char* key : {"sin", "(", "x", ")", "+", "a"})
                 if (s.below(3) != 0)
                     kb.inputText(key);
             kb.pressReturn();
             s.w->setKeyboardWanted(false);
         }},
        {"panel", 4,
         [](S& s) {
             const Panel panels[] = {Panel::functionSettings, Panel::preferences, Panel::help, Panel::table};
             s.w->present(s.pick(panels));
             s.w->cancelPanel();
         }},
        {"undo", 6, [](S& s) { s.w->controller().undo(); }},
        {"redo", 3, [](S& s) { s.w->controller().redo(); }},
        {"resize", 2, [](S& s) { s.w->resize(s.pick(kSizes)); }},
        {"zoom to fit", 2, [](S& s) { s.w->zoomToFitAction().trigger(); }},
        {"delete one", 2, [](S& s) { s.w->controller().removeCurFunc(); }},
        {"delete all", 1, [](S& s) { s.w->controller().dismissSettings(true, s.below(2) == 0); }},
        {"move or trace", 3, [](S& s) { s.w->moveOrTraceButton().click(); }},
        {"searches", 3,
         [](S& s) {
             QToolButton* buttons[] = {&s.w->rootsButton(), &s.w->extrsButton(), &s.w->inflsButton(),
                                       &s.w->intersButton()};
             s.pick(buttons)->click();
         }},
        {"bars", 1, [](S& s) { s.w->controller().showHideInterface(); }},
        {"parameter", 5,
         [](S& s) {
             ParameterStrip& strip = s.w->controller().parameterStrip();
             const std::vector<Parameter> rows = strip.rows();
             if (rows.empty())
                 return;
             const Parameter p = rows[s.below(static_cast<int>(rows.size()))];
             if (s.below(2) == 0) {
                 strip.press(p);
                 for (int k = 0; k < 3; ++k)
                     strip.dragTo(s.uniform(-0.1, 1.1));
                 strip.release();
             } else {
                 const ParameterField fields[] = {ParameterField::value, ParameterField::min, ParameterField::max,
                                                  ParameterField::step};
                 try {
                     strip.setField(p, s.pick(fields), s.uniform(-20, 20));
                 } catch (const Error&) {
                     // refused, as it should be for a crossed range
                 }
             }
         }},
    };
}

std::string SoakTest::brokenInvariant()
{
    const ViewState& v = w->plot().view().viewState();
    const myPoint c = v.center(), k = v.scale();
    if (!std::isfinite(c.x) || !std::isfinite(c.y))
        return "the view's centre is not finite";
    for (double s : {k.x, k.y})
        if (!(s >= ViewState::kMinScale && s <= ViewState::kMaxScale))
            return "the scale " + std::to_string(s) + " is beyond the limits";

    // The stored file holds the register: the same functions and formulas.
    QFile file(w->session().store().filePath());
    if (file.exists() && w->controller().preferences().saveFuncs) {
        if (!file.open(QIODevice::ReadOnly))
            return "the store cannot be read";
        const QJsonObject stored = QJsonDocument::fromJson(file.readAll()).object().value("functions").toObject();
        const auto& reg = model().functionRegister();
        if (static_cast<std::size_t>(stored.size()) != reg.size())
            return "the store holds " + std::to_string(stored.size()) + " functions, the register " +
                   std::to_string(reg.size());
        for (const auto& [id, f] : reg) {
            const QJsonObject record = stored.value(QString::fromStdString(id)).toObject();
            const QJsonObject formulas = record.value("funcInfo").toObject();
            for (const auto& [key, text] : f->functionInfo())
                if (formulas.value(QString::fromStdString(key)).toString().toStdString() != text)
                    return "the stored formula of " + id + " differs";
        }
    }

    // Samples are finite or gaps (no value, or an infinite one at a pole):
    // whatever a frame draws of them is finite.
    const QSize size = w->plot().size();
    test::RecordingCanvas frame(SizeF{static_cast<float>(size.width()), static_cast<float>(size.height())});
    w->plot().view().drawScene(frame);
    for (const test::Op& op : frame.ops())
        for (float v : op.v)
            if (!std::isfinite(v))
                return "a frame draws " + op.kind + " at a coordinate that is not finite";

    // The current curve's marks lie on it.
    Function* f = cur();
    if (f && !f->isImplicit()) {
        for (const auto& m : f->info()) {
            const myPointInfo& mark = m->info();
            if (!std::isfinite(mark.variable))
                continue;
            const myPoint on = f->pointAt(mark.variable).point;
            const double tol = 1e-6 * (1 + std::fabs(on.x) + std::fabs(on.y));
            if (!(std::fabs(on.x - mark.point.x) <= tol && std::fabs(on.y - mark.point.y) <= tol))
                return "a " + m->type() + " mark at " + std::to_string(mark.point.x) + ", " +
                       std::to_string(mark.point.y) + " (variable " + std::to_string(mark.variable) +
                       ") is off the curve (" + std::to_string(on.x) + ", " + std::to_string(on.y) + ") of " +
                       describe(*f) +
                       (stillMarked(*f, mark) ? "; a new search marks it again" : "; a new search does not");
        }
    }
    return {};
}

TEST_F(SoakTest, ARandomSessionKeepsEveryInvariant)
{
    const unsigned long long seed = static_cast<unsigned long long>(envNumber("ORLIX_SOAK_SEED", 20261210));
    const long long count = envNumber("ORLIX_SOAK_EVENTS", 2000);
    rng.seed(seed);
    // Touches lifted beyond the window are dropped, and said so each time.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.pointer.dispatch=false"));
    w->resize(320, 480);
    w->show();
    QCoreApplication::processEvents();
    const std::vector<Event> table = events();
    int total = 0;
    for (const Event& e : table)
        total += e.weight;
    // A tap on the add button opens its menu, which waits for a choice in
    // an event loop of its own: it is closed again as a person would.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    closer.start(20);
    QElapsedTimer clock;
    clock.start();
    for (long long n = 0; n < count; ++n) {
        int r = below(total);
        const Event* e = &table.front();
        for (const Event& candidate : table) {
            if (r < candidate.weight) {
                e = &candidate;
                break;
            }
            r -= candidate.weight;
        }
        // A person's pause between two events: sometimes short enough
        // that two taps make a double tap.
        QTest::lastMouseTimestamp += below(600);
        try {
            e->play(*this);
            QCoreApplication::processEvents();
        } catch (const std::exception& x) {
            FAIL() << "event " << n << " (" << e->name << ") threw " << x.what()
                   << "; replay with ORLIX_SOAK_SEED=" << seed;
        }
        closeMessage();
        const std::string broken = brokenInvariant();
        ASSERT_TRUE(broken.empty()) << "after event " << n << " (" << e->name << "): " << broken
                                    << "; replay with ORLIX_SOAK_SEED=" << seed;
        // A long run says how far it has come.
        if ((n + 1) % 10000 == 0) {
            std::printf("soak: %lld events, %.0f s\n", n + 1, clock.elapsed() / 1000.0);
            std::fflush(stdout);
        }
    }
    const double seconds = clock.elapsed() / 1000.0;
    std::printf("soak: %lld events in %.1f s, %.0f events a second (seed %llu)\n", count, seconds,
                seconds > 0 ? count / seconds : 0.0, seed);
    // Where the session ended: two runs of one seed end in the same place.
    const ViewState& v = w->plot().view().viewState();
    std::printf("soak: ended at centre %.17g, %.17g, scale %.17g with %zu functions%s%s\n", v.center().x, v.center().y,
                v.scale().x, model().functionRegister().size(), cur() ? ", the current " : "",
                cur() ? describe(*cur()).c_str() : "");
}

} // namespace
