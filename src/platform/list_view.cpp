#include "platform/list_view.h"

#include "platform/failure.h"

#include <QHeaderView>
#include <QMetaObject>
#include <algorithm>
#include <cmath>

SliceTableModel::SliceTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void SliceTableModel::addColumn(const QString& text) {
    flushAppends();
    const int at = columns();
    beginInsertColumns(QModelIndex(), at, at);
    columnTitles_.append(text);
    endInsertColumns();
}

void SliceTableModel::checkRow(qsizetype row) const {
    if (row < 1 || row > count())
        throw Failure(
            QStringLiteral("Row %1 does not exist; the list has %2 rows.").arg(row).arg(count()));
}

qsizetype SliceTableModel::append(QStringView text) {
    rows_.push_back(Row{qsizetype(text_.size()), text.size(), 0});
    text_.append(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
    if (!flushQueued_) {
        flushQueued_ = true;
        QMetaObject::invokeMethod(this, &SliceTableModel::flushAppends, Qt::QueuedConnection);
    }
    return count();
}

void SliceTableModel::reserveAppends(qsizetype rows, qsizetype characters) {
    // Growing at least twofold keeps many small loads in a row from copying the list each time.
    const size_t wantRows = rows_.size() + size_t(qMax<qsizetype>(rows, 0));
    if (wantRows > rows_.capacity()) rows_.reserve(std::max(wantRows, rows_.capacity() * 2));
    const size_t wantText = text_.size() + size_t(qMax<qsizetype>(characters, 0));
    if (wantText > text_.capacity()) text_.reserve(std::max(wantText, text_.capacity() * 2));
}

void SliceTableModel::setSubItem(qsizetype row, QStringView value) {
    checkRow(row);
    Row& r = rows_[size_t(row - 1)];
    const bool atEnd = r.start + r.nameLength + r.valueLength == qsizetype(text_.size());
    if (atEnd) {
        text_.resize(size_t(r.start + r.nameLength));
    } else {
        // Rewriting an earlier row moves it to the end; its old text becomes waste.
        const std::u16string name = text_.substr(size_t(r.start), size_t(r.nameLength));
        wasted_ += r.nameLength + r.valueLength;
        r.start = qsizetype(text_.size());
        text_.append(name);
    }
    text_.append(reinterpret_cast<const char16_t*>(value.utf16()), size_t(value.size()));
    r.valueLength = value.size();
    if (row <= shown_) {
        const QModelIndex cell = index(int(row - 1), 1);
        Q_EMIT dataChanged(cell, cell);
    }
    compactIfWasteful();
}

QStringView SliceTableModel::textView(qsizetype row) const {
    checkRow(row);
    const Row& r = rows_[size_t(row - 1)];
    return QStringView(text_.data() + r.start, r.nameLength);
}

QStringView SliceTableModel::subItemView(qsizetype row) const {
    checkRow(row);
    const Row& r = rows_[size_t(row - 1)];
    return QStringView(text_.data() + r.start + r.nameLength, r.valueLength);
}

QString SliceTableModel::text(qsizetype row) const { return textView(row).toString(); }
QString SliceTableModel::subItem(qsizetype row) const { return subItemView(row).toString(); }

void SliceTableModel::remove(qsizetype row) {
    checkRow(row);
    flushAppends();
    beginRemoveRows(QModelIndex(), int(row - 1), int(row - 1));
    const Row& r = rows_[size_t(row - 1)];
    wasted_ += r.nameLength + r.valueLength;
    rows_.erase(rows_.begin() + (row - 1));
    shown_ = count();
    endRemoveRows();
    compactIfWasteful();
}

void SliceTableModel::clear() {
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    text_.clear();
    text_.shrink_to_fit();
    wasted_ = 0;
    shown_ = 0;
    endResetModel();
}

void SliceTableModel::compactIfWasteful() {
    // Compacting only when at least half the text is waste keeps removal amortised O(1) per
    // removed character while bounding memory at twice the live text.
    if (wasted_ < 4096 || wasted_ * 2 < qsizetype(text_.size())) return;
    std::u16string compact;
    compact.reserve(text_.size() - size_t(wasted_));
    for (Row& r : rows_) {
        const qsizetype start = qsizetype(compact.size());
        compact.append(text_, size_t(r.start), size_t(r.nameLength + r.valueLength));
        r.start = start;
    }
    text_.swap(compact);
    wasted_ = 0;
}

void SliceTableModel::flushAppends() {
    flushQueued_ = false;
    if (shown_ >= count()) return;
    beginInsertRows(QModelIndex(), int(shown_), int(count() - 1));
    shown_ = count();
    endInsertRows();
}

int SliceTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(shown_);
}

int SliceTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns();
}

QVariant SliceTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shown_ ||
        (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const qsizetype row = index.row() + 1;
    return index.column() == 0 ? text(row) : subItem(row);
}

QVariant SliceTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columns())
        return {};
    return columnTitles_.at(section);
}

ListView::ListView(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    setModel(&model_);
}

void ListView::setColumnWidthTwips(int column, int twips) {
    if (column < 1 || column > model_.columns())
        throw Failure(QStringLiteral("Column %1 does not exist.").arg(column));
    setColumnWidth(column - 1, int(std::lround(twips / 15.0)));
}

qsizetype ListView::selectedRow() const {
    const QModelIndex current = selectionModel()->currentIndex();
    if (!current.isValid() || !selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return 0;
    return current.row() + 1;
}
