#include "slices/number_text.h"
#include "platform/failure.h"

#include "fakes/locale_scope.h"

#include <gtest/gtest.h>
#include <QLocale>
#include <cmath>
#include <limits>
#include <random>

namespace {

struct NumericCase {
    const char* locale;
    const char16_t* text;
    bool numeric;
};

QLocale localeNamed(const char* name) {
    return QString::fromLatin1(name) == u"de" ? kGerman : kEnglish;
}

}  // namespace

// A number too small for a double reads as the nearest double, zero; one too large is none.
TEST(NumericTest, AcceptsNumbersInTheUserLocaleOnly) {
    const NumericCase cases[] = {
        {"en", u"5", true},      {"en", u" 7 ", true},    {"en", u"3.50", true},
        {"en", u"-2.5", true},   {"en", u"+4", true},     {"en", u"1e3", true},
        {"en", u"1E-05", true},  {"en", u"1,000", true},  {"en", u"007", true},
        {"en", u"\t8\t", true},  {"en", u"", false},      {"en", u"   ", false},
        {"en", u"abc", false},   {"en", u"12abc", false}, {"en", u"3,50", false},
        {"en", u"1e400", false}, {"en", u"inf", false},   {"en", u"nan", false},
        {"en", u"1e", false},    {"en", u"--1", false},   {"en", u"1.2.3", false},
        {"de", u"3,50", true},   {"de", u"1.000", true},  {"de", u"-0,5", true},
        {"de", u"1e3", true},    {"de", u"3.50", false},  {"de", u"", false},
        {"en", u"1e-400", true}, {"en", u"2e-324", true}, {"de", u"5e-400", true},
        {"en", u"1e-999", true}, {"en", u"1e309", false},
    };
    for (const NumericCase& c : cases) {
        LocaleScope scope(localeNamed(c.locale));
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString() + " in " + c.locale);
        EXPECT_EQ(isNumeric(QStringView(c.text)), c.numeric);
    }
}

TEST(CanonicalText, WritesAtMostFifteenDigitsInTheLocale) {
    struct Case {
        const char* locale;
        const char16_t* text;
        const char16_t* canonical;
    };
    const Case cases[] = {
        {"en", u"3.50", u"3.5"},        {"en", u"007", u"7"},
        {"en", u"1,000", u"1000"},      {"en", u"1e3", u"1000"},
        {"en", u" 7 ", u"7"},           {"en", u"123456789012345678", u"1.23456789012346E+17"},
        {"en", u"0.00001", u"1E-05"},   {"en", u"0.0001", u"0.0001"},
        {"en", u"1e15", u"1E+15"},      {"en", u"999999999999999", u"999999999999999"},
        {"en", u"-2.50", u"-2.5"},      {"en", u"-0", u"0"},
        {"en", u"1e-300", u"1E-300"},   {"de", u"3,50", u"3,5"},
        {"de", u"1.000", u"1000"},      {"de", u"0,00001", u"1E-05"},
        {"de", u"-1234,5", u"-1234,5"}, {"en", u"1e-400", u"0"},
        {"en", u"-1e-400", u"0"},       {"en", u"4.9e-324", u"4.94065645841247E-324"},
    };
    for (const Case& c : cases) {
        LocaleScope scope(localeNamed(c.locale));
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString() + " in " + c.locale);
        EXPECT_EQ(canonicalFromText(QStringView(c.text)), QString::fromUtf16(c.canonical));
    }
    LocaleScope scope(kEnglish);
    EXPECT_EQ(canonicalNumberText(0.1 + 0.2), u"0.3");
    EXPECT_THROW(canonicalFromText(u"abc"), Failure);
}

TEST(CanonicalText, IsNumericAndReadsBackToTheSameNumber) {
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> mantissa(-10, 10);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (const QLocale& locale : {kEnglish, kGerman}) {
        LocaleScope scope(locale);
        for (int i = 0; i < 2000; ++i) {
            const double value = mantissa(random) * std::pow(10.0, exponent(random));
            const QString text = canonicalNumberText(value);
            SCOPED_TRACE(text.toStdString());
            const std::optional<double> back = currentNumbers().parse(text);
            ASSERT_TRUE(back.has_value());
            EXPECT_EQ(canonicalNumberText(*back), text);
            EXPECT_NEAR(*back, value, std::abs(value) * 1e-14);
        }
    }
}

