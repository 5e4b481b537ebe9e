#include "info_view.h"

#include <QEvent>
#include <QFont>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLineEdit>
#include <QPropertyAnimation>
#include <QResizeEvent>

#include "appearance.h"
#include "orlix/plot_plane.h"

namespace orlix {

namespace {

constexpr int kMargin = 6;
constexpr int kRowHeight = 24;
constexpr int kLabelWidth = 30;
constexpr int kErrorHeight = 16;

QString qs(const std::string& s) { return QString::fromStdString(s); }

} // namespace

infoView::infoView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_StyledBackground, true);
    setObjectName("infoView");
    setThemedStyleSheet(this, QStringLiteral("#infoView { background: {info}; border: 1px solid {line};"
                                             " border-radius: 8px; }"));
    QFont font = this->font();
    font.setPixelSize(13);

    for (int i = 0; i < 2; ++i) {
        rows_[i] = new QWidget(this);
        labels_[i] = new QLabel(rows_[i]);
        labels_[i]->setFont(font);
        labels_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        fields_[i] = new varTextField(rows_[i]);
        fields_[i]->setFont(font);
        fields_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        fields_[i]->installEventFilter(this);
        QObject::connect(fields_[i], &QLineEdit::returnPressed, this, [this, i] { confirm(i); });
        QObject::connect(fields_[i], &QLineEdit::textEdited, this, [this] { error_->hide(); });
    }
    fade_ = new QGraphicsOpacityEffect(rows_[0]);
    fade_->setOpacity(0.0);
    rows_[0]->setGraphicsEffect(fade_);
    rows_[0]->hide();

    textView_ = new QLabel(this);
    textView_->setFont(font);
    textView_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    textView_->setTextFormat(Qt::PlainText);

    error_ = new QLabel(this);
    QFont small = font;
    small.setPixelSize(11);
    error_->setFont(small);
    error_->setWordWrap(true);
    error_->setAutoFillBackground(true);
    setThemedStyleSheet(error_, QStringLiteral("color: {error};"));
    error_->hide();

    geometryAnimation_ = new QPropertyAnimation(this, "geometry", this);
    geometryAnimation_->setDuration(kAnimationMs);
    fadeAnimation_ = new QPropertyAnimation(fade_, "opacity", this);
    fadeAnimation_->setDuration(kAnimationMs);
    QObject::connect(fadeAnimation_, &QPropertyAnimation::finished, this, [this] {
        if (!shownMaxed_)
            rows_[0]->hide();
    });

    resize(kWidth, kCollapsedHeight);
    model_.setCurFunc(nullptr);
    sync();
}

infoView::~infoView()
{
    if (plot_ && plot_->iView() == this)
        plot_->setIView(nullptr);
}

// ---- InfoPanel ----------------------------------------------------------------

void infoView::setP0(std::shared_ptr<specialPoint> p) { model_.setP0(std::move(p)); }

void infoView::setP1(std::shared_ptr<specialPoint> p) { model_.setP1(std::move(p)); }

void infoView::setContent(const myPointInfo& info)
{
    model_.setContent(info);
    sync();
}

void infoView::setContent2(const std::optional<InfoMap>& range)
{
    model_.setContent2(range);
    sync();
}

void infoView::setInteractive(bool interactive)
{
    model_.setInteractive(interactive);
    sync();
}

void infoView::setHidden(bool hidden)
{
    model_.setHidden(hidden);
    sync();
}

void infoView::setCurFunc(Function* f)
{
    model_.setCurFunc(f);
    sync();
}

// ---- set-up ---------------------------------------------------------------------

void infoView::setPlotView(plotView* pv)
{
    if (plot_ && plot_->iView() == this)
        plot_->setIView(nullptr);
    plot_ = pv;
    model_.linkTo(pv);
    if (!pv)
        return;
    pv->setIView(this);
    pv->setInfoPanelSize(SizeF{static_cast<float>(kWidth), static_cast<float>(kCollapsedHeight)});
    reanchor();
}

void infoView::reanchor()
{
    if (!plot_)
        return;
    const std::optional<PointF> c = plot_->infoPanelCenter();
    if (!c)
        return;
    anchorCenter_ = QPointF(c->x, c->y);
    if (animating())
        finishAnimation();
    setGeometry(targetGeometry());
}

QRect infoView::targetGeometry() const
{
    QRect r(0, 0, kWidth, kCollapsedHeight);
    if (anchorCenter_)
        r.moveTopLeft(
            QPoint(qRound(anchorCenter_->x() - 0.5 * kWidth), qRound(anchorCenter_->y() - 0.5 * kCollapsedHeight)));
    else
        r.moveTopLeft(geometry().topLeft() + QPoint(0, shownMaxed_ ? kGrowth : 0));
    if (shownMaxed_)
        r.setTop(r.top() - kGrowth);
    return r;
}

