#include "slices/persistence.h"

#include "platform/list_view.h"
#include "platform/settings_store.h"
#include "shell/error_report.h"
#include "shell/titles.h"
#include "windows/form1.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr QStringView separator() { return QStringView(kNameValueSeparator); }
constexpr QStringView terminator() { return QStringView(kRowTerminator); }

qsizetype encodedLength(const SliceTableModel& items, qsizetype row) {
    return items.textLength(row) + separator().size() + items.subItemView(row).size() +
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
    out = put(items.subItemView(row), out);
    return put(terminator(), out);
}

// The first occurrence of what in text from a position on, or -1. Both separator texts begin
// with a letter that is rare in names, found by Qt's vectorised character search; a general
// substring search costs several times as much on a long list.
qsizetype find(QStringView text, QStringView what, qsizetype from) {
    const QChar first = what.front();
    for (;;) {
        const qsizetype at = text.indexOf(first, from);
        if (at < 0 || text.size() - at < what.size()) return -1;
        if (text.sliced(at, what.size()) == what) return at;
        from = at + 1;
    }
}

std::vector<QStringView> splitAll(QStringView text, QStringView at) {
    std::vector<QStringView> pieces;
    qsizetype from = 0;
    for (;;) {
        const qsizetype found = find(text, at, from);
        if (found < 0) break;
        pieces.push_back(text.mid(from, found - from));
        from = found + at.size();
    }
    pieces.push_back(text.mid(from));
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

void saveList(Form1& form, GuardedProcedure& guard) {
    const SliceTableModel& items = form.ListView1->items();
    QString text;
    qsizetype written = 0;
    guard.step(100, [&] { text = QString(encodedSize(items), Qt::Uninitialized); });
    // Counters are as wide as the list: every row is stored, however many there are.
    guard.forLoop(
        102, 106, [&] { return std::pair<qsizetype, qsizetype>(1, items.count()); },
        [&](qsizetype row) {
            guard.step(104, [&] {
                const qsizetype length = encodedLength(items, row);
                if (text.size() - written < length)  // the sizing above failed
                    text.resize(std::max(written + length, text.size() * 2));
                char16_t* begin = reinterpret_cast<char16_t*>(text.data());
                written = encodeRow(items, row, begin + written) - begin;
            });
        });
    // Only what was written is stored (all of it unless a step above failed).
    text.truncate(written);
    guard.step(108, [&] {
        form.platform.settings->SaveSetting(QString::fromUtf16(kSettingsAppName), productTitle(),
                                            QString::fromUtf16(kDataKey), text);
    });
}

void restoreList(Form1& form, GuardedProcedure& guard) {
    ListView& list = *form.ListView1;
    QString text;
    guard.step(136, [&] {
        text = form.platform.settings->GetSetting(QString::fromUtf16(kSettingsAppName),
                                                  productTitle(), QString::fromUtf16(kDataKey));
    });
    if (guard.exitTest(138, [&] { return text.isEmpty(); })) return;
    std::vector<QStringView> pieces;
    guard.step(140, [&] {
        pieces = splitAll(text, terminator());
        try {
            list.items().reserveAppends(qsizetype(pieces.size()), text.size());
        } catch (const std::bad_alloc&) {
            // Only a hint: the rows still go in, one growth at a time.
        }
    });
    guard.forLoop(
        142, 152, [&] { return std::pair<qsizetype, qsizetype>(0, qsizetype(pieces.size()) - 1); },
        [&](qsizetype i) {
            if (guard.exitTest(144, [&] { return pieces.at(size_t(i)).isEmpty(); })) return;
            QStringView name;
            QStringView value;
            bool hasValue = false;
            guard.step(146, [&] {
                const QStringView piece = pieces.at(size_t(i));
                const qsizetype at = find(piece, separator(), 0);
                name = at < 0 ? piece : piece.left(at);
                if (at >= 0) {
                    hasValue = true;
                    // Fields after the value are ignored.
                    const QStringView rest = piece.mid(at + separator().size());
                    const qsizetype next = find(rest, separator(), 0);
                    value = next < 0 ? rest : rest.left(next);
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