TEST(NumericTest, FastPathAgreesWithQLocale) {
    // The fast path must accept and read exactly what QLocale does for the shapes it handles.
    const char* alphabet = "0123456789.,-+eE x";
    std::mt19937 random(7);
    std::uniform_int_distribution<int> length(1, 8);
    std::uniform_int_distribution<int> pick(0, int(std::strlen(alphabet)) - 1);
    for (const QLocale& locale : {kEnglish, kGerman}) {
        const LocaleNumbers numbers(locale);
        for (int i = 0; i < 20000; ++i) {
            QString text;
            for (int n = length(random); n > 0; --n)
                text.append(QLatin1Char(alphabet[pick(random)]));
            bool ok = false;
            const double reference = locale.toDouble(text, &ok);
            const bool referenceNumeric =
                ok && std::isfinite(reference) && !text.trimmed().isEmpty();
            const std::optional<double> ours = numbers.parse(text);
            SCOPED_TRACE(text.toStdString() + " in " + locale.name().toStdString());
            if (ours && !referenceNumeric) {
                // QLocale refuses a number too small for a double; it reads as zero.
                EXPECT_EQ(*ours, 0);
                continue;
            }
            ASSERT_EQ(ours.has_value(), referenceNumeric);
            if (ours) {
                EXPECT_EQ(*ours, reference);
            }
        }
    }
}

TEST(CanonicalText, ATextTakenAsCanonicalIsWhatConvertingItWrites) {
    // List files keep such values as they are, unconverted; that must change nothing.
    const char* alphabet = "00123456789.,-";
    std::mt19937 random(11);
    std::uniform_int_distribution<int> length(1, 20);
    std::uniform_int_distribution<int> pick(0, int(std::strlen(alphabet)) - 1);
    for (const QLocale& locale : {kEnglish, kGerman}) {
        const LocaleNumbers numbers(locale);
        QStringList texts = {
            "0.0001",           "0.00001",           "-0", "0",   "999999999999999", "-0.5",
            "1234567890.12345", "1234567890.123456", "10", "0.10"};
        for (int i = 0; i < 50000; ++i) {
            QString text;
            for (int n = length(random); n > 0; --n)
                text.append(QLatin1Char(alphabet[pick(random)]));
            texts.append(text);
        }
        for (const QString& text : texts) {
            if (!numbers.isCanonical(text)) continue;
            SCOPED_TRACE(text.toStdString() + " in " + locale.name().toStdString());
            const std::optional<double> value = numbers.parse(text);
            ASSERT_TRUE(value.has_value());
            EXPECT_EQ(numbers.format(*value), text);
        }
        EXPECT_TRUE(numbers.isCanonical(locale == kEnglish ? u"-79720.1" : u"-79720,1"));
    }
}

TEST(CanonicalText, IsNumericInLocalesWithOtherDigitsSignsAndExponents) {
    // Arabic (Egypt) writes a two-character minus sign and Arabic-Indic digits, Swedish and
    // Persian an exponent QLocale cannot read back; the canonical text must stay numeric there.
    const QLocale locales[] = {
        QLocale(QLocale::Arabic, QLocale::Egypt),       QLocale(QLocale::Swedish, QLocale::Sweden),
        QLocale(QLocale::Persian, QLocale::Iran),       QLocale(QLocale::French, QLocale::France),
        QLocale(QLocale::German, QLocale::Switzerland), kEnglish,
    };
    const double values[] = {-9.20525515951853e123,
                             -2.5,
                             1e-5,
                             0.1 + 0.2,
                             123456789012345678.0,
                             std::numeric_limits<double>::max(),
                             -std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::denorm_min()};
    for (const QLocale& locale : locales) {
        LocaleScope scope(locale);
        for (double value : values) {
            const QString text = canonicalNumberText(value);
            SCOPED_TRACE(locale.name().toStdString() + ": " + text.toStdString());
            ASSERT_TRUE(isNumeric(text));
            EXPECT_EQ(canonicalFromText(text), text);
            EXPECT_NEAR(*currentNumbers().parse(text), value, std::abs(value) * 6e-15);
        }
    }
}

TEST(CanonicalText, TheLargestNumbersKeepATextInsideTheDoubleRange) {
    LocaleScope scope(kEnglish);
    // Rounded to fifteen digits they would read 1.79769313486232E+308, past the largest double.
    EXPECT_EQ(canonicalNumberText(std::numeric_limits<double>::max()), u"1.79769313486231E+308");
    EXPECT_EQ(canonicalFromText(u"-1.7976931348623157e308"), u"-1.79769313486231E+308");
    EXPECT_FALSE(isNumeric(u"1.79769313486232E+308"));
}
