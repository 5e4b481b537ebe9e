#include "parameter_strip_widget.h"

#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>

#include <cmath>

#include "appearance.h"
#include "field_check.h"
#include "orlix/error.h"
#include "text_fields.h"

namespace orlix {

namespace {

constexpr int kMargin = 4;
constexpr int kPlayWidth = 28;
constexpr int kNameWidth = 34;
constexpr int kValueWidth = 70;
constexpr int kBoundFieldWidth = 62;

QString playText(bool playing) { return playing ? QStringLiteral("❚❚") : QStringLiteral("▶"); }

} // namespace

ParameterStripWidget::ParameterStripWidget(ParameterStrip& strip, QWidget* parent) : QWidget(parent), strip_(strip)
{
    setObjectName(QStringLiteral("parameterStrip"));
    setAttribute(Qt::WA_StyledBackground);
    setThemedStyleSheet(this, QStringLiteral("#parameterStrip { background: {card}; border-radius: 8px; }"
                                             "#parameterMessage { color: {error}; font-size: 12px; }"
                                             "QLabel { color: {text}; }"));
    for (Parameter p : allParameters)
        build(p);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("parameterMessage"));
    message_->hide();
    playTimer_.setInterval(kPlayIntervalMs);
    connect(&playTimer_, &QTimer::timeout, this, &ParameterStripWidget::tick);
    hide();
}

void ParameterStripWidget::build(Parameter p)
{
    Row& r = rows_[idx(p)];
    const QString name = QString::fromLatin1(parameterName(p));
    r.play = new QToolButton(this);
    r.play->setText(playText(false));
    r.play->setAutoRaise(true);
    r.play->setFocusPolicy(Qt::NoFocus);
    r.play->setToolTip(QStringLiteral("Play %1 back and forth").arg(name));
    r.name = new QToolButton(this);
    r.name->setText(name + QStringLiteral(" ="));
    r.name->setAutoRaise(true);
    r.name->setFocusPolicy(Qt::NoFocus);
    r.name->setToolTip(QStringLiteral("Bounds and step of %1").arg(name));
    r.value = new myTextField(this);
    r.slider = new QSlider(Qt::Horizontal, this);
    r.slider->setRange(0, kSliderTicks);
    r.slider->setFocusPolicy(Qt::ClickFocus);
    r.slider->setAccessibleName(QStringLiteral("Slider %1").arg(name));

    r.bounds = new QWidget(this);
    const auto boundField = [&](const QString& label, int x) {
        auto* l = new QLabel(label, r.bounds);
        l->setGeometry(x, 4, 30, 22);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* f = new myTextField(r.bounds);
        f->setGeometry(x + 32, 4, kBoundFieldWidth, 22);
        return f;
    };
    r.min = boundField(QStringLiteral("min"), 0);
    r.max = boundField(QStringLiteral("max"), 96);
    r.step = boundField(QStringLiteral("step"), 192);
    r.bounds->hide();

    connect(r.play, &QToolButton::clicked, this, [this, p] {
        strip_.togglePlay(p);
        if (strip_.anyPlaying() && !playTimer_.isActive()) {
            playClock_.start();
            playTimer_.start();
        }
        showValues();
    });
    connect(r.name, &QToolButton::clicked, this, [this, p] {
        rows_[idx(p)].boundsOpen = !rows_[idx(p)].boundsOpen;
        layOut();
        emit heightChanged();
    });
    connect(r.slider, &QSlider::sliderPressed, this, [this, p] {
        strip_.press(p);
        showValues();
    });
    connect(r.slider, &QSlider::valueChanged, this, [this, p](int v) {
        const double at = static_cast<double>(v) / kSliderTicks;
        if (rows_[idx(p)].slider->isSliderDown()) {
            strip_.dragTo(at);
        } else {
            // A click on the groove or a key: a whole change at once.
            strip_.press(p);
            strip_.dragTo(at);
            strip_.release();
        }
        showValues();
    });
    connect(r.slider, &QSlider::sliderReleased, this, [this] {
        strip_.release();
        showValues();
    });
    const std::pair<myTextField*, ParameterField> fields[] = {{r.value, ParameterField::value},
                                                              {r.min, ParameterField::min},
                                                              {r.max, ParameterField::max},
                                                              {r.step, ParameterField::step}};
    for (const auto& [f, which] : fields) {
        f->setGoodVar({}); // numbers only
        f->setAccessibleName(name + QStringLiteral(" ") +
                             QString::fromLatin1(which == ParameterField::value ? "value"
                                                 : which == ParameterField::min ? "min"
                                                 : which == ParameterField::max ? "max"
                                                                                : "step"));
        connect(f, &QLineEdit::editingFinished, this, [this, p, which = which] { commitField(p, which); });
        connect(f, &QLineEdit::textEdited, this, [this] { showMessage({}, {}); });
    }
}

