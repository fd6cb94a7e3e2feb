#include "platform/failure.h"
#include "platform/list_view.h"
#include "slices/list_file.h"
#include "slices/number_text.h"

#include "fakes/locale_scope.h"

#include <gtest/gtest.h>
#include <QLocale>
#include <charconv>
#include <random>
#include <string>

namespace {

QStringList rowsOf(const ListView& list) {
    QStringList out;
    for (qsizetype i = 1; i <= list.count(); ++i) out.append(list.text(i) + u'=' + list.subItem(i));
    return out;
}

struct LineCase {
    const char* what;
    const char16_t* line;
    const char16_t* row;  // "name=value", or nullptr when the line adds nothing
};

void checkLines(const QLocale& locale, std::initializer_list<LineCase> cases) {
    LocaleScope scope(locale);
    for (const LineCase& c : cases) {
        SCOPED_TRACE(std::string(c.what) + " in " + locale.name().toStdString());
        ListView list;
        AddListLine(QStringView(c.line), list);
        if (c.row) {
            EXPECT_EQ(rowsOf(list), QStringList{QString::fromUtf16(c.row)});
        } else {
            EXPECT_EQ(list.count(), 0);
        }
    }
}

}  // namespace

TEST(AddListLine, ReadsNameAndValueFieldsInEnglish) {
    checkLines(kEnglish,
               {
                   {"plain", u"Orange,3", u"Orange=3"},
                   {"trailing zero", u"Orange,3.50", u"Orange=3.5"},
                   {"leading zeros", u"Orange,0010", u"Orange=10"},
                   {"blank before the value", u"Orange, 5", u"Orange=5"},
                   {"blank before the name", u" Orange,5", u" Orange=5"},
                   {"name of one blank", u" ,5", u" =5"},
                   {"two commas", u"Orange,,5", u"Orange=5"},
                   {"leading comma", u",5", u"5="},
                   {"trailing comma", u"Orange,", u"Orange="},
                   {"commas after the name", u"Orange,,,", u"Orange="},
                   {"three fields", u"Orange,3,4", u"Orange=3"},
                   {"number then letters", u"Orange,12abc", u"Orange=12"},
                   {"letters only", u"Orange,abc", u"Orange=0"},
                   {"header line", u"Name,Value", u"Name=0"},
                   {"exponent", u"Orange,1e3", u"Orange=1000"},
                   {"D exponent", u"Orange,1D3", u"Orange=1000"},
                   {"blanks inside", u"Orange,- 1 2.5x", u"Orange=-12.5"},
                   {"tabs around", u"Orange,\t7\t", u"Orange=7"},
                   {"negative zero", u"Orange,-0", u"Orange=0"},
                   {"point first", u"Orange,.5", u"Orange=0.5"},
                   {"exponent without digits", u"Orange,5e", u"Orange=5"},
                   {"underflow", u"Orange,1e-400", u"Orange=0"},
                   {"negative underflow", u"Orange, -1e-99999 ", u"Orange=0"},
                   {"many digits", u"Orange,123456789012345678", u"Orange=1.23456789012346E+17"},
                   {"comma as decimal", u"Orange,3,50", u"Orange=3"},
                   {"no comma", u"Orange", nullptr},
                   {"empty line", u"", nullptr},
                   {"commas only", u",,,", nullptr},
                   {"one comma", u",", nullptr},
               });
}

TEST(AddListLine, ReadsValuesInTheGermanLocaleWithAPointFallback) {
    checkLines(kGerman, {
                            {"point decimal falls back", u"Orange,3.50", u"Orange=3,5"},
                            {"comma splits the value", u"Orange,3,50", u"Orange=3"},
                            {"grouping", u"Orange,1.000", u"Orange=1000"},
                            {"leading zeros", u"Orange,0010", u"Orange=10"},
                            {"number then letters", u"Orange,12abc", u"Orange=12"},
                            {"exponent with point", u"Orange,2.5e1x", u"Orange=25"},
                            {"letters only", u"Orange,abc", u"Orange=0"},
                        });
}

TEST(ListValueText, LongFieldsAgreeWithQLocale) {
    // Fields past QLocale's share are read by our own scanner; on the shapes both read they must
    // give the same text, and where QLocale refuses the field reads in fixed notation.
    const QString zeros(1500, u'0');
    const QString threes(1500, u'3');
    struct Case {
        const char* what;
        QString field;
    };
    const Case cases[] = {
        {"leading zeros", zeros + "1.5"},
        {"long fraction", "1." + threes},
        {"negative long fraction", "-0." + threes + "7"},
        {"point first", "." + threes},
        {"point last", zeros + "42."},
        {"exponent", zeros + "1.25e-3"},
        {"underflow", "0." + zeros + "1"},
        {"blanks around", QString(1200, u' ') + "5" + QString(1200, u' ')},
        {"letters", QString(1200, u'x')},
        {"digits then letters", zeros + "7abc"},
    };
    for (const QLocale& locale : {kEnglish, kGerman}) {
        LocaleScope scope(locale);
        const LocaleNumbers numbers(locale);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " in " + locale.name().toStdString());
            bool ok = false;
            const double reference = locale.toDouble(c.field, &ok);
            const QString expected =
                ok ? numbers.format(reference) : numbers.format(*fixedNotationNumber(c.field));
            EXPECT_EQ(listValueText(c.field, numbers), expected);
        }
    }
}

