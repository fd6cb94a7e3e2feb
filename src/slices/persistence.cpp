#include "slices/persistence.h"

#include "platform/controls/list_view.h"
#include "platform/store/settings_store.h"
#include "runtime/error_report.h"
#include "runtime/titles.h"
#include "slices/store_notice.h"
#include "windows/form1.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

constexpr QStringView separator() { return QStringView(kNameValueSeparator); }
constexpr QStringView terminator() { return QStringView(kRowTerminator); }

qsizetype encodedLength(const SliceTableModel& items, qsizetype row) {
    return items.textLength(row) + separator().size() + items.subItemLength(row) +
           terminator().size();
}

qsizetype encodedSize(const SliceTableModel& items) {
    qsizetype size = 0;
    for (qsizetype row = 1; row <= items.count(); ++row) size += encodedLength(items, row);
    return size;
}

char16_t* put(QStringView text, char16_t* out) {
    std::memcpy(out, text.utf16(), size_t(text.size()) * sizeof(char16_t));
    return out + text.size();
}

// Writes the row's encoding at out, which has room for it; the end. The text is sized once for
// the whole list and each row written in place: appending piece by piece costs several times
// as much for a long list.
char16_t* encodeRow(const SliceTableModel& items, qsizetype row, char16_t* out) {
    out = items.copyText(row, out);
    out = put(separator(), out);
    out = items.copySubItem(row, out);
    return put(terminator(), out);
}

constexpr qsizetype kMarkerLength = 15;

// Both separator texts start with a letter that occurs nowhere else in either, so no occurrence
// of one can begin inside an occurrence of the other or of itself: one left-to-right pass that
// steps over each occurrence finds every terminator and separator exactly as separate searches
// would.
constexpr bool leadsOnlyOnce(const char16_t* marker, char16_t lead) {
    for (qsizetype i = 1; i < kMarkerLength; ++i)
        if (marker[i] == lead) return false;
    return true;
}
static_assert(std::size(kNameValueSeparator) == kMarkerLength + 1 &&
              std::size(kRowTerminator) == kMarkerLength + 1);
static_assert(kNameValueSeparator[0] == kRowTerminator[0] &&
              leadsOnlyOnce(kNameValueSeparator, kRowTerminator[0]) &&
              leadsOnlyOnce(kRowTerminator, kRowTerminator[0]));

bool markerAt(const char16_t* at, const char16_t* marker) {
    return std::memcmp(at, marker, kMarkerLength * sizeof(char16_t)) == 0;
}

// The first name/value separator in text from a position on, or -1.
qsizetype findSeparator(QStringView text, qsizetype from) {
    const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
    for (qsizetype i = from; i + kMarkerLength <= text.size(); ++i)
        if (p[i] == kNameValueSeparator[0] && markerAt(p + i, kNameValueSeparator)) return i;
    return -1;
}

// A piece of the stored text between two row terminators, and where its first name/value
// separator stands (-1: it has none).
struct Piece {
    qsizetype start;
    qsizetype end;
    qsizetype separator;
};

// The pieces of the whole text in one pass. A plain loop: the separators come every few
// characters, too often for a vectorised search to pay for its calls.
std::vector<Piece> splitStored(QStringView text) {
    std::vector<Piece> pieces;
    const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype size = text.size();
    Piece piece{0, 0, -1};
    qsizetype i = 0;
    while (i + kMarkerLength <= size) {
        if (p[i] != kRowTerminator[0]) {
            ++i;
        } else if (markerAt(p + i, kRowTerminator)) {
            piece.end = i;
            pieces.push_back(piece);
            i += kMarkerLength;
            piece = Piece{i, 0, -1};
        } else if (markerAt(p + i, kNameValueSeparator)) {
            if (piece.separator < 0) piece.separator = i;
            i += kMarkerLength;
        } else {
            ++i;
        }
    }
    piece.end = size;
    pieces.push_back(piece);
    return pieces;
}

}  // namespace

