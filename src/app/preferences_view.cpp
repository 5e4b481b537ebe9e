#include "preferences_view.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGraphicsOpacityEffect>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "appearance.h"
#include "controller.h"
#include "panel_frame.h"
#include "orlix/function.h"

namespace orlix {

namespace {

QString text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// A row of exclusive buttons standing for the segments of a choice.
QButtonGroup* segmented(const PrefChoiceInfo& info, QWidget* parent, QVBoxLayout* into)
{
    auto* label = new QLabel(text(info.label), parent);
    into->addWidget(label);
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    auto* group = new QButtonGroup(parent);
    for (std::size_t i = 0; i < info.segments.size(); ++i) {
        auto* b = new QPushButton(text(info.segments[i]), parent);
        b->setCheckable(true);
        b->setFocusPolicy(Qt::TabFocus);
        b->setMinimumWidth(10);
        setThemedStyleSheet(b, QStringLiteral("QPushButton { border: 1px solid rgb(120,130,150); padding: 4px 2px;"
                                              " background: {field}; color: {text}; }"
                                              "QPushButton:checked { background: rgb(45,100,200); color: white; }"));
        group->addButton(b, static_cast<int>(i));
        row->addWidget(b, 1);
    }
    into->addLayout(row);
    return group;
}

} // namespace

preferencesView::preferencesView(OrlixViewController& vc, QWidget* parent) : QWidget(parent), vc_(vc)
{
    hide();
    setAutoFillBackground(false);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    QWidget* bar = panelBar(this, QStringLiteral("Preferences"), done_);
    done_->setDefault(true);
    connect(done_, &QPushButton::clicked, this, &preferencesView::donePressed);
    outer->addWidget(bar);

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* page = new QWidget(scroll);
    auto* pageRow = new QHBoxLayout(page);
    pageRow->setContentsMargins(8, 8, 8, 8);
    auto* column = new QWidget(page);
    column->setMaximumWidth(480);
    pageRow->addStretch(0);
    pageRow->addWidget(column, 1);
    pageRow->addStretch(0);
    auto* columnLayout = new QVBoxLayout(column);
    columnLayout->setContentsMargins(0, 0, 0, 0);

    const auto group = [&](PrefGroup g, const QString& name) {
        auto* box = new QGroupBox(name, column);
        auto* layout = new QVBoxLayout(box);
        layout->setSpacing(4);
        for (const PrefSwitchInfo& info : PreferencesModel::switches()) {
            if (info.group != g)
                continue;
            auto* check = new QCheckBox(text(info.label), box);
            connect(check, &QCheckBox::toggled, this, [this, which = info.which](bool on) { model_.setOn(which, on); });
            layout->addWidget(check);
            switches_.emplace_back(info.which, check);
        }
        for (const PrefChoiceInfo& info : PreferencesModel::choices()) {
            if (info.group != g)
                continue;
            QButtonGroup* buttons = segmented(info, box, layout);
            connect(buttons, &QButtonGroup::idClicked, this,
                    [this, which = info.which](int id) { model_.setChoice(which, id); });
            choices_.emplace_back(info.which, buttons);
        }
        columnLayout->addWidget(box);
        return layout;
    };

    QVBoxLayout* app = group(PrefGroup::app, QStringLiteral("Orlix"));
    auto* appButtons = new QHBoxLayout;
    auto* reset = new QPushButton(QStringLiteral("Reset"), column);
    reset->setToolTip(QStringLiteral("Back to the usual options"));
    connect(reset, &QPushButton::clicked, this, &preferencesView::resetSettings);
    help_ = new QPushButton(QStringLiteral("Help"), column);
    connect(help_, &QPushButton::clicked, this, &preferencesView::helpRequested);
    appButtons->addWidget(reset);
    appButtons->addStretch(1);
    appButtons->addWidget(help_);
    app->addLayout(appButtons);

    auto* actions = new QGroupBox(QStringLiteral("Functions and view"), column);
    auto* actionLayout = new QVBoxLayout(actions);
    auto* deleteRow = new QHBoxLayout;
    deleteAll_ = new QPushButton(actions);
    connect(deleteAll_, &QPushButton::clicked, this, &preferencesView::deleteAllPressed);
    undo_ = new QPushButton(QStringLiteral("Undo"), actions);
    undo_->setToolTip(QStringLiteral("Undo the last change to the functions (Ctrl+Z)"));
    connect(undo_, &QPushButton::clicked, this, [this] {
        vc_.undo();
        showModel();
    });
    deleteRow->addWidget(deleteAll_, 1);
    deleteRow->addWidget(undo_);
    actionLayout->addLayout(deleteRow);
    resetPos_ = new QPushButton(actions);
    connect(resetPos_, &QPushButton::clicked, this, &preferencesView::resetPosition);
    actionLayout->addWidget(resetPos_);
    columnLayout->addWidget(actions);

    group(PrefGroup::launch, QStringLiteral("Launch and layout"));
    columnLayout->addStretch(1);

    scroll->setWidget(page);
    outer->addWidget(scroll, 1);
}

QCheckBox* preferencesView::switchControl(PrefSwitch s) const
{
    for (const auto& [which, check] : switches_)
        if (which == s)
            return check;
    return nullptr;
}

QButtonGroup* preferencesView::choiceControl(PrefChoice c) const
{
    for (const auto& [which, group] : choices_)
        if (which == c)
            return group;
    return nullptr;
}

void preferencesView::loadFromVC()
{
    model_.loadFromVC(vc_);
    markFresh(deleteAll_, QStringLiteral("Delete all functions"));
    markFresh(resetPos_, QStringLiteral("Reset position"));
    deleteAll_->setEnabled(!vc_.model().functionRegister().empty());
    showModel();
    showOverParent(this, done_);
}

void preferencesView::showModel()
{
    for (const auto& [which, check] : switches_) {
        QSignalBlocker quiet(check);
        check->setChecked(model_.isOn(which));
    }
    for (const auto& [which, group] : choices_) {
        const int selected = model_.choice(which);
        // No segment stands for a value the user never picked here.
        group->setExclusive(false);
        for (QAbstractButton* b : group->buttons())
            b->setChecked(group->id(b) == selected);
        group->setExclusive(true);
    }
    undo_->setVisible(vc_.canUndo() && !model_.shallDeleteAllFuncs());
}

void preferencesView::markUsed(QPushButton* b, const QString& title)
{
    b->setText(title);
    b->setEnabled(false);
    auto* dim = new QGraphicsOpacityEffect(b);
    dim->setOpacity(0.85);
    b->setGraphicsEffect(dim);
}

void preferencesView::markFresh(QPushButton* b, const QString& title)
{
    b->setText(title);
    b->setEnabled(true);
    b->setGraphicsEffect(nullptr);
}

void preferencesView::resetSettings()
{
    model_.resetSettings();
    showModel();
}

void preferencesView::deleteAllPressed()
{
    if (question_)
        question_->close();
    auto* box = new QMessageBox(QMessageBox::Question, QString(), QStringLiteral("You really want to delete all functions?"),
                                QMessageBox::NoButton, this);
    QPushButton* yes = box->addButton(QStringLiteral("Yes"), QMessageBox::DestructiveRole);
    QPushButton* no = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    // Return keeps the functions; only a deliberate "Yes" deletes them.
    box->setDefaultButton(no);
    box->setEscapeButton(no);
    box->setAttribute(Qt::WA_DeleteOnClose);
    fitIntoWindow(box, window());
    question_ = box;
    connect(box, &QMessageBox::buttonClicked, this, [this, yes](QAbstractButton* b) {
        if (b != yes)
            return;
        model_.deleteAllConfirmed();
        markUsed(deleteAll_, QStringLiteral("Functions deleted"));
        showModel();
    });
    box->open();
}

void preferencesView::resetPosition()
{
    model_.resetPosition();
    markUsed(resetPos_, QStringLiteral("Position resetted"));
}

void preferencesView::donePressed()
{
    if (isHidden())
        return;
    hide();
    model_.donePressed(vc_);
    emit closed();
}

void preferencesView::cancel()
{
    if (question_)
        question_->close();
    hide();
    emit closed();
}

void preferencesView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
}

} // namespace orlix
