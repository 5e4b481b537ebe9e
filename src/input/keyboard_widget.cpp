#include "keyboard_widget.h"

#include <QHideEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QTouchEvent>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

namespace orlix {

namespace {

// The keyboard's colours in the two appearances.
struct KeyColors {
    QColor background, bar, barLine;
    QColor keyFace, functionFace, controlFace, groupFace, pressedFace, shadow;
    QColor ink, variableInk;
    QColor balloon, balloonLine, inkShadow;
};

const KeyColors kLightKeys{
    QColor(206, 210, 217), QColor(190, 195, 204), QColor(150, 155, 165),
    QColor(255, 255, 255), QColor(236, 240, 248), QColor(171, 178, 190), QColor(225, 229, 236), QColor(150, 160, 178),
    QColor(120, 126, 138),
    QColor(30, 32, 40), QColor(0, 0, 128),
    QColor(252, 252, 255), QColor(140, 146, 160), QColor(255, 255, 255),
};

const KeyColors kDarkKeys{
    QColor(38, 39, 43), QColor(52, 54, 60), QColor(70, 72, 80),
    QColor(92, 94, 102), QColor(76, 78, 86), QColor(58, 60, 66), QColor(66, 68, 76), QColor(120, 124, 136),
    QColor(10, 10, 12),
    QColor(236, 238, 242), QColor(150, 185, 255),
    QColor(98, 100, 108), QColor(120, 124, 136), QColor(20, 20, 24),
};

QRectF qrect(const RectF& r) { return QRectF(r.x, r.y, r.width, r.height); }

QString qs(const std::string& s) { return QString::fromStdString(s); }

// The largest bold font of at most size pixels, and at least minimum, in
// which text fits width.
QFont fittingFont(const QString& text, int size, int minimum, qreal width)
{
    QFont f;
    f.setBold(true);
    for (; size > minimum; size -= 2) {
        f.setPixelSize(size);
        if (QFontMetricsF(f).horizontalAdvance(text) <= width)
            return f;
    }
    f.setPixelSize(minimum);
    return f;
}

} // namespace

KeyboardWidget::KeyboardWidget(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_AcceptTouchEvents);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    clock_.start();

    repeatTimer_.setSingleShot(true);
    connect(&repeatTimer_, &QTimer::timeout, this, [this] {
        keyboard_.repeatTick(now());
        sync();
    });

    slide_ = new QVariantAnimation(this);
    slide_->setDuration(kSlideMs);
    slide_->setStartValue(0.0);
    slide_->setEndValue(1.0);
    slide_->setEasingCurve(QEasingCurve::InOutQuad);
    connect(slide_, &QVariantAnimation::valueChanged, this, [this] { update(); });
    connect(slide_, &QVariantAnimation::finished, this, [this] {
        keyboard_.slideFinished();
        update();
    });
    keyboard_.onSlide = [this] {
        slide_->stop();
        slide_->start();
    };

    errorMove_ = new QVariantAnimation(this);
    errorMove_->setStartValue(0.0);
    errorMove_->setEndValue(1.0);
    connect(errorMove_, &QVariantAnimation::valueChanged, this, [this] { update(); });
    shake_ = new QVariantAnimation(this);
    shake_->setStartValue(0.0);
    shake_->setEndValue(1.0);
    shake_->setDuration(50 + 200);
    connect(shake_, &QVariantAnimation::valueChanged, this, [this] { update(); });
    keyboard_.onErrorBar = [this](ErrorBarChange c) { errorBarChanged(c); };

    setLayout(320, KeyboardOrientation::portrait);
}

KeyboardWidget::~KeyboardWidget()
{
    keyboard_.onSlide = nullptr;
    keyboard_.onErrorBar = nullptr;
}

void KeyboardWidget::setLayout(int width, KeyboardOrientation orientation)
{
    if (slide_->state() == QAbstractAnimation::Running)
        slide_->stop();
    keyboard_.setLayout(static_cast<float>(width), orientation);
    sync();
}

