#include "slices/persistence.h"

#include "platform/list_view.h"
#include "platform/settings_store.h"
#include "shell/error_report.h"
#include "shell/titles.h"
#include "slices/store_notice.h"
#include "windows/form1.h"

#include <vector>

namespace {

constexpr QStringView separator() { return QStringView(kNameValueSeparator); }
constexpr QStringView terminator() { return QStringView(kRowTerminator); }

void appendRow(QString& text, const SliceTableModel& items, qsizetype row) {
    text.append(items.textView(row));
    text.append(separator());
    text.append(items.subItemView(row));
    text.append(terminator());
}

qsizetype encodedSize(const SliceTableModel& items) {
    qsizetype size = 0;
    for (qsizetype row = 1; row <= items.count(); ++row)
        size += items.textView(row).size() + items.subItemView(row).size() + separator().size() +
                terminator().size();
    return size;
}

std::vector<QStringView> splitAll(QStringView text, QStringView at) {
    std::vector<QStringView> pieces;
    qsizetype from = 0;
    for (;;) {
        const qsizetype found = text.indexOf(at, from);
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
    QString text;
    text.reserve(encodedSize(items));
    for (qsizetype row = 1; row <= items.count(); ++row) appendRow(text, items, row);
    return text;
}

void saveList(Form1& form, GuardedProcedure& guard) {
    const SliceTableModel& items = form.ListView1->items();
    QString text;
    guard.step(100, [&] {
        text = QString();
        text.reserve(encodedSize(items));
    });
    // Counters are as wide as the list: every row is stored, however many there are.
    guard.forLoop(
        102, 106, [&] { return std::pair<qsizetype, qsizetype>(1, items.count()); },
        [&](qsizetype row) { guard.step(104, [&] { appendRow(text, items, row); }); });
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
    tellOfUnreadableStore(form);
    if (guard.exitTest(138, [&] { return text.isEmpty(); })) return;
    std::vector<QStringView> pieces;
    guard.step(140, [&] { pieces = splitAll(text, terminator()); });
    guard.forLoop(
        142, 152, [&] { return std::pair<qsizetype, qsizetype>(0, qsizetype(pieces.size()) - 1); },
        [&](qsizetype i) {
            if (guard.exitTest(144, [&] { return pieces.at(size_t(i)).isEmpty(); })) return;
            QStringView name;
            QStringView value;
            bool hasValue = false;
            guard.step(146, [&] {
                const QStringView piece = pieces.at(size_t(i));
                const qsizetype at = piece.indexOf(separator());
                name = at < 0 ? piece : piece.left(at);
                if (at >= 0) {
                    hasValue = true;
                    // Fields after the value are ignored.
                    const QStringView rest = piece.mid(at + separator().size());
                    const qsizetype next = rest.indexOf(separator());
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
