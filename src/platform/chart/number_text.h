#pragma once
// Number texts, shared by the list's handlers and the chart control that reads its data points.
//
// Number texts follow the user's locale (QLocale(), the system locale unless a test sets the
// default). The separators are read once per locale and the digits done with the standard
// library, with QLocale as the reference for every form the fast path does not take itself.

#include <QLocale>
#include <QString>
#include <optional>

class LocaleNumbers {
  public:
    explicit LocaleNumbers(const QLocale& locale);

    // The number a whole text reads as (blanks around it allowed), or nothing when the text is
    // not numeric: empty, malformed, too large for a double or not finite. A number too small
    // for a double ("1e-400") reads as its nearest double, zero. Besides what QLocale
    // reads, the shape of the canonical text is numeric in every locale: ASCII digits, the
    // locale's or an ASCII sign, the locale's decimal separator and an E exponent. QLocale alone
    // does not read that back where the locale writes other digits or another exponent.
    std::optional<double> parse(QStringView text) const;
    // The plain shape only (sign, ASCII digits, the locale's decimal separator, exponent), which
    // is every shape a long number takes in practice, read at a cost linear in the text: QLocale
    // costs about 0.3 µs a character however early the text goes wrong. trimmed has no blanks
    // around it.
    std::optional<double> parseLong(QStringView trimmed) const;
    // At most 15 significant digits, the locale's decimal separator, no grouping, no trailing
    // zeros, exponent form ("1E+15", "1E-05") below 1e-4 and from 1e15; negative zero is "0".
    QString format(double value) const;
    // The same text written into out, which holds kFormatCapacity characters; its length.
    static constexpr qsizetype kFormatCapacity = 64;
    qsizetype formatTo(double value, char16_t* out) const;

    // Whether the text is already the canonical text of the number it reads as: an optional
    // minus, digits without leading zeros, the decimal separator and digits without trailing
    // zeros, at most 15 significant digits, in the range written without an exponent. Such a
    // text needs no conversion at all, which is most of what list files hold.
    bool isCanonical(QStringView text) const;

    const QLocale& locale() const { return locale_; }

  private:
    std::optional<double> parseSlow(QStringView trimmed) const;

    QLocale locale_;
    // Some locales' signs are two characters (a direction mark and the sign); all are matched
    // as texts.
    QString decimal_;
    QString minus_;
    QString plus_;
};

// Whether a plain number text (ASCII sign, digits, '.', 'e' exponent) that from_chars finds out
// of range is nearer to zero than the smallest double.
bool isBelowSmallestDouble(const char* number, qsizetype size);

inline bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }
// The text without the white space before and after it.
QStringView trimBlanks(QStringView text);

// The leading number of a text in fixed notation: blanks, tabs and line feeds skipped anywhere,
// an optional sign, digits with a point, an optional exponent after E or D; 0 when the text does
// not begin with a number. Empty when the number is too large for a double.
std::optional<double> fixedNotationNumber(QStringView text);

// The LocaleNumbers of the current default locale, rebuilt when the default changes.
const LocaleNumbers& currentNumbers();

bool isNumeric(QStringView text);
QString canonicalNumberText(double value);
// The canonical text of a numeric text; throws Failure when the text is not numeric.
QString canonicalFromText(QStringView text);
