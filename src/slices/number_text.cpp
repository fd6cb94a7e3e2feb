#include "slices/number_text.h"

#include "platform/failure.h"

#include <algorithm>
#include <charconv>
#include <cmath>

QStringView trimBlanks(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).isSpace()) ++begin;
    while (end > begin && text.at(end - 1).isSpace()) --end;
    return text.mid(begin, end - begin);
}

LocaleNumbers::LocaleNumbers(const QLocale& locale)
    : locale_(locale),
      decimal_(locale.decimalPoint()),
      minus_(locale.negativeSign()),
      plus_(locale.positiveSign()) {}

bool isBelowSmallestDouble(const char* number, qsizetype size) {
    // The power of ten of the first nonzero digit, plus the exponent; from_chars has already
    // found the number out of range, so a negative power means too small rather than too large.
    qint64 power = 0;
    bool fraction = false;
    bool leading = true;
    qsizetype i = 0;
    for (; i < size && number[i] != 'e'; ++i) {
        const char c = number[i];
        if (c == '.') {
            fraction = true;
        } else if (c >= '0' && c <= '9') {
            if (leading && c == '0') {
                if (fraction) --power;
                continue;
            }
            if (leading) {
                leading = false;
                if (fraction) --power;
            } else if (!fraction) {
                ++power;
            }
        }
    }
    qint64 exponent = 0;
    bool negative = false;
    for (++i; i < size; ++i) {
        if (number[i] == '-') negative = true;
        if (number[i] >= '0' && number[i] <= '9')
            exponent = std::min<qint64>(exponent * 10 + (number[i] - '0'), 1'000'000'000);
    }
    return power + (negative ? -exponent : exponent) < 0;
}

std::optional<double> LocaleNumbers::parse(QStringView text) const {
    const QStringView t = trimBlanks(text);
    if (t.isEmpty()) return std::nullopt;

    // The common shape: sign? digits (decimal digits)? (e sign? digits)?, ASCII digits only.
    // Anything else (grouping, other digits, other shapes) goes to QLocale.
    constexpr qsizetype kFastLimit = 64;
    if (t.size() > kFastLimit) return parseSlow(t);
    char buffer[kFastLimit + 1];
    qsizetype n = 0;
    qsizetype i = 0;
    auto take = [&](const QString& part) {
        if (part.isEmpty() || !t.sliced(i).startsWith(part)) return false;
        i += part.size();
        return true;
    };
    auto takeChar = [&](char16_t c) {
        if (i >= t.size() || t.at(i) != c) return false;
        ++i;
        return true;
    };
    auto takeSign = [&] {
        if (take(minus_) || takeChar(u'-')) {
            buffer[n++] = '-';
        } else if (!take(plus_)) {
            takeChar(u'+');
        }
    };
    takeSign();
    const qsizetype intStart = i;
    while (i < t.size() && isAsciiDigit(t.at(i))) buffer[n++] = char(t.at(i++).unicode());
    if (i == intStart) return parseSlow(t);
    if (take(decimal_)) {
        buffer[n++] = '.';
        const qsizetype fracStart = i;
        while (i < t.size() && isAsciiDigit(t.at(i))) buffer[n++] = char(t.at(i++).unicode());
        if (i == fracStart) return parseSlow(t);
    }
    if (takeChar(u'e') || takeChar(u'E')) {
        buffer[n++] = 'e';
        takeSign();
        const qsizetype expStart = i;
        while (i < t.size() && isAsciiDigit(t.at(i))) buffer[n++] = char(t.at(i++).unicode());
        if (i == expStart) return parseSlow(t);
    }
    if (i != t.size()) return parseSlow(t);

    double value = 0;
    const auto [end, error] = std::from_chars(buffer, buffer + n, value);
    if (error == std::errc::result_out_of_range && isBelowSmallestDouble(buffer, n))
        return buffer[0] == '-' ? -0.0 : 0.0;
    if (error != std::errc() || end != buffer + n || !std::isfinite(value)) return std::nullopt;
    return value;
}

bool LocaleNumbers::isCanonical(QStringView text) const {
    if (minus_.size() != 1 || decimal_.size() != 1) return false;
    constexpr qsizetype kDigits = 15;
    const qsizetype size = text.size();
    qsizetype i = 0;
    const bool negative = size > 0 && text[0] == minus_[0];
    if (negative) ++i;
    const qsizetype intStart = i;
    while (i < size && isAsciiDigit(text[i])) ++i;
    const qsizetype intDigits = i - intStart;
    if (intDigits == 0 || intDigits > kDigits) return false;
    const bool zeroInteger = text[intStart] == u'0';
    if (zeroInteger && intDigits > 1) return false;    // a leading zero
    if (i == size) return !(zeroInteger && negative);  // "-0" is written "0"
    if (text[i] != decimal_[0]) return false;
    const qsizetype fracStart = ++i;
    while (i < size && isAsciiDigit(text[i])) ++i;
    if (i != size || i == fracStart || text[size - 1] == u'0') return false;
    if (!zeroInteger) return intDigits + (size - fracStart) <= kDigits;
    // 0.000ddd: below 1E-04 the canonical text has an exponent.
    qsizetype zeros = 0;
    while (text[fracStart + zeros] == u'0') ++zeros;
    return zeros <= 3 && size - fracStart - zeros <= kDigits;
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
    // Fifteen digits round the largest doubles up to 1.79769313486232E+308, beyond the double
    // range, which would make the text of a valid number unreadable; they take the largest
    // fifteen-digit text inside it.
    constexpr double kLargestFifteenDigits = 1.79769313486231e308;
    if (std::abs(value) > kLargestFifteenDigits)
        value = std::copysign(kLargestFifteenDigits, value);
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
                put(decimal_);
                break;
            case '-':
                // The exponent's sign stays ASCII; the leading one is the locale's.
                put(p == buffer ? QStringView(minus_) : QStringView(u"-"));
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
