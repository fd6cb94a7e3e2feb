#include "platform/controls/list_view.h"

#include "platform/chart/display_text.h"
#include "platform/controls/twips.h"
#include "platform/failure.h"

#include <sys/mman.h>
#include <unistd.h>
#include <QHeaderView>
#include <QMetaObject>
#include <algorithm>
#include <cmath>
#include <cstring>

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

namespace {

void checkLength(QAnyStringView text) {
    if (text.size() > SliceTableModel::kMaxCellLength)
        throw Failure(
            QStringLiteral("A text of %1 characters is too long for the list.").arg(text.size()));
}

// Room for that many more bytes and a short value after them, so that the value after a huge
// name does not copy the whole buffer into one twice its size.
Q_NEVER_INLINE void grow(std::string& bytes, size_t extra) {
    constexpr size_t kValueRoom = 64;
    bytes.reserve(std::max(bytes.size() + extra + kValueRoom, bytes.capacity() * 2));
}
inline void makeRoom(std::string& bytes, size_t extra) {
    if (extra > bytes.capacity() - bytes.size()) grow(bytes, extra);
}

// Appends the text in one byte a character when every character is Latin-1; false (and
// nothing appended) when one is not. One pass both checks and copies: nearly every name is
// Latin-1.
bool appendLatin1(std::string& bytes, QStringView text) {
    const size_t at = bytes.size();
    makeRoom(bytes, size_t(text.size()));
    bytes.resize(at + size_t(text.size()));
    const char16_t* from = reinterpret_cast<const char16_t*>(text.utf16());
    char* to = bytes.data() + at;
    char16_t high = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        high |= from[i];
        to[i] = char(from[i]);
    }
    if (high < 0x100) return true;
    bytes.resize(at);
    return false;
}

template <class View>
constexpr bool isView(QAnyStringView text) {
    return text.visit([](auto view) { return std::is_same_v<decltype(view), View>; });
}

// A text that is not Latin-1 as UTF-16; append and setSubItem take UTF-8 as UTF-16.
QStringView utf16Of(QAnyStringView text) {
    return text.visit([](auto view) {
        if constexpr (std::is_same_v<decltype(view), QStringView>) return view;
        return QStringView();
    });
}

// Latin-1 text is appended as it is, UTF-16 as appendLatin1 can narrow it.
Q_ALWAYS_INLINE bool appendNarrow(std::string& bytes, QAnyStringView text) {
    if (!isView<QLatin1StringView>(text)) return appendLatin1(bytes, utf16Of(text));
    makeRoom(bytes, size_t(text.size()));
    bytes.append(static_cast<const char*>(text.data()), size_t(text.size()));
    return true;
}

void appendUtf16(std::string& bytes, QStringView text) {
    makeRoom(bytes, size_t(text.size()) * 2 + 1);
    if (bytes.size() % 2) bytes.push_back('\0');
    bytes.append(reinterpret_cast<const char*>(text.utf16()), size_t(text.size()) * 2);
}

char16_t* widen(const char* from, qsizetype length, char16_t* to) {
    const uchar* p = reinterpret_cast<const uchar*>(from);
    for (qsizetype i = 0; i < length; ++i) to[i] = p[i];
    return to + length;
}

}  // namespace

qsizetype SliceTableModel::endOf(const Row& r) const {
    return valueStart(r) + qsizetype(r.valueLength) * (r.wideValue ? 2 : 1);
}

// Both change the row only once its text is in place, so a failed allocation leaves it whole.
void SliceTableModel::appendName(Row& r, QAnyStringView name) {
    qsizetype start = qsizetype(bytes_.size());
    const bool wide = !appendNarrow(bytes_, name);
    if (wide) {
        appendUtf16(bytes_, utf16Of(name));
        start = qsizetype(bytes_.size()) - name.size() * 2;
    }
    r.start = start;
    r.wideName = wide;
    r.nameLength = quint32(name.size());
    r.valueLength = 0;
    r.wideValue = false;
}

void SliceTableModel::appendValue(Row& r, QAnyStringView value) {
    const bool wide = !appendNarrow(bytes_, value);
    if (wide) appendUtf16(bytes_, utf16Of(value));
    r.wideValue = wide;
    r.valueLength = quint32(value.size());
}

