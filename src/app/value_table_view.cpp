#include "value_table_view.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "appearance.h"
#include "field_check.h"
#include "orlix/error.h"
#include "orlix/format.h"
#include "orlix/function_kind.h"
#include "panel_frame.h"

namespace orlix {

// ---- the model ------------------------------------------------------------

void ValueTableModel::setTable(std::unique_ptr<ValueTable> table)
{
    beginResetModel();
    table_ = std::move(table);
    endResetModel();
    // The first batch at once: a view asks for more only as it scrolls.
    fetchMore({});
}

int ValueTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !table_ ? 0 : table_->rowCount();
}

int ValueTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !table_ ? 0 : table_->columnCount();
}

QVariant ValueTableModel::data(const QModelIndex& index, int role) const
{
    if (!table_ || !index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromStdString(table_->text(index.row(), index.column()));
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant ValueTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || !table_)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal)
        return QString::fromStdString(table_->header(section));
    return section + 1;
}

bool ValueTableModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && table_ && table_->canProduceMore();
}

void ValueTableModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    const int first = table_->rowCount();
    const int added = std::min(kBatch, table_->totalRows() - first);
    beginInsertRows({}, first, first + added - 1);
    table_->produceMore(added);
    endInsertRows();
}

// ---- the panel ------------------------------------------------------------

valueTableView::valueTableView(QWidget* parent) : QWidget(parent)
{
    QPushButton* doneButton = nullptr;
    QVBoxLayout* column = panelColumn(this, QStringLiteral("Table of values"), doneButton);
    connect(doneButton, &QPushButton::clicked, this, &valueTableView::done);

    auto* fields = new QWidget(this);
    auto* grid = new QGridLayout(fields);
    grid->setContentsMargins(10, 8, 10, 4);
    grid->setVerticalSpacing(4);
    start_ = new QLineEdit(fields);
    step_ = new QLineEdit(fields);
    start_->setAccessibleName(QStringLiteral("Start"));
    step_->setAccessibleName(QStringLiteral("Step"));
    copy_ = new QPushButton(QStringLiteral("Copy"), fields);
    copy_->setToolTip(QStringLiteral("Copy the table as tab-separated text"));
    grid->addWidget(new QLabel(QStringLiteral("Start"), fields), 0, 0);
    grid->addWidget(start_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Step"), fields), 0, 2);
    grid->addWidget(step_, 0, 3);
    grid->addWidget(copy_, 0, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    message_ = new QLabel(fields);
    setThemedStyleSheet(message_, QStringLiteral("color: {error}; font-size: 12px;"));
    message_->setTextFormat(Qt::PlainText);
    grid->addWidget(message_, 1, 0, 1, 5);
    column->addWidget(fields);

    model_ = new ValueTableModel(this);
    view_ = new QTableView(this);
    view_->setModel(model_);
    view_->setFrameShape(QFrame::NoFrame);
    view_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    view_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // Four columns of seven digits fit a phone's width: no row numbers, a
    // smaller type.
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setDefaultSectionSize(22);
    QFont small = view_->font();
    small.setPixelSize(11);
    view_->setFont(small);
    view_->setAlternatingRowColors(true);
    column->addWidget(view_, 1);

    connect(start_, &QLineEdit::returnPressed, this, &valueTableView::apply);
    connect(step_, &QLineEdit::returnPressed, this, &valueTableView::apply);
    connect(start_, &QLineEdit::textEdited, message_, &QLabel::clear);
    connect(step_, &QLineEdit::textEdited, message_, &QLabel::clear);
    connect(copy_, &QPushButton::clicked, this, &valueTableView::copy);
}

bool valueTableView::present(Function::Ptr f)
{
    const FunctionKindInfo* kind = f ? f->kindInfo() : nullptr;
    if (!kind || !kind->can.valueTable)
        return false;
    const ValueTable* shown = model_->table();
    if (!shown || shown->function() != f) {
        std::optional<OpeningTable> opening = openingTable(f);
        if (!opening)
            return false;
        model_->setTable(std::move(opening->table));
        start_->setText(QString::fromStdString(opening->startText));
        step_->setText(QString::fromStdString(opening->stepText));
    }
    message_->clear();
    showOverParent(this, start_);
    return true;
}

bool valueTableView::apply()
{
    ValueTable* table = model_->table();
    if (!table)
        return false;
    try {
        const double start = numberFieldValue(start_->text().trimmed().toStdString());
        const double step = numberFieldValue(step_->text().trimmed().toStdString());
        // A table of its own until it is taken: a refusal leaves the shown one as it was.
        auto next = std::make_unique<ValueTable>(table->function(), start, step);
        model_->setTable(std::move(next));
    } catch (const Error& e) {
        message_->setText(QString::fromStdString(e.reason()));
        return false;
    }
    message_->clear();
    view_->scrollToTop();
    return true;
}

void valueTableView::copy()
{
    if (const ValueTable* table = model_->table())
        QGuiApplication::clipboard()->setText(QString::fromStdString(table->tabSeparated()));
}

void valueTableView::done()
{
    hide();
    emit closed();
}

} // namespace orlix