myTextField* ParameterStripWidget::field(Parameter p, ParameterField f) const
{
    const Row& r = rows_[idx(p)];
    switch (f) {
    case ParameterField::value: return r.value;
    case ParameterField::min: return r.min;
    case ParameterField::max: return r.max;
    case ParameterField::step: return r.step;
    }
    return nullptr;
}

QString ParameterStripWidget::message() const { return message_->isVisible() ? message_->text() : QString(); }

void ParameterStripWidget::refresh()
{
    const std::vector<Parameter> now = strip_.rows();
    if (now != shown_) {
        shown_ = now;
        for (Parameter p : allParameters) {
            const bool on = std::find(shown_.begin(), shown_.end(), p) != shown_.end();
            Row& r = rows_[idx(p)];
            for (QWidget* w : {static_cast<QWidget*>(r.play), static_cast<QWidget*>(r.name),
                               static_cast<QWidget*>(r.value), static_cast<QWidget*>(r.slider)})
                w->setVisible(on);
            r.bounds->setVisible(on && r.boundsOpen);
        }
        if (messageRow_ && std::find(shown_.begin(), shown_.end(), *messageRow_) == shown_.end())
            showMessage({}, {});
        layOut();
        emit heightChanged();
    }
    showValues();
}

int ParameterStripWidget::preferredHeight() const
{
    if (shown_.empty())
        return 0;
    int h = 2 * kMargin;
    for (Parameter p : shown_)
        h += kRowHeight + (rows_[idx(p)].boundsOpen ? kBoundsHeight : 0);
    if (messageRow_)
        h += kMessageHeight;
    return h;
}

void ParameterStripWidget::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    layOut();
}

void ParameterStripWidget::layOut()
{
    const int w = width();
    int y = kMargin;
    for (Parameter p : shown_) {
        Row& r = rows_[idx(p)];
        const int mid = y + (kRowHeight - 28) / 2;
        r.play->setGeometry(kMargin, mid, kPlayWidth, 28);
        r.name->setGeometry(kMargin + kPlayWidth, mid, kNameWidth, 28);
        const int valueX = kMargin + kPlayWidth + kNameWidth;
        r.value->setGeometry(valueX, y + (kRowHeight - 26) / 2, kValueWidth, 26);
        const int sliderX = valueX + kValueWidth + 8;
        r.slider->setGeometry(sliderX, mid, std::max(w - sliderX - 2 * kMargin, 0), 28);
        y += kRowHeight;
        r.bounds->setVisible(r.boundsOpen);
        if (r.boundsOpen) {
            r.bounds->setGeometry(kMargin, y, std::max(w - 2 * kMargin, 0), kBoundsHeight);
            y += kBoundsHeight;
        }
        if (messageRow_ == p) {
            message_->setGeometry(valueX, y, std::max(w - valueX - kMargin, 0), kMessageHeight);
            y += kMessageHeight;
        }
    }
}

void ParameterStripWidget::commitField(Parameter p, ParameterField f)
{
    myTextField* edit = field(p, f);
    const std::string text = edit->text().trimmed().toStdString();
    // Leaving a field as it was shown changes nothing (the text is rounded).
    if (text == strip_.fieldText(p, f))
        return;
    try {
        strip_.setField(p, f, numberFieldValue(text));
        showMessage({}, {});
    } catch (const Error& e) {
        showMessage(p, QString::fromStdString(refusalMessage(e, text)));
        return;
    }
    showValues();
}

void ParameterStripWidget::showMessage(Parameter p, const QString& text)
{
    const std::optional<Parameter> row = text.isEmpty() ? std::nullopt : std::optional(p);
    message_->setText(text);
    message_->setVisible(row.has_value());
    if (row == messageRow_)
        return;
    messageRow_ = row;
    layOut();
    emit heightChanged();
}

void ParameterStripWidget::showValues()
{
    for (Parameter p : shown_) {
        Row& r = rows_[idx(p)];
        r.play->setText(playText(strip_.playing(p)));
        // A field being edited keeps what is typed.
        for (ParameterField f : {ParameterField::value, ParameterField::min, ParameterField::max, ParameterField::step}) {
            myTextField* edit = field(p, f);
            if (!edit->hasFocus())
                edit->setText(QString::fromStdString(strip_.fieldText(p, f)));
        }
        // The finger sets the handle; a value that moved otherwise moves it.
        if (!r.slider->isSliderDown()) {
            const QSignalBlocker quiet(r.slider);
            r.slider->setValue(static_cast<int>(std::lround(strip_.position(p) * kSliderTicks)));
        }
    }
}

void ParameterStripWidget::tick()
{
    const double seconds = static_cast<double>(playClock_.restart()) / 1000.0;
    strip_.advance(seconds);
    if (!strip_.anyPlaying())
        playTimer_.stop();
    showValues();
}

} // namespace orlix