qsizetype SliceTableModel::append(QAnyStringView text) {
    if (isView<QUtf8StringView>(text)) return append(text.toString());
    checkLength(text);
    Row r{0, 0, 0, 0, 0};
    appendName(r, text);
    rows_.push_back(r);
    if (!flushQueued_) {
        flushQueued_ = true;
        QMetaObject::invokeMethod(this, &SliceTableModel::flushAppends, Qt::QueuedConnection);
    }
    return count();
}

void SliceTableModel::reserveAppends(qsizetype rows, qsizetype characters) {
    // Growing at least twofold keeps many small loads in a row from copying the list each time.
    // Values take two bytes a character, so twice the characters is room enough; room that is
    // never written takes no memory.
    const size_t wantRows = rows_.size() + size_t(qMax<qsizetype>(rows, 0));
    if (wantRows > rows_.capacity()) rows_.reserve(std::max(wantRows, rows_.capacity() * 2));
    const size_t wantBytes = bytes_.size() + 2 * size_t(qMax<qsizetype>(characters, 0));
    if (wantBytes > bytes_.capacity()) bytes_.reserve(std::max(wantBytes, bytes_.capacity() * 2));
}

void SliceTableModel::readyRoom(const Room& room, qsizetype bytesFrom, qsizetype bytesTo,
                                qsizetype rowsFrom, qsizetype rowsTo) {
#if defined(MADV_POPULATE_WRITE)
    // Up to the last whole page: the next call, or the appends, take the rest of it. A page
    // made ready twice, or one the list writes into already, is left as it is.
    const auto ready = [](char* base, qsizetype from, qsizetype to, qsizetype count) {
        const uintptr_t page = uintptr_t(::sysconf(_SC_PAGESIZE));
        const uintptr_t start =
            (uintptr_t(base) + uintptr_t(qMax<qsizetype>(from, 0))) & ~(page - 1);
        const uintptr_t end =
            (uintptr_t(base) + uintptr_t(qBound<qsizetype>(0, to, count))) & ~(page - 1);
        if (base && end > start)
            ::madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
    };
    ready(room.bytes, bytesFrom, bytesTo, room.byteCount);
    ready(room.rows, rowsFrom * qsizetype(sizeof(Row)), rowsTo * qsizetype(sizeof(Row)),
          room.rowCount * qsizetype(sizeof(Row)));
#else
    Q_UNUSED(room);
    Q_UNUSED(bytesFrom);
    Q_UNUSED(bytesTo);
    Q_UNUSED(rowsFrom);
    Q_UNUSED(rowsTo);
#endif
}

void SliceTableModel::setSubItem(qsizetype row, QAnyStringView value) {
    if (isView<QUtf8StringView>(value)) return setSubItem(row, value.toString());
    checkRow(row);
    checkLength(value);
    Row& r = rows_[size_t(row - 1)];
    if (row == count() && endOf(r) == qsizetype(bytes_.size())) {
        // The last row written, as every loader's is: its value is replaced in place.
        bytes_.resize(size_t(nameEnd(r)));
        r.valueLength = 0;
        r.wideValue = false;
    } else {
        // Rewriting an earlier row moves it to the end; its old bytes become waste.
        const QString name = text(row);
        const qsizetype oldBytes = endOf(r) - r.start;
        appendName(r, name);
        wasted_ += oldBytes;
    }
    appendValue(r, value);
    if (row <= shown_) {
        const QModelIndex cell = index(int(row - 1), 1);
        Q_EMIT dataChanged(cell, cell);
    }
    compactIfWasteful();
}

SliceTableModel::Cell SliceTableModel::cell(qsizetype row, int column) const {
    checkRow(row);
    const Row& r = at(row);
    if (column == 0) return Cell{bytes_.data() + r.start, r.nameLength, bool(r.wideName)};
    return Cell{bytes_.data() + valueStart(r), r.valueLength, bool(r.wideValue)};
}

char16_t* SliceTableModel::copy(const Cell& cell, char16_t* out) {
    if (!cell.wide) return widen(cell.data, cell.length, out);
    std::memcpy(out, cell.data, size_t(cell.length) * 2);
    return out + cell.length;
}

