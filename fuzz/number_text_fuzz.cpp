// The numeric test and the canonical number text, in locales with different separators, signs
// and digits.
//
// Invariants: the test accepts what QLocale reads as a finite number, with the same value, and
// besides only the plain shape of the canonical text; each canonical text is numeric, has at most
// 15 significant digits, no grouping and no trailing zeros, and reads back to the same number
// (writing that number again gives the same text), close to the value it was written from.
#include "platform/chart/number_text.h"
#include "support/fuzz_support.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <cstring>

namespace {

const QLocale kLocales[] = {
    QLocale(QLocale::English, QLocale::UnitedStates),  // 1,234.5
    QLocale(QLocale::German, QLocale::Germany),        // 1.234,5
    QLocale(QLocale::French, QLocale::France),         // 1 234,5 with a narrow no-break space
    QLocale(QLocale::Swedish, QLocale::Sweden),        // a minus sign that is not '-'
    QLocale(QLocale::Arabic, QLocale::Egypt),          // Arabic-Indic digits and separators
    QLocale(QLocale::German, QLocale::Switzerland),    // 1’234.5
    QLocale::c(),
};

// The canonical shape with the locale's decimal separator and minus sign turned into ASCII.
bool hasCanonicalShape(QString text, const QLocale& locale) {
    static const QRegularExpression shape(
        QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]*[1-9])?(E[+-][0-9]{2,3})?$"));
    text.replace(locale.negativeSign(), QStringLiteral("-"));
    text.replace(locale.decimalPoint(), QStringLiteral("."));
    if (!shape.match(text).hasMatch()) return false;
    const QString mantissa = text.section(u'E', 0, 0).remove(u'-').remove(u'.');
    qsizetype first = 0;
    while (first < mantissa.size() - 1 && mantissa.at(first) == u'0') ++first;
    return mantissa.size() - first <= 15;
}

// What the test reads besides QLocale's forms: ASCII digits, signs, the decimal separator and
// an E, the characters of the canonical text.
bool hasPlainShape(QString text, const QLocale& locale) {
    static const QRegularExpression plain(QStringLiteral("^[0-9.eE+-]*$"));
    text = text.trimmed();
    text.replace(locale.negativeSign(), QStringLiteral("-"));
    text.replace(locale.positiveSign(), QStringLiteral("+"));
    text.replace(locale.decimalPoint(), QStringLiteral("."));
    return plain.match(text).hasMatch();
}

void checkCanonical(double value, const QLocale& locale) {
    const QString text = canonicalNumberText(value);
    const QString context =
        QString::number(value, 'g', 17) + " in " + locale.name() + " wrote " + printable(text);
    FUZZ_CHECK(isNumeric(text), context);
    FUZZ_CHECK(hasCanonicalShape(text, locale), context);
    const std::optional<double> back = currentNumbers().parse(text);
    FUZZ_CHECK(back.has_value(), context);
    FUZZ_CHECK(canonicalNumberText(*back) == text, context);
    FUZZ_CHECK(canonicalFromText(text) == text, context);
    // Fifteen significant digits: off by at most half a unit in the fifteenth, plus the rounding
    // of the text back to a double.
    FUZZ_CHECK(std::abs(*back - value) <= std::abs(value) * 6e-15 || value == 0, context);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    startFuzzApplication();
    if (size == 0) return 0;
    const QLocale& locale = kLocales[data[0] % std::size(kLocales)];
    QLocale::setDefault(locale);
    const QString text = QString::fromUtf8(fuzzBytes(data + 1, size - 1));

    bool ok = false;
    const double reference = locale.toDouble(text, &ok);
    const bool referenceNumeric = ok && std::isfinite(reference);
    const std::optional<double> ours = currentNumbers().parse(text);
    const QString context = printable(text) + " in " + locale.name();
    FUZZ_CHECK(isNumeric(text) == ours.has_value(), context);
    FUZZ_CHECK(ours.has_value() || !referenceNumeric, context + " is numeric to QLocale only");
    FUZZ_CHECK(!ours || referenceNumeric || hasPlainShape(text, locale),
               context + " is numeric to us only");
    if (ours && referenceNumeric)
        FUZZ_CHECK(*ours == reference, context + " reads as " + QString::number(*ours, 'g', 17) +
                                           " against " + QString::number(reference, 'g', 17));
    if (ours) checkCanonical(*ours, locale);

    // The raw bytes as a double too, to reach every exponent and the subnormals.
    if (size >= 9) {
        double value = 0;
        std::memcpy(&value, data + 1, sizeof value);
        if (std::isfinite(value)) checkCanonical(value, locale);
    }
    return 0;
}