QString encodeList(const ListView& list) {
    const SliceTableModel& items = list.items();
    QString text(encodedSize(items), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype row = 1; row <= items.count(); ++row) out = encodeRow(items, row, out);
    return text;
}

bool storeListWithoutWindows(Form1& form) {
    try {
        form.platform.settings->SaveSetting(QString::fromUtf16(kSettingsAppName), productTitle(),
                                            QString::fromUtf16(kDataKey),
                                            encodeList(*form.ListView1));
        return true;
    } catch (const std::exception& failure) {
        // A list too large to encode is not stored in part: the whole earlier one stays.
        std::fprintf(stderr, "The list could not be stored: %s\n", failure.what());
        return false;
    }
}

bool saveList(Form1& form, GuardedProcedure& guard) {
    const SliceTableModel& items = form.ListView1->items();
    QString text;
    qsizetype written = 0;
    bool whole = true;
    guard.step(100, [&] { text = QString(encodedSize(items), Qt::Uninitialized); });
    // Counters are as wide as the list: every row is stored, however many there are.
    guard.forLoop(
        102, 106, [&] { return std::pair<qsizetype, qsizetype>(1, items.count()); },
        [&](qsizetype row) {
            whole = guard.step(104, [&] {
                const qsizetype length = encodedLength(items, row);
                if (text.size() - written < length)  // the sizing above failed
                    text.resize(std::max(written + length, text.size() * 2));
                char16_t* begin = reinterpret_cast<char16_t*>(text.data());
                written = encodeRow(items, row, begin + written) - begin;
            }) && whole;
        });
    // Only what was written is stored (all of it unless a step above failed).
    text.truncate(written);
    return guard.step(108, [&] {
        form.platform.settings->SaveSetting(QString::fromUtf16(kSettingsAppName), productTitle(),
                                            QString::fromUtf16(kDataKey), text);
    }) && whole;
}

void restoreList(Form1& form, GuardedProcedure& guard) {
    ListView& list = *form.ListView1;
    QString text;
    guard.step(136, [&] {
        text = form.platform.settings->GetSetting(QString::fromUtf16(kSettingsAppName),
                                                  productTitle(), QString::fromUtf16(kDataKey));
    });
    tellOfUnreadableStore(form);
    if (guard.exitTest(138, [&] { return text.isEmpty(); })) return;
    std::vector<Piece> pieces;
    guard.step(140, [&] {
        pieces = splitStored(text);
        try {
            list.items().reserveAppends(qsizetype(pieces.size()), text.size());
        } catch (const std::bad_alloc&) {
            // Only a hint: the rows still go in, one growth at a time.
        }
    });
    guard.forLoop(
        142, 152, [&] { return std::pair<qsizetype, qsizetype>(0, qsizetype(pieces.size()) - 1); },
        [&](qsizetype i) {
            if (guard.exitTest(144, [&] {
                    const Piece& piece = pieces.at(size_t(i));
                    return piece.start == piece.end;
                }))
                return;
            QStringView name;
            QStringView value;
            bool hasValue = false;
            guard.step(146, [&] {
                const Piece& piece = pieces.at(size_t(i));
                const QStringView whole =
                    QStringView(text).sliced(piece.start, piece.end - piece.start);
                hasValue = piece.separator >= 0;
                name = hasValue ? whole.first(piece.separator - piece.start) : whole;
                if (hasValue) {
                    // Fields after the value are ignored.
                    const QStringView rest = whole.sliced(name.size() + kMarkerLength);
                    const qsizetype next = findSeparator(rest, 0);
                    value = next < 0 ? rest : rest.first(next);
                }
            });
            qsizetype row = 0;
            guard.step(148, [&] { row = list.add(name); });
            guard.step(150, [&] {
                if (!hasValue)
                    throw Failure(QStringLiteral("The stored row \"%1\" has no value part.")
                                      .arg(name.left(80).toString()));
                list.setSubItem(row, value);
            });
        });
}
