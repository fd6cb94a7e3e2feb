#pragma once
// The list control of the main window: a details view with column headers over a compact model
// of name and value texts. Rows are numbered from 1, always appended at the end, removed one at a
// time or all at once. Appends are O(1) and their view notifications are coalesced, so restoring
// or loading hundreds of thousands of rows does no per-row work in the view.

#include <QAbstractTableModel>
#include <QTreeView>
#include <QVector>
#include <vector>

class SliceTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit SliceTableModel(QObject* parent = nullptr);

    void addColumn(const QString& text);
    int columns() const { return int(columnTitles_.size()); }

    qsizetype count() const { return qsizetype(rows_.size()); }
    qsizetype append(QStringView text);  // the new row's number
    void setSubItem(qsizetype row, QStringView text);
    QString text(qsizetype row) const;
    QString subItem(qsizetype row) const;
    QStringView textView(qsizetype row) const;
    QStringView subItemView(qsizetype row) const;
    void remove(qsizetype row);
    void clear();
    // Tells the view about rows appended since the last call; runs by itself from the event loop.
    void flushAppends();
    // Room for that many more rows and characters, so that a large load appends without copying
    // the list again and again; only a hint, the list grows past it as needed.
    void reserveAppends(qsizetype rows, qsizetype characters);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    struct Row {
        qsizetype start;  // into text_: the name, then the value right after it
        qsizetype nameLength;
        qsizetype valueLength;
    };
    void checkRow(qsizetype row) const;
    void compactIfWasteful();

    QVector<QString> columnTitles_;
    std::vector<Row> rows_;
    std::u16string text_;
    qsizetype wasted_ = 0;  // characters of removed or replaced rows still in text_
    qsizetype shown_ = 0;   // rows the view has been told about
    bool flushQueued_ = false;
};

class ListView : public QTreeView {
    Q_OBJECT
  public:
    explicit ListView(QWidget* parent = nullptr);

    SliceTableModel& items() { return model_; }
    const SliceTableModel& items() const { return model_; }

    void addColumn(const QString& text) { model_.addColumn(text); }
    void setColumnWidthTwips(int column, int twips);  // column from 1

    qsizetype count() const { return model_.count(); }
    qsizetype add(QStringView text) { return model_.append(text); }
    void setSubItem(qsizetype row, QStringView text) { model_.setSubItem(row, text); }
    QString text(qsizetype row) const { return model_.text(row); }
    QString subItem(qsizetype row) const { return model_.subItem(row); }
    void remove(qsizetype row) { model_.remove(row); }
    void clear() { model_.clear(); }
    // The selected row's number, or 0 when no row is selected.
    qsizetype selectedRow() const;

  private:
    SliceTableModel model_;
};
