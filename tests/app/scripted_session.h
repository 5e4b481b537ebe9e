// A session a script plays on the window, the same every time: formulas of
// every kind, parameter values, views, deletions and undos, each a change
// the window saves at once. The sudden-kill test runs it in a process of its
// own and kills that process at random moments.
#pragma once

#include <QCoreApplication>
#include <QString>

#include <string>

#include "main_window.h"
#include "orlix/plot_plane.h"

namespace orlix::testing_qt {

inline constexpr int kScriptSteps = 60;

// Plays step k (0 ≤ k < kScriptSteps) on w.
inline void playScriptStep(MainWindow& w, int k)
{
    static const struct {
        FunctionKind kind;
        const char* formula;
    } formulas[] = {
        {FunctionKind::yx, "a*sin(b*x)+c"},  {FunctionKind::implicit, "x^2+y^2-a"}, {FunctionKind::yx, "x^3-2*x"},
        {FunctionKind::polar, "2+cos(3*θ)"},  {FunctionKind::xy, "sin(y)*y"},        {FunctionKind::yx, "tan(x)"},
        {FunctionKind::parametric, "cos(3*t)"}, {FunctionKind::yx, "ln(abs(x)+1)"},  {FunctionKind::implicit, "sin(x)-cos(y)"},
    };
    OrlixViewController& c = w.controller();
    switch (k % 6) {
    case 0:
    case 1:
    case 2: {
        const auto& f = formulas[static_cast<std::size_t>(k) % std::size(formulas)];
        w.newKindAction(f.kind)->trigger();
        w.formulaField().setText(QString::fromUtf8(f.formula));
        if (w.secondFormulaField().isVisible())
            w.secondFormulaField().setText(QStringLiteral("sin(2*t)"));
        w.commitFormula();
        break;
    }
    case 3:
        c.parameterStrip().setField(k % 4 == 1 ? Parameter::a : Parameter::b, ParameterField::value, 0.5 + k % 7);
        break;
    case 4:
        w.plot().view().lookAt(myPoint{0.25 * (k % 5), -0.5 * (k % 3)}, myPoint{20.0 + k, 20.0 + k});
        c.viewChanged();
        break;
    case 5:
        if (k % 12 == 5)
            c.removeCurFunc();
        else
            c.undo();
        break;
    }
    QCoreApplication::processEvents();
}

} // namespace orlix::testing_qt
