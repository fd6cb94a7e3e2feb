#pragma once
// The list control of the main window: a details view with column headers over a compact model
// of name and value texts. Rows are numbered from 1, always appended at the end, removed one at a
// time or all at once. Appends are O(1) and their view notifications are coalesced, so restoring
// or loading hundreds of thousands of rows does no per-row work in the view. All texts share one
// buffer, each in one byte a character when it is Latin-1 (as nearly every name and value is),
// so a million rows take little more than their characters. Cells are drawn from a bounded prefix
// of their text (display_text.h).

#include <QAbstractTableModel>
#include <QAnyStringView>
#include <QTreeView>
#include <QVector>
#include <string>
#include <vector>

// A cell's text for the length of an expression: a short one copied into a buffer of its own,
// a longer one into a string.
class CellText {
  public:
    operator QStringView() const {
        return size_ <= kInline ? QStringView(inline_, size_) : QStringView(large_);
    }

  private:
    friend class SliceTableModel;
    static constexpr qsizetype kInline = 32;
    char16_t inline_[kInline];
    qsizetype size_ = 0;
    QString large_;
};

class SliceTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit SliceTableModel(QObject* parent = nullptr);

    void addColumn(const QString& text);
    int columns() const { return int(columnTitles_.size()); }

    qsizetype count() const { return qsizetype(rows_.size()); }
    // Latin-1 texts are kept as they are, one byte a character.
    qsizetype append(QAnyStringView text);  // the new row's number
    void setSubItem(qsizetype row, QAnyStringView text);
    QString text(qsizetype row) const;
    QString subItem(qsizetype row) const;
    qsizetype textLength(qsizetype row) const;
    qsizetype subItemLength(qsizetype row) const;
    // Both together, in characters.
    qsizetype rowTextLength(qsizetype row) const {
        checkRow(row);
        return qsizetype(at(row).nameLength) + qsizetype(at(row).valueLength);
    }
    // Write the row's text or value at out, which has room for it; the end.
    char16_t* copyText(qsizetype row, char16_t* out) const;
    char16_t* copySubItem(qsizetype row, char16_t* out) const;
    // The row's text or value as the list holds it, until the list next changes.
    QAnyStringView textView(qsizetype row) const { return view(cell(row, 0)); }
    QAnyStringView subItemTextView(qsizetype row) const { return view(cell(row, 1)); }
    // Calls cells(name, value) with the texts of the rows from first to last as the list holds
    // them, as views valid for the call.
    template <class Cells>
    void forEachRow(qsizetype first, qsizetype last, Cells&& cells) const {
        if (first > last) return;
        checkRow(first);
        checkRow(last);
        for (qsizetype row = first; row <= last; ++row) {
            const Row& r = at(row);
            cells(view(Cell{bytes_.data() + r.start, r.nameLength, bool(r.wideName)}),
                  view(Cell{bytes_.data() + valueStart(r), r.valueLength, bool(r.wideValue)}));
        }
    }
    // The value for a moment, without allocating for a short one.
    CellText subItemView(qsizetype row) const;
    void remove(qsizetype row);
    void clear();
    // Tells the view about rows appended since the last call; runs by itself from the event loop.
    void flushAppends();
    // Room for that many more rows and characters, so that a large load appends without copying
    // the list again and again; only a hint, the list grows past it as needed.
    void reserveAppends(qsizetype rows, qsizetype characters);
    // The room reserved past the list's end, which the appends that follow fill from its start;
    // for readyRoom on another thread. It may be gone once the list grows past it.
    struct Room {
        char* bytes = nullptr;
        qsizetype byteCount = 0;
        char* rows = nullptr;
        qsizetype rowCount = 0;
    };
    Room room() {
        return {bytes_.data() + bytes_.size(), qsizetype(bytes_.capacity() - bytes_.size()),
                reinterpret_cast<char*>(rows_.data() + rows_.size()),
                qsizetype(rows_.capacity() - rows_.size())};
    }
    // Makes the memory that the room's next rows and bytes from the given ones on will take ready
    // to be written, without changing it, so that appending there takes no page faults: a help
    // from another thread while this one appends. Where the system cannot, or the room is gone,
    // it does nothing.
    static void readyRoom(const Room& room, qsizetype bytesFrom, qsizetype bytesTo,
                          qsizetype rowsFrom, qsizetype rowsTo);

    // A name or value longer than this cannot be held; appending or setting one throws Failure.
    static constexpr qsizetype kMaxCellLength = 0x7FFFFFFF;

    // index and flags answer without the base classes' virtual calls: a view lays out a long
    // list by asking both of every row.
    QModelIndex index(int row, int column,
                      const QModelIndex& parent = QModelIndex()) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    // A text in UTF-16 starts at an even offset; a Latin-1 one, one byte a character, anywhere.
    struct Row {
        qsizetype start;  // into bytes_: the name, then the value right after it
        quint32 nameLength : 31;
        quint32 wideName : 1;
        quint32 valueLength : 31;
        quint32 wideValue : 1;
    };
    struct Cell {
        const char* data;
        qsizetype length;
        bool wide;
    };
    void checkRow(qsizetype row) const;
    const Row& at(qsizetype row) const { return rows_[size_t(row - 1)]; }
    static qsizetype nameEnd(const Row& r) {
        return r.start + qsizetype(r.nameLength) * (r.wideName ? 2 : 1);
    }
    static qsizetype valueStart(const Row& r) {
        const qsizetype end = nameEnd(r);
        return r.wideValue ? end + (end % 2) : end;
    }
    qsizetype endOf(const Row& r) const;
    Cell cell(qsizetype row, int column) const;
    static char16_t* copy(const Cell& cell, char16_t* out);
    static QAnyStringView view(const Cell& cell) {
        if (cell.wide)
            return QStringView(reinterpret_cast<const char16_t*>(cell.data), cell.length);
        return QLatin1StringView(cell.data, cell.length);
    }
    // Append a text at the end of bytes_, in the narrowest form that holds it.
    void appendName(Row& r, QAnyStringView name);  // Latin-1 or UTF-16
    void appendValue(Row& r, QAnyStringView value);
    QString displayText(qsizetype row, int column) const;
    void compactIfWasteful();

    QVector<QString> columnTitles_;
    std::vector<Row> rows_;
    std::string bytes_;
    qsizetype wasted_ = 0;  // bytes of removed or replaced rows still in bytes_
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
    qsizetype add(QAnyStringView text) { return model_.append(text); }
    void setSubItem(qsizetype row, QAnyStringView text) { model_.setSubItem(row, text); }
    QString text(qsizetype row) const { return model_.text(row); }
    QString subItem(qsizetype row) const { return model_.subItem(row); }
    void remove(qsizetype row) { model_.remove(row); }
    void clear() { model_.clear(); }
    // The selected row's number, or 0 when no row is selected.
    qsizetype selectedRow() const;

  private:
    SliceTableModel model_;
};