bool infoView::animating() const
{
    return geometryAnimation_->state() == QAbstractAnimation::Running ||
           fadeAnimation_->state() == QAbstractAnimation::Running;
}

void infoView::finishAnimation()
{
    for (QPropertyAnimation* a : {geometryAnimation_, fadeAnimation_}) {
        if (a->state() == QAbstractAnimation::Running)
            a->setCurrentTime(a->duration()); // ends the animation at its end value
    }
}

// ---- mirroring the model ---------------------------------------------------------

void infoView::sync()
{
    if (model_.maxed() != shownMaxed_)
        animateForm(model_.maxed());
    labels_[0]->setText(qs(model_.startLabel()));
    labels_[1]->setText(qs(model_.valueLabel()));
    syncField(0);
    syncField(1);
    const QString text = qs(model_.text());
    if (textView_->text() != text)
        textView_->setText(text);
    QWidget::setHidden(model_.hidden());
}

void infoView::syncField(int i)
{
    const auto id = static_cast<InfoModel::FieldId>(i);
    const NumberField& f = model_.field(id);
    varTextField* e = fields_[i];
    const bool editable = i == 0 ? model_.startFieldEditable() : model_.valueFieldEditable();
    e->setReadOnly(!editable);
    e->setFocusPolicy(editable ? Qt::StrongFocus : Qt::NoFocus);
    if (f.isEditing)
        return; // the user's text stays as typed
    e->showNumber(f);
}

void infoView::animateForm(bool expand)
{
    shownMaxed_ = expand;
    const QRect from = geometry();
    QRect to = from;
    if (expand)
        to.setTop(from.bottom() + 1 - kCollapsedHeight - kGrowth);
    else
        to.setTop(from.bottom() + 1 - kCollapsedHeight);
    if (anchorCenter_)
        to = targetGeometry();

    geometryAnimation_->stop();
    geometryAnimation_->setStartValue(from);
    geometryAnimation_->setEndValue(to);
    geometryAnimation_->start();

    fadeAnimation_->stop();
    rows_[0]->show();
    fadeAnimation_->setStartValue(fade_->opacity());
    fadeAnimation_->setEndValue(expand ? 1.0 : 0.0);
    fadeAnimation_->start();
}

void infoView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layOut();
}

// Rows are laid out from the bottom edge, so the expanded form's extra row
// appears at the top as the panel grows upwards.
void infoView::layOut()
{
    const int w = width() - 2 * kMargin;
    const int fieldWidth = w - kLabelWidth - 2;
    const int textHeight = kCollapsedHeight - kRowHeight - 3 * kMargin;
    const int textTop = height() - kMargin - textHeight;
    textView_->setGeometry(kMargin, textTop, w, textHeight);
    // A long refusal wraps upwards over the text block.
    const int errorHeight = std::max(kErrorHeight, error_->heightForWidth(w));
    error_->setGeometry(kMargin, height() - kMargin - errorHeight, w, errorHeight);
    const int valueTop = textTop - kMargin - kRowHeight;
    rows_[1]->setGeometry(kMargin, valueTop, w, kRowHeight);
    rows_[0]->setGeometry(kMargin, valueTop - kGrowth, w, kRowHeight);
    for (int i = 0; i < 2; ++i) {
        labels_[i]->setGeometry(0, 0, kLabelWidth, kRowHeight);
        fields_[i]->setGeometry(kLabelWidth + 2, 0, fieldWidth, kRowHeight);
    }
}

// ---- typing --------------------------------------------------------------------

bool infoView::eventFilter(QObject* watched, QEvent* event)
{
    for (int i = 0; i < 2; ++i) {
        if (watched != fields_[i])
            continue;
        const auto id = static_cast<InfoModel::FieldId>(i);
        if (event->type() == QEvent::FocusIn) {
            if (model_.beginEditing(id)) {
                fields_[i]->showNumber(model_.field(id));
                if (onEditingBegan)
                    onEditingBegan();
            }
        } else if (event->type() == QEvent::FocusOut) {
            if (model_.field(id).isEditing) {
                model_.cancelEditing(id);
                error_->hide();
                sync();
                if (onEditingEnded)
                    onEditingEnded();
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void infoView::confirm(int i)
{
    const auto id = static_cast<InfoModel::FieldId>(i);
    if (!model_.field(id).isEditing && !model_.beginEditing(id)) {
        syncField(i); // a field that takes no typing keeps its value
        return;
    }
    const std::optional<std::string> refusal = model_.confirm(id, fields_[i]->text().toStdString());
    if (refusal) {
        showError(*refusal);
        return;
    }
    error_->hide();
    sync();
    if (fields_[i]->hasFocus())
        fields_[i]->clearFocus();
    if (onEditingEnded)
        onEditingEnded();
}

void infoView::showError(const std::string& message)
{
    error_->setText(qs(message));
    layOut();
    error_->show();
    error_->raise();
    if (onError)
        onError(message);
}

} // namespace orlix