TEST(ListValueText, HugeNumbersFailWithAShortDescription) {
    const LocaleNumbers numbers(kEnglish);
    const QString huge = "1" + QString(5'000'000, u'0');
    try {
        listValueText(huge, numbers);
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_LT(failure.description().size(), 120);
        EXPECT_TRUE(failure.description().contains(u"too large"));
    }
}

TEST(FixedNotation, ReadsTheLeadingNumber) {
    struct Case {
        const char16_t* text;
        double value;
    };
    const Case cases[] = {
        {u"", 0},      {u"abc", 0},     {u"12abc", 12}, {u" 1 2 3", 123}, {u"\t-\n4", -4},
        {u"+.5", 0.5}, {u"3.5.6", 3.5}, {u"1,5", 1},    {u"2E3", 2000},   {u"2d-2", 0.02},
        {u"2e+", 2},   {u"2 e 2", 200}, {u"-", 0},      {u".", 0},        {u"1e-400", 0},
        {u"0x10", 0},  {u"\u0665", 0},  {u"7\r8", 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        const std::optional<double> value = fixedNotationNumber(QStringView(c.text));
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(*value, c.value);
    }
    EXPECT_FALSE(fixedNotationNumber(u"1e400").has_value());
    EXPECT_FALSE(fixedNotationNumber(u"1e99999999999999999999").has_value());
    EXPECT_EQ(fixedNotationNumber(u"0e99999999999999999999"), 0.0);
}

TEST(FixedNotation, RoundsLongMantissasLikeFromChars) {
    // Mantissas longer than the digits the scanner keeps must still round correctly.
    std::mt19937 random(11);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> length(1, 1200);
    std::uniform_int_distribution<int> exponent(-340, 300);
    for (int i = 0; i < 300; ++i) {
        std::string text;
        const int integerDigits = length(random);
        for (int n = 0; n < integerDigits; ++n) text += char('0' + digit(random));
        text += '.';
        for (int n = length(random); n > 0; --n) text += char('0' + digit(random));
        text += 'e' + std::to_string(exponent(random) - integerDigits);
        double expected = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), expected);
        if (error != std::errc()) continue;
        SCOPED_TRACE(text.substr(0, 60));
        EXPECT_EQ(fixedNotationNumber(QString::fromLatin1(text)), expected);
    }
}

TEST(NormalizeListPath, CollapsesDoubledBackslashes) {
    struct Case {
        const char16_t* path;
        const char16_t* normalised;
    };
    const Case cases[] = {
        {u"\\dir\\a.txt", u"\\\\dir\\a.txt"},
        {u"\\\\server\\share\\a.txt", u"\\\\server\\share\\a.txt"},
        {u"\\\\\\\\server\\\\a.txt", u"\\\\server\\a.txt"},
        {u"C:\\dir\\\\a.txt", u"C:\\dir\\a.txt"},
        {u"C:\\\\a.txt", u"C:\\a.txt"},
        {u"C:\\a\\\\\\b.txt", u"C:\\a\\\\b.txt"},
        {u"C:\\a\\\\\\\\b.txt", u"C:\\a\\\\b.txt"},
        {u"\\\\\\", u"\\\\"},
        {u"\\", u"\\\\"},
        {u"a/b//c", u"a/b//c"},
        {u"", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.path).toStdString());
        EXPECT_EQ(NormalizeListPath(QStringView(c.path), u'\\'), QString::fromUtf16(c.normalised));
    }
    // Where "/" separates, the root keeps one: "/tmp/lists" joined with "a.txt" stays as it is.
    for (const Case& c :
         {Case{u"/tmp/lists/a.txt", u"/tmp/lists/a.txt"}, Case{u"/tmp/x//a.txt", u"/tmp/x/a.txt"},
          Case{u"//a.txt", u"/a.txt"}, Case{u"///", u"/"}, Case{u"a//b", u"a/b"}}) {
        SCOPED_TRACE(QString::fromUtf16(c.path).toStdString());
        EXPECT_EQ(NormalizeListPath(QStringView(c.path), u'/'), QString::fromUtf16(c.normalised));
    }
}