qsizetype SliceTableModel::textLength(qsizetype row) const { return cell(row, 0).length; }
qsizetype SliceTableModel::subItemLength(qsizetype row) const { return cell(row, 1).length; }

char16_t* SliceTableModel::copyText(qsizetype row, char16_t* out) const {
    return copy(cell(row, 0), out);
}

char16_t* SliceTableModel::copySubItem(qsizetype row, char16_t* out) const {
    return copy(cell(row, 1), out);
}

QString SliceTableModel::text(qsizetype row) const {
    QString name(textLength(row), Qt::Uninitialized);
    copyText(row, reinterpret_cast<char16_t*>(name.data()));
    return name;
}

QString SliceTableModel::subItem(qsizetype row) const {
    QString value(subItemLength(row), Qt::Uninitialized);
    copySubItem(row, reinterpret_cast<char16_t*>(value.data()));
    return value;
}

CellText SliceTableModel::subItemView(qsizetype row) const {
    CellText text;
    const Cell value = cell(row, 1);
    text.size_ = value.length;
    if (value.length <= CellText::kInline)
        copy(value, text.inline_);
    else
        text.large_ = subItem(row);
    return text;
}

QString SliceTableModel::displayText(qsizetype row, int column) const {
    const Cell shown = cell(row, column);
    if (shown.wide)
        return ::displayText(
            QStringView(reinterpret_cast<const char16_t*>(shown.data), shown.length));
    if (shown.length <= kDisplayTextLimit) return QString::fromLatin1(shown.data, shown.length);
    return QString::fromLatin1(shown.data, kDisplayTextLimit) + QChar(0x2026);
}

void SliceTableModel::remove(qsizetype row) {
    checkRow(row);
    flushAppends();
    beginRemoveRows(QModelIndex(), int(row - 1), int(row - 1));
    const Row& r = at(row);
    wasted_ += endOf(r) - r.start;
    rows_.erase(rows_.begin() + (row - 1));
    shown_ = count();
    endRemoveRows();
    compactIfWasteful();
}

void SliceTableModel::clear() {
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    bytes_.clear();
    bytes_.shrink_to_fit();
    wasted_ = 0;
    shown_ = 0;
    endResetModel();
}

void SliceTableModel::compactIfWasteful() {
    // Compacting only when at least half the bytes are waste keeps removal amortised O(1) per
    // removed byte while bounding memory at twice the live text.
    if (wasted_ < 4096 || wasted_ * 2 < qsizetype(bytes_.size())) return;
    std::string compact;
    compact.reserve(bytes_.size() - size_t(wasted_) + rows_.size());
    for (Row& r : rows_) {
        const qsizetype from = r.start;
        const qsizetype length = endOf(r) - from;
        // Texts in UTF-16 stay at even offsets: a row with such a name starts even, any other
        // keeps the parity it had, so the padding inside it stays right.
        if (r.wideName && compact.size() % 2) compact.push_back('\0');
        if (!r.wideName && (compact.size() % 2) != size_t(from % 2)) compact.push_back('\0');
        r.start = qsizetype(compact.size());
        compact.append(bytes_, size_t(from), size_t(length));
    }
    bytes_.swap(compact);
    wasted_ = 0;
}

void SliceTableModel::flushAppends() {
    flushQueued_ = false;
    if (shown_ >= count()) return;
    beginInsertRows(QModelIndex(), int(shown_), int(count() - 1));
    shown_ = count();
    endInsertRows();
}

QModelIndex SliceTableModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || column < 0 || row >= shown_ || column >= columns())
        return QModelIndex();
    return createIndex(row, column);
}

Qt::ItemFlags SliceTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this || index.row() >= shown_ ||
        index.column() >= columns())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
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
    if (role == Qt::DisplayRole) return displayText(row, index.column());
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
    setColumnWidth(column - 1, twipsToPixels(twips));
}

qsizetype ListView::selectedRow() const {
    const QModelIndex current = selectionModel()->currentIndex();
    if (!current.isValid() || !selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return 0;
    return current.row() + 1;
}
