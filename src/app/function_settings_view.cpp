#include "function_settings_view.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

#include "appearance.h"
#include "controller.h"
#include "field_check.h"
#include "orlix/error.h"
#include "orlix/function.h"
#include "orlix/function_kind.h"
#include "panel_frame.h"
#include "qpainter_canvas.h"

namespace orlix {

namespace {

QColor qColor(Color c) { return QColor::fromRgbF(c.r, c.g, c.b, c.a); }

} // namespace

functionSettings::functionSettings(OrlixViewController& vc, QWidget* parent) : QWidget(parent), vc_(vc)
{
    hide();
    card_ = new QWidget(this);
    card_->setObjectName(QStringLiteral("functionSettingsCard"));
    card_->setAttribute(Qt::WA_StyledBackground);
    setThemedStyleSheet(card_, QStringLiteral("#functionSettingsCard { background: {card}; border-radius: 10px; }"));
    auto* column = new QVBoxLayout(card_);
    column->setContentsMargins(12, 10, 12, 10);
    column->setSpacing(8);

    title_ = new QLabel(card_);
    title_->setStyleSheet(QStringLiteral("font-weight: bold; font-size: 15px;"));
    title_->setTextFormat(Qt::PlainText);
    column->addWidget(title_);

    // Colour: the swatch beside the three sliders.
    auto* colorRow = new QHBoxLayout;
    colorShow_ = new QLabel(card_);
    colorShow_->setFixedSize(52, 52);
    colorRow->addWidget(colorShow_);
    auto* sliderGrid = new QGridLayout;
    sliderGrid->setVerticalSpacing(2);
    const char* names[] = {"R", "G", "B"};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(QString::fromLatin1(names[i]), card_);
        auto* s = new QSlider(Qt::Horizontal, card_);
        s->setRange(0, kSliderSteps);
        s->setAccessibleName(QString::fromLatin1(names[i]));
        connect(s, &QSlider::valueChanged, this, &functionSettings::sliderValueChanged);
        sliderGrid->addWidget(label, i, 0);
        sliderGrid->addWidget(s, i, 1);
        sliders_.push_back(s);
    }
    colorRow->addLayout(sliderGrid, 1);
    column->addLayout(colorRow);

    // The next standard colour, the dash pattern and the density in a row.
    auto* row = new QHBoxLayout;
    nextColor_ = new QPushButton(QStringLiteral("Next colour"), card_);
    connect(nextColor_, &QPushButton::clicked, this, [this] {
        model_.nextStandardColor();
        showModel();
    });
    row->addWidget(nextColor_);
    dashSel_ = new QToolButton(card_);
    dashSel_->setToolTip(QStringLiteral("Next dash pattern"));
    dashSel_->setAccessibleName(QStringLiteral("Dash pattern"));
    dashSel_->setIconSize(QSize(kDashWidth, kDashHeight));
    connect(dashSel_, &QToolButton::clicked, this, [this] {
        model_.nextStandardDash();
        showModel();
    });
    row->addWidget(dashSel_, 1);
    column->addLayout(row);

    auto* densityRow = new QHBoxLayout;
    numLabel_ = new QLabel(QStringLiteral("N="), card_);
    numSel_ = new QLineEdit(card_);
    numSel_->setAccessibleName(QStringLiteral("Number of points"));
    numSel_->setMaximumWidth(90);
    connect(numSel_, &QLineEdit::editingFinished, this, [this] { takeDensity(); });
    connect(numSel_, &QLineEdit::returnPressed, this, [this] { done(); });
    connect(numSel_, &QLineEdit::textEdited, this, [this] { message_->clear(); });
    message_ = new QLabel(card_);
    setThemedStyleSheet(message_, QStringLiteral("color: {error}; font-size: 12px;"));
    message_->setWordWrap(true);
    densityRow->addWidget(numLabel_);
    densityRow->addWidget(numSel_);
    densityRow->addWidget(message_, 1);
    column->addLayout(densityRow);

    auto* buttons = new QHBoxLayout;
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), card_);
    done_ = new QPushButton(QStringLiteral("Done"), card_);
    done_->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, [this] { this->cancel(); });
    connect(done_, &QPushButton::clicked, this, [this] { done(); });
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    buttons->addWidget(done_);
    column->addLayout(buttons);

    fillDashes();
}