void KeyboardWidget::setTarget(KeyboardTarget* target)
{
    keyboard_.setTarget(target);
    sync();
}

void KeyboardWidget::showErrorMessage(const QString& text)
{
    keyboard_.showErrorMessage(text.toStdString());
    update();
}

void KeyboardWidget::hideErrorMessage()
{
    keyboard_.hideErrorMessage();
    update();
}

bool KeyboardWidget::animating() const
{
    for (const QVariantAnimation* a : {slide_, errorMove_, shake_})
        if (a->state() == QAbstractAnimation::Running)
            return true;
    return false;
}

void KeyboardWidget::finishAnimations()
{
    for (QVariantAnimation* a : {slide_, errorMove_, shake_})
        if (a->state() == QAbstractAnimation::Running)
            a->setCurrentTime(a->duration());
    update();
}

void KeyboardWidget::errorBarChanged(ErrorBarChange change)
{
    if (change == ErrorBarChange::shake) {
        // A scale of 1 to 1.29 and a turn of up to a tenth of a radian
        // either way, drawn afresh each time.
        auto* random = QRandomGenerator::global();
        shakeScale_ = static_cast<float>(100 + random->bounded(30)) / 100.f;
        shakeAngle_ = static_cast<float>(static_cast<int>(random->bounded(20)) - 10) / 100.f;
        shake_->stop();
        shake_->start();
    } else {
        shake_->stop();
        errorAppearing_ = change == ErrorBarChange::appear;
        errorMove_->stop();
        errorMove_->setDuration(errorAppearing_ ? 3 * kErrorStepMs : kErrorFadeMs);
        errorMove_->start();
    }
    update();
}

void KeyboardWidget::sync()
{
    if (const auto due = keyboard_.repeatDueMs())
        repeatTimer_.start(static_cast<int>(std::max<std::int64_t>(*due - now(), 0)));
    else
        repeatTimer_.stop();
    const SizeF size = keyboard_.size();
    const int h = static_cast<int>(std::ceil(size.height));
    if (width() != static_cast<int>(size.width) || height() != h)
        resize(static_cast<int>(size.width), h);
    if (h != lastHeight_) {
        lastHeight_ = h;
        if (onSizeChanged)
            onSizeChanged();
    }
    update();
}

// ---- events ---------------------------------------------------------------------------

bool KeyboardWidget::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd: {
        auto* touch = static_cast<QTouchEvent*>(e);
        for (const QEventPoint& point : touch->points()) {
            const PointF at{static_cast<float>(point.position().x()), static_cast<float>(point.position().y())};
            const int id = point.id();
            switch (point.state()) {
            case QEventPoint::Pressed:
                keyboard_.touchBegan(id, at, now());
                break;
            case QEventPoint::Updated:
                keyboard_.touchMoved(id, at);
                break;
            case QEventPoint::Released:
                keyboard_.touchEnded(id, at);
                break;
            default:
                break;
            }
        }
        sync();
        e->accept();
        return true;
    }
    case QEvent::TouchCancel:
        keyboard_.stopTouches();
        sync();
        e->accept();
        return true;
    default:
        return QWidget::event(e);
    }
}

// The mouse is one more finger.
constexpr int kMouseFinger = -1;

void KeyboardWidget::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    keyboard_.touchBegan(kMouseFinger, PointF{float(e->position().x()), float(e->position().y())}, now());
    sync();
}

void KeyboardWidget::mouseMoveEvent(QMouseEvent* e)
{
    if (e->buttons() & Qt::LeftButton)
        keyboard_.touchMoved(kMouseFinger, PointF{float(e->position().x()), float(e->position().y())});
    sync();
}

void KeyboardWidget::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    keyboard_.touchEnded(kMouseFinger, PointF{float(e->position().x()), float(e->position().y())});
    sync();
}

void KeyboardWidget::hideEvent(QHideEvent* e)
{
    // A finger's end may never arrive once the keyboard is gone: a held
    // backspace must not go on deleting.
    keyboard_.stopTouches();
    repeatTimer_.stop();
    QWidget::hideEvent(e);
}

