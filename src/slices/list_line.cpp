#include "platform/chart/number_text.h"
#include "platform/controls/list_view.h"
#include "platform/failure.h"
#include "slices/list_file.h"

namespace {

// QLocale's conversion costs about 0.3 µs a character however early the text goes wrong, so a
// long field would stall the load; longer fields are read by parseLong and QLocale only
// settles the short ones (grouping, other digits and the other rarer forms).
constexpr qsizetype kLocaleParseLimit = 1000;

QString shortened(QStringView text) {
    constexpr qsizetype kShown = 40;
    return text.size() <= kShown ? text.toString() : text.left(kShown).toString() + u'\x2026';
}

// The stored value text, written into the caller's buffer so that a row's value costs no
// allocation of its own.
QStringView writeValueText(QStringView field, const LocaleNumbers& numbers, char16_t* out) {
    const QStringView trimmed = trimBlanks(field);
    if (numbers.isCanonical(trimmed)) return trimmed;
    const std::optional<double> numeric =
        trimmed.size() <= kLocaleParseLimit ? numbers.parse(trimmed) : numbers.parseLong(trimmed);
    if (numeric) return QStringView(out, numbers.formatTo(*numeric, out));
    const std::optional<double> leading = fixedNotationNumber(field);
    if (!leading)
        throw Failure(
            QStringLiteral("The value \"%1\" is too large to be a number.").arg(shortened(field)));
    return QStringView(out, numbers.formatTo(*leading, out));
}

}  // namespace

QString listValueText(QStringView field, const LocaleNumbers& numbers) {
    char16_t text[LocaleNumbers::kFormatCapacity];
    return writeValueText(field, numbers, text).toString();
}

void AddListLine(QStringView line, ListView& list) { AddListLine(line, list, currentNumbers()); }

namespace {

// Lines are short: a plain loop finds their commas faster than a call into Qt's vectorised
// search.
qsizetype findComma(QStringView line, qsizetype from) {
    const QChar* data = line.data();
    for (qsizetype i = from; i < line.size(); ++i)
        if (data[i] == u',') return i;
    return -1;
}

}  // namespace

void AddListLine(QStringView line, ListView& list, const LocaleNumbers& numbers) {
    qsizetype comma = findComma(line, 0);
    if (comma < 0) return;  // fewer than two fields
    qsizetype row = 0;
    qsizetype from = 0;
    for (;;) {
        if (comma < 0) comma = findComma(line, from);
        if (comma < 0) comma = line.size();
        const QStringView field = line.mid(from, comma - from);
        if (!field.isEmpty()) {
            if (row == 0) {
                row = list.add(field);
            } else {
                char16_t value[LocaleNumbers::kFormatCapacity];
                list.setSubItem(row, writeValueText(field, numbers, value));
                return;
            }
        }
        if (comma == line.size()) return;
        from = comma + 1;
        comma = -1;
    }
}
