#include "slices/number_text.h"

#include "platform/failure.h"

#include <charconv>
#include <cmath>

namespace {

QChar singleChar(const QString& s, QChar fallback) { return s.size() == 1 ? s.at(0) : fallback; }

bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

QStringView trimBlanks(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).isSpace()) ++begin;
    while (end > begin && text.at(end - 1).isSpace()) --end;
    return text.mid(begin, end - begin);
}

}  // namespace

LocaleNumbers::LocaleNumbers(const QLocale& locale)
    : locale_(locale),
      decimal_(singleChar(locale.decimalPoint(), u'\0')),
      minus_(singleChar(locale.negativeSign(), u'\0')),
      plus_(singleChar(locale.positiveSign(), u'\0')),
      singleCharSeparators_(locale.decimalPoint().size() == 1 &&
                            locale.negativeSign().size() == 1 && locale.positiveSign().size() == 1),
      decimalText_(locale.decimalPoint()),
      negativeText_(locale.negativeSign()) {}

std::optional<double> LocaleNumbers::parse(QStringView text) const {
    const QStringView t = trimBlanks(text);
    if (t.isEmpty()) return std::nullopt;
    if (!singleCharSeparators_) return parseSlow(t);

    // The common shape: sign? digits (decimal digits)? (e sign? digits)?, ASCII digits only.
    // Anything else (grouping, other digits, other shapes) goes to QLocale.
    constexpr qsizetype kFastLimit = 64;
    if (t.size() > kFastLimit) return parseSlow(t);
    char buffer[kFastLimit + 1];
    qsizetype n = 0;
    qsizetype i = 0;
    if (t.at(i) == minus_ || t.at(i) == u'-') {
        buffer[n++] = '-';
        ++i;
    } else if (t.at(i) == plus_ || t.at(i) == u'+') {
        ++i;
    }
    const qsizetype intStart = i;
    while (i < t.size() && isAsciiDigit(t.at(i))) buffer[n++] = char(t.at(i++).unicode());
    if (i == intStart) return parseSlow(t);
    if (i < t.size() && t.at(i) == decimal_) {
        buffer[n++] = '.';
        ++i;
        const qsizetype fracStart = i;
        while (i < t.size() && isAsciiDigit(t.at(i))) buffer[n++] = char(t.at(i++).unicode());
        if (i == fracStart) return parseSlow(t);
    }
    if (i < t.size() && (t.at(i) == u'e' || t.at(i) == u'E')) {
        buffer[n++] = 'e';
        ++i;
        if (i < t.size() && (t.at(i) == minus_ || t.at(i) == u'-')) {
            buffer[n++] = '-';
            ++i;
        } else if (i < t.size() && (t.at(i) == plus_ || t.at(i) == u'+')) {
            ++i;
        }
        const qsizetype expStart = i;
        while (i < t.size() && isAsciiDigit(t.at(i))) buffer[n++] = char(t.at(i++).unicode());
        if (i == expStart) return parseSlow(t);
    }
    if (i != t.size()) return parseSlow(t);

    double value = 0;
    const auto [end, error] = std::from_chars(buffer, buffer + n, value);
    if (error != std::errc() || end != buffer + n || !std::isfinite(value)) {
        // from_chars reports underflow as out of range too; QLocale reads it as zero.
        if (error == std::errc::result_out_of_range) return parseSlow(t);
        return std::nullopt;
    }
    return value;
}

std::optional<double> LocaleNumbers::parseSlow(QStringView trimmed) const {
    bool ok = false;
    const double value = locale_.toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

qsizetype LocaleNumbers::formatTo(double value, char16_t* out) const {
    if (value == 0) {  // also negative zero
        out[0] = u'0';
        return 1;
    }
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    char16_t* const begin = out;
    char16_t* const limit = out + kFormatCapacity;
    const auto put = [&](QStringView text) {
        for (QChar c : text)
            if (out < limit) *out++ = c.unicode();
    };
    for (const char* p = buffer; p != result.ptr; ++p) {
        switch (*p) {
            case 'e':
                put(u"E");
                break;
            case '.':
                put(decimalText_);
                break;
            case '-':
                // The exponent's sign stays ASCII; the leading one is the locale's.
                put(p == buffer ? QStringView(negativeText_) : QStringView(u"-"));
                break;
            default:
                if (out < limit) *out++ = char16_t(*p);
                break;
        }
    }
    return out - begin;
}

QString LocaleNumbers::format(double value) const {
    char16_t text[kFormatCapacity];
    return QString(reinterpret_cast<const QChar*>(text), formatTo(value, text));
}

const LocaleNumbers& currentNumbers() {
    // The UI thread is the only caller; the cache is rebuilt when a test or the user changes the
    // default locale.
    thread_local std::optional<LocaleNumbers> cached;
    const QLocale current;
    if (!cached || cached->locale() != current) cached.emplace(current);
    return *cached;
}

bool isNumeric(QStringView text) { return currentNumbers().parse(text).has_value(); }

QString canonicalNumberText(double value) { return currentNumbers().format(value); }

QString canonicalFromText(QStringView text) {
    const LocaleNumbers& numbers = currentNumbers();
    const std::optional<double> value = numbers.parse(text);
    if (!value)
        throw Failure(QStringLiteral("The value \"%1\" is not a number.").arg(text.toString()));
    return numbers.format(*value);
}