// ---- painting ---------------------------------------------------------------------------

void KeyboardWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const KeyColors& k = dark_ ? kDarkKeys : kLightKeys;
    p.fillRect(rect(), k.background);
    const float bar = keyboard_.topBarHeight();
    p.fillRect(QRectF(0, 0, width(), bar), k.bar);
    p.setPen(QPen(k.barLine, 1));
    p.drawLine(QPointF(0, 0.5), QPointF(width(), 0.5));

    const bool custom = keyboard_.customKeys();
    if (custom) {
        if (keyboard_.funcsNotNums()) {
            // The function row, the pads sliding one pad's width to the left.
            p.save();
            p.setClipRect(qrect(keyboard_.functionRow()));
            const float shift = keyboard_.sliding()
                                    ? static_cast<float>(1.0 - slide_->currentValue().toDouble()) *
                                          keyboard_.functionRow().width / 2
                                    : 0.f;
            if (keyboard_.sliding())
                paintPad(p, keyboard_.pad(PadSlot::spare), shift, true, 1);
            paintPad(p, keyboard_.pad(PadSlot::leftPad1), shift, true, 1);
            paintPad(p, keyboard_.pad(PadSlot::leftPad2), shift, true, 1);
            p.restore();
        } else {
            paintPad(p, keyboard_.pad(PadSlot::numbers), 0, true, 1);
        }
        for (PadSlot slot : {PadSlot::variables, PadSlot::operators, PadSlot::controls})
            paintPad(p, keyboard_.pad(slot), 0, true, 1);
    }
    paintPad(p, keyboard_.pad(PadSlot::topBar), 0, keyboard_.selectorEnabled(), keyboard_.selectorAlpha());

    if (const auto m = keyboard_.magnifierRect())
        paintMagnifier(p, *keyboard_.highlightedKey(), *m);
    paintErrorBar(p);
}

void KeyboardWidget::paintPad(QPainter& p, const myKBPad& pad, float dx, bool enabled, float alpha)
{
    const auto& keys = pad.keyMap();
    const auto highlighted = keyboard_.highlighted();
    for (int i = 0; i < static_cast<int>(keys.size()); ++i) {
        const KeyRecord& key = keys[i];
        const bool selector = key.action == KeyAction::group;
        p.save();
        if (selector)
            p.setOpacity(alpha);
        const bool pressed = highlighted && &keyboard_.pad(highlighted->slot) == &pad && highlighted->index == i;
        // The segment of the second pad shows as chosen.
        const bool chosen = selector && enabled && key.group == keyboard_.secondPadType();
        paintKey(p, key, dx, pressed || chosen);
        p.restore();
    }
}

void KeyboardWidget::paintKey(QPainter& p, const KeyRecord& key, float dx, bool pressed)
{
    const bool control = key.action != KeyAction::insert;
    const QRectF cell = qrect(key.rect).translated(dx, 0);
    const QRectF face = cell.adjusted(3, 4, -3, -4);
    // Names stand apart from signs and numbers.
    const bool name = key.action == KeyAction::insert && key.text.size() > 1 && isLetter(key.text.front());
    const KeyColors& k = dark_ ? kDarkKeys : kLightKeys;
    QColor fill = control ? k.controlFace : name ? k.functionFace : k.keyFace;
    if (key.action == KeyAction::group)
        fill = k.groupFace;
    if (pressed)
        fill = k.pressedFace;
    // A soft shadow under the key, then its face.
    p.setPen(Qt::NoPen);
    p.setBrush(k.shadow);
    p.drawRoundedRect(face.translated(0, 1.2), 6, 6);
    p.setBrush(fill);
    p.drawRoundedRect(face, 6, 6);

    const QString label = qs(key.text);
    const bool variable = key.action == KeyAction::insert && key.magnifier == MagnifierKind::variable;
    int size = 16;
    if (key.action == KeyAction::insert && !name)
        size = 22;
    if (key.action == KeyAction::backspace)
        size = 24;
    if (variable)
        size = 30;
    QFont font = fittingFont(label, size, 10, face.width() - 4);
    font.setBold(false);
    font.setItalic(variable);
    p.setFont(font);
    p.setPen(variable ? k.variableInk : k.ink);
    p.drawText(face, Qt::AlignCenter, label);
}

