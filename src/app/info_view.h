// The information panel widget: a small floating panel over the plot plane
// showing the trace point's value and derivatives (collapsed) or a range
// with its integrals (expanded). Its state lives in InfoModel; the widget
// mirrors it, animates the change of form and turns typing into
// InfoModel::confirm calls.
//
// Embedding: make it a child of the plot widget, then call setPlotView()
// (which also registers the panel as the view's information panel) and
// reanchor() whenever the view's good rectangle or alignment changes.
#pragma once

#include <QPointF>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

#include "info_model.h"
#include "text_fields.h"
#include "orlix/plot_links.h"

class QGraphicsOpacityEffect;
class QLabel;
class QLineEdit;
class QPropertyAnimation;

namespace orlix {

class plotView;

class infoView : public QWidget, public InfoPanel {
  public:
    // Width of the panel and height of its collapsed form, in points.
    static constexpr int kWidth = 168;
    static constexpr int kCollapsedHeight = 120;
    // The expanded form is this much taller, growing upwards.
    static constexpr int kGrowth = 32;
    // Duration of the change of form, in milliseconds.
    static constexpr int kAnimationMs = 300;

    explicit infoView(QWidget* parent = nullptr);
    ~infoView() override;

    // ---- InfoPanel ---------------------------------------------------------
    void setP0(std::shared_ptr<specialPoint> p) override;
    void setP1(std::shared_ptr<specialPoint> p) override;
    void setContent(const myPointInfo& info) override;
    void setContent2(const std::optional<InfoMap>& range) override;
    void setInteractive(bool interactive) override;
    void setHidden(bool hidden) override;
    void setCurFunc(Function* f) override;

    // ---- set-up --------------------------------------------------------------
    // Registers the panel with the view, tells it the panel's size and makes
    // typed values rebuild a tracing view's background and redisplay it.
    // nullptr detaches.
    void setPlotView(plotView* pv);
    // Places the panel at the centre the view anchored it to (bottom corner
    // of the good rectangle); the expanded form keeps the same bottom edge.
    void reanchor();
    // Where a typed value's refusal goes (the keyboard's error bar); the
    // panel also shows it in its own error line.
    std::function<void(const std::string&)> onError;
    // Editing a field began / ended (the owner may move the keyboard).
    std::function<void()> onEditingBegan;
    std::function<void()> onEditingEnded;

    // ---- state -------------------------------------------------------------------
    InfoModel& model() { return model_; }
    const InfoModel& model() const { return model_; }
    // The geometry of the current form at the current anchor.
    QRect targetGeometry() const;
    bool animating() const;
    // Jumps to the end of a running change of form.
    void finishAnimation();

    // The parts, for the owner's styling and for tests.
    varTextField* startField() const { return fields_[0]; }
    varTextField* valueField() const { return fields_[1]; }
    QLabel* startLabel() const { return labels_[0]; }
    QLabel* valueLabel() const { return labels_[1]; }
    QLabel* textView() const { return textView_; }
    QLabel* errorLabel() const { return error_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // Copies the model's state into the widgets and starts the change of
    // form when the model expanded or collapsed.
    void sync();
    void syncField(int i);
    void layOut();
    void confirm(int i);
    void showError(const std::string& message);
    void animateForm(bool expand);

    InfoModel model_;
    plotView* plot_ = nullptr;
    bool shownMaxed_ = false;
    std::optional<QPointF> anchorCenter_;
    QWidget* rows_[2] = {};
    QLabel* labels_[2] = {};
    varTextField* fields_[2] = {};
    QLabel* textView_ = nullptr;
    QLabel* error_ = nullptr;
    QGraphicsOpacityEffect* fade_ = nullptr;
    QPropertyAnimation* geometryAnimation_ = nullptr;
    QPropertyAnimation* fadeAnimation_ = nullptr;
};

} // namespace orlix
