// The table of values panel: a start and a step typed as constant
// expressions ("0", "π/12"), the current function's values in rows that
// are worked out as the list scrolls to them, and a button that copies
// the table as tab-separated text. Shown over the window like the other
// panels, under a bar with "Done" (or Escape).
#pragma once

#include <QAbstractTableModel>
#include <QWidget>

#include <memory>

#include "orlix/function.h"
#include "orlix/value_table.h"
#include "panel_frame.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace orlix {

// A ValueTable for Qt's item views: the rows worked out so far, and more
// of them (a batch at a time) whenever the view scrolls to the end.
class ValueTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int kBatch = 100;

    using QAbstractTableModel::QAbstractTableModel;

    // A new table, or none, with its first batch of rows; the view starts
    // again from its top.
    void setTable(std::unique_ptr<ValueTable> table);
    ValueTable* table() const { return table_.get(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

  private:
    std::unique_ptr<ValueTable> table_;
};

class valueTableView : public QWidget, public WindowPanel {
    Q_OBJECT
  public:
    explicit valueTableView(QWidget* parent = nullptr);

    // Shows the table of f over the window: at the start and step last
    // used for f, or at the first ones for it. False, showing nothing,
    // for no function or a kind without a table.
    bool present(Function::Ptr f);
    void done();
    bool open(const Function::Ptr& current) override { return present(current); }
    void cancel() override { done(); }
    QWidget& widget() override { return *this; }
    // Takes the two fields. A text that is no constant expression, or a
    // start and step the table refuses, shows its message under the
    // fields and changes nothing.
    bool apply();
    // Puts the header line and the rows worked out so far on the clipboard.
    void copy();

    QLineEdit& startField() { return *start_; }
    QLineEdit& stepField() { return *step_; }
    QLabel& message() { return *message_; }
    QTableView& tableView() { return *view_; }
    QPushButton& copyButton() { return *copy_; }
    ValueTableModel& model() { return *model_; }

  signals:
    void closed();

  private:
    QLineEdit* start_ = nullptr;
    QLineEdit* step_ = nullptr;
    QLabel* message_ = nullptr;
    QTableView* view_ = nullptr;
    QPushButton* copy_ = nullptr;
    ValueTableModel* model_ = nullptr;
};

} // namespace orlix