void KeyboardWidget::paintMagnifier(QPainter& p, const KeyRecord& key, const RectF& where)
{
    // A balloon over the key: a rounded top joined to the key's outline.
    const QRectF head = qrect(where);
    const QRectF cell = qrect(key.rect).adjusted(3, 4, -3, -4);
    QPainterPath balloon;
    balloon.addRoundedRect(head, 12, 12);
    QPainterPath stem;
    const qreal stemTop = head.bottom() - 12;
    const qreal stemBottom = std::max(cell.center().y() + 6, stemTop);
    stem.addRoundedRect(QRectF(cell.left(), stemTop, cell.width(), stemBottom - stemTop), 6, 6);
    const QPainterPath shape = balloon.united(stem);
    const KeyColors& k = dark_ ? kDarkKeys : kLightKeys;
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawPath(shape.translated(0, 2));
    p.setBrush(k.balloon);
    p.setPen(QPen(k.balloonLine, 1));
    p.drawPath(shape);
    const QString label = qs(key.text);
    const QRectF textBox = head.adjusted(6, 2, -6, -4);
    p.setFont(fittingFont(label, 46, 20, textBox.width()));
    // A light shadow a point below, then the text.
    p.setPen(k.inkShadow);
    p.drawText(textBox.translated(0, 1), Qt::AlignCenter, label);
    p.setPen(key.magnifier == MagnifierKind::variable ? k.variableInk : k.ink);
    p.drawText(textBox, Qt::AlignCenter, label);
    p.restore();
}

void KeyboardWidget::paintErrorBar(QPainter& p)
{
    const bool moving = errorMove_->state() == QAbstractAnimation::Running;
    if (!keyboard_.errorBarShown() && !moving)
        return;
    // Appearing: up from inside the keys, fading in, a little past its
    // place and back. Going: down and out.
    const double t = moving ? errorMove_->currentValue().toDouble() : 1.0;
    const float travel = keyboard_.topBarHeight();
    float dy = 0, alpha = 1;
    if (moving && errorAppearing_) {
        // Three steps of equal time: in to its place at 0.8, on past it
        // at full strength, back.
        if (t < 1.0 / 3) {
            const double u = t * 3;
            dy = static_cast<float>((1 - u) * travel);
            alpha = static_cast<float>(0.8 * u);
        } else if (t < 2.0 / 3) {
            const double u = t * 3 - 1;
            dy = static_cast<float>(-7 * u);
            alpha = static_cast<float>(0.8 + 0.2 * u);
        } else {
            dy = static_cast<float>(-7 * (3 - t * 3));
        }
    } else if (moving) {
        dy = static_cast<float>(t * travel);
        alpha = static_cast<float>(1 - t);
    }
    const QRectF box = qrect(keyboard_.errorBarRect()).translated(0, dy);
    p.save();
    p.setOpacity(alpha);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(170, 30, 36));
    p.drawRoundedRect(box, 8, 8);
    // The message shakes when it is shown again.
    if (shake_->state() == QAbstractAnimation::Running) {
        const double s = shake_->currentValue().toDouble();
        const double out = 50.0 / 250.0;
        const double k = s < out ? s / out : 1 - (s - out) / (1 - out);
        p.translate(box.center());
        p.rotate(qRadiansToDegrees(shakeAngle_ * k));
        p.scale(1 + (shakeScale_ - 1) * k, 1 + (shakeScale_ - 1) * k);
        p.translate(-box.center());
    }
    const QString text = qs(keyboard_.errorText());
    p.setPen(Qt::white);
    p.setFont(fittingFont(text, 15, 10, box.width() - 16));
    // A message too long for one line at the smallest size wraps.
    p.drawText(box.adjusted(8, 0, -8, 0), Qt::AlignCenter | Qt::TextWordWrap, text);
    p.restore();
}

} // namespace orlix