void functionSettings::fillDashes()
{
    dashes_.clear();
    for (int i = 0; i < model_.maxDashN(); ++i) {
        QPixmap picture(kDashWidth, kDashHeight);
        picture.fill(Qt::transparent);
        {
            QPainterCanvas canvas(picture, SizeF{float(kDashWidth), float(kDashHeight)});
            FunctionSettings::drawDash(canvas, i, SizeF{float(kDashWidth), float(kDashHeight)});
        }
        dashes_.push_back(picture);
    }
}

bool functionSettings::loadFromFunc(const Function* f)
{
    if (!model_.loadFromFunc(f))
        return false;
    // Which function: its label and formula, cut short when long.
    QString name;
    if (const FunctionKindInfo* kind = f->kindInfo()) {
        const auto& fi = f->functionInfo();
        const auto text = [&](const char* key) {
            auto it = fi.find(key);
            return QString::fromStdString(it != fi.end() ? it->second : f->stringRepresentation());
        };
        name = QString::fromUtf8(kind->inputLabel) + text("f");
        if (!kind->secondInputLabel.empty())
            name += QStringLiteral("  ") + QString::fromUtf8(kind->secondInputLabel) + text("g");
    } else {
        name = QString::fromStdString(f->stringRepresentation());
    }
    title_->setToolTip(name);
    numLabel_->setText(QStringLiteral("N="));
    numSel_->setToolTip(model_.densityIsGridSize() ? QStringLiteral("Grid cells per side, 25 to 150")
                                                   : QStringLiteral("Points of the curve, 100 to 2000"));
    numSel_->setText(QString::number(static_cast<long long>(model_.density())));
    message_->clear();
    showModel();
    showOverParent(this, numSel_);
    fitTitle();
    return true;
}

void functionSettings::showModel()
{
    const Color c = model_.color();
    const float parts[] = {c.r, c.g, c.b};
    for (int i = 0; i < 3; ++i) {
        QSignalBlocker quiet(sliders_[static_cast<size_t>(i)]);
        sliders_[static_cast<size_t>(i)]->setValue(static_cast<int>(std::lround(parts[i] * kSliderSteps)));
    }
    colorShow_->setStyleSheet(QStringLiteral("background: %1; border: 1px solid rgb(64,64,64); border-radius: 10px;")
                                  .arg(qColor(c).name()));
    const int n = model_.dashN();
    if (n >= 0 && n < static_cast<int>(dashes_.size()))
        dashSel_->setIcon(QIcon(dashes_[static_cast<size_t>(n)]));
}

void functionSettings::sliderValueChanged()
{
    model_.setColor(static_cast<float>(sliders_[0]->value()) / kSliderSteps,
                    static_cast<float>(sliders_[1]->value()) / kSliderSteps,
                    static_cast<float>(sliders_[2]->value()) / kSliderSteps);
    showModel();
}

bool functionSettings::takeDensity()
{
    if (isHidden())
        return false;
    try {
        model_.setDensity(numberFieldValue(numSel_->text().trimmed().toStdString()));
    } catch (const std::exception& e) {
        message_->setText(QString::fromUtf8(e.what()));
        return false;
    }
    message_->clear();
    return true;
}

bool functionSettings::done()
{
    if (!takeDensity())
        return false;
    try {
        vc_.applyFunctionSettings(model_);
    } catch (const std::exception& e) {
        message_->setText(QString::fromUtf8(e.what()));
        return false;
    }
    finish();
    return true;
}

void functionSettings::cancel() { finish(); }

void functionSettings::finish()
{
    hide();
    emit closed();
}

void functionSettings::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    const int w = std::min(width() - 16, 420);
    const int h = card_->sizeHint().height();
    card_->setGeometry((width() - w) / 2, height() - h - 8, w, h);
    fitTitle();
}

void functionSettings::fitTitle()
{
    const QString name = title_->toolTip();
    title_->setText(title_->fontMetrics().elidedText(name, Qt::ElideRight, std::max(card_->width() - 24, 60)));
}

void functionSettings::paintEvent(QPaintEvent*)
{
    // The plot stays in sight, dimmed.
    QPainter p(this);
    p.fillRect(rect(), QColor(40, 40, 40, 110));
}

} // namespace orlix
