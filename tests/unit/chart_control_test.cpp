#include "platform/chart/chart_control.h"
#include "fakes/fake_chart.h"
#include "fakes/locale_scope.h"
#include "platform/failure.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLocale>
#include <QMimeData>
#include <QSvgRenderer>
#include <QTest>
#include <QToolTip>
#include <QWidget>
#include <QXmlStreamReader>

namespace {

class PieChartTest : public ::testing::Test {
  protected:
    QWidget window;
    FakeClipboard clipboard;
    PieChart chart{&window, clipboard};

    void add(const QString& label, const QString& value) {
        const int column = int(chart.slices().size()) + 1;
        chart.setColumnCount(column);
        chart.setColumn(column);
        chart.setColumnLabel(label);
        chart.setData(value);
    }
};

}  // namespace

TEST_F(PieChartTest, GrowingColumnsKeepEarlierLabelsAndData) {
    chart.setRowCount(1);
    add(QStringLiteral("UK - 24"), QStringLiteral("24"));
    add(QStringLiteral("US - 20"), QStringLiteral("20"));
    chart.setColumnCount(3);
    ASSERT_EQ(chart.slices().size(), 3u);
    EXPECT_EQ(chart.slices()[0].label, u"UK - 24");
    EXPECT_EQ(chart.slices()[0].value, 24);
    EXPECT_EQ(chart.slices()[1].label, u"US - 20");
    EXPECT_EQ(chart.slices()[1].value, 20);
    EXPECT_EQ(chart.slices()[2].label, QString());
    EXPECT_EQ(chart.slices()[2].value, 0);
    EXPECT_EQ(chart.column(), 2);
}

TEST_F(PieChartTest, RefusedOperationsFailAndChangeNothing) {
    add(QStringLiteral("A"), QStringLiteral("5"));
    struct Case {
        const char* name;
        std::function<void()> operation;
    };
    const Case cases[] = {
        {"column 0", [&] { chart.setColumn(0); }},
        {"column past the last", [&] { chart.setColumn(2); }},
        {"no columns", [&] { chart.setColumnCount(0); }},
        {"too many columns", [&] { chart.setColumnCount(32768); }},
        {"no rows", [&] { chart.setRowCount(0); }},
        {"data that is no number", [&] { chart.setData(QStringLiteral("abc")); }},
        {"empty data", [&] { chart.setData(QString()); }},
        {"font of no size", [&] { chart.setLegendFontSize(0); }},
        {"negative width", [&] { chart.setWidthTwips(-15); }},
        {"negative height", [&] { chart.setHeightTwips(-1); }},
        {"negative filled count", [&] { chart.setFilledColumnCount(-1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(c.operation(), Failure);
        ASSERT_EQ(chart.slices().size(), 1u);
        EXPECT_EQ(chart.slices()[0].value, 5);
        EXPECT_EQ(chart.column(), 1);
        EXPECT_EQ(chart.legendFont().pointSizeF(), 8);
    }
}

TEST_F(PieChartTest, DataPointsAreReadInTheUserLocale) {
    struct Case {
        QLocale locale;
        const char16_t* text;
        double value;
    };
    const Case cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), u"3.5", 3.5},
        {QLocale(QLocale::English, QLocale::UnitedStates), u"-2", -2},
        {QLocale(QLocale::English, QLocale::UnitedStates), u"1E+15", 1e15},
        {QLocale(QLocale::English, QLocale::UnitedStates), u"1E-05", 1e-5},
        {QLocale(QLocale::German, QLocale::Germany), u"3,5", 3.5},
        {QLocale(QLocale::German, QLocale::Germany), u"1,5E+20", 1.5e20},
    };
    add(QStringLiteral("x"), QStringLiteral("1"));
    for (const Case& c : cases) {
        LocaleScope scope(c.locale);
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        chart.setData(QString::fromUtf16(c.text));
        EXPECT_DOUBLE_EQ(chart.slices()[0].value, c.value);
    }
    LocaleScope german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_THROW(chart.setData(QStringLiteral("3.5.1")), Failure);
}

TEST_F(PieChartTest, LegendFontFollowsStyleCodeFaceAndSize) {
    struct Case {
        qint16 style;
        bool bold;
        bool italic;
    };
    chart.setLegendFontName(QStringLiteral("Times New Roman"));
    chart.setLegendFontSize(14);
    for (const Case c :
         {Case{0, false, false}, Case{1, true, false}, Case{2, false, true}, Case{3, true, true}}) {
        SCOPED_TRACE(c.style);
        chart.setLegendFontStyle(c.style);
        const QFont font = chart.legendFont();
        EXPECT_EQ(font.bold(), c.bold);
        EXPECT_EQ(font.italic(), c.italic);
        EXPECT_EQ(font.family(), u"Times New Roman");
        EXPECT_EQ(font.pointSizeF(), 14);
    }
    chart.setLegendFontName(QString());
    EXPECT_EQ(chart.legendFont().styleHint(), QFont::SansSerif);
    EXPECT_FALSE(chart.legendFont().family().isEmpty());
}

TEST_F(PieChartTest, SizeInTwipsBecomesPixels) {
    chart.setWidthTwips(9510);
    chart.setHeightTwips(6720);
    EXPECT_EQ(chart.widget().size(), QSize(634, 448));
    EXPECT_EQ(chart.widthTwips(), 9510.0f);
    chart.setWidthTwips(0);
    EXPECT_EQ(chart.widget().width(), 0);
    EXPECT_THROW(chart.copyPictureToClipboard(), Failure);
}

TEST_F(PieChartTest, ThePictureIsWhatTheScreenShows) {
    chart.setWidthTwips(4500);
    chart.setHeightTwips(3000);
    add(QStringLiteral("UK - 24"), QStringLiteral("24"));
    add(QStringLiteral("US - 20"), QStringLiteral("20"));
    chart.setVisible(true);
    window.show();
    chart.copyPictureToClipboard();
    ASSERT_TRUE(clipboard.content);
    const QImage copied = clipboard.content->bitmap.convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(copied.size(), QSize(300, 200));
    const QImage screen = chart.widget().grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(copied, screen);
    // It prints at its size on screen.
    EXPECT_NEAR(copied.dotsPerMeterX() * 0.0254, chart.widget().logicalDpiX(), 0.5);
}

TEST(PieChartLifetime, TheWindowMayGoFirst) {
    FakeClipboard clipboard;
    auto window = std::make_unique<QWidget>();
    PieChart chart(window.get(), clipboard);
    window.reset();
    EXPECT_THROW(chart.widget(), Failure);
    EXPECT_THROW(chart.setWidthTwips(100), Failure);
}

TEST_F(PieChartTest, ScreenReadersGetTheNameAndEachSliceWithItsShare) {
    LocaleScope english(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const char* row : {"UK - 24", "US - 20", "Australia - 8", "Germany - 32", "France - 16"})
        add(QString::fromLatin1(row), QString::fromLatin1(row).section(u' ', -1));
    add(QStringLiteral("None - 0"), QStringLiteral("0"));
    QCoreApplication::processEvents();
    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(&chart.widget());
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->text(QAccessible::Name), u"Pie chart");
    EXPECT_EQ(reader->text(QAccessible::Description),
              u"UK - 24 (24 %)\nUS - 20 (20 %)\nAustralia - 8 (8 %)\nGermany - 32 (32 %)\n"
              u"France - 16 (16 %)\nNone - 0 (0 %)");
    for (int i = 7; i <= 205; ++i) add(QStringLiteral("S%1").arg(i), QStringLiteral("1"));
    QCoreApplication::processEvents();
    const QStringList lines = reader->text(QAccessible::Description).split(u'\n');
    ASSERT_EQ(lines.size(), 201);
    EXPECT_EQ(lines[199], u"S200 (0.334 %)");
    EXPECT_EQ(lines[200], u"and 5 more");
}

TEST_F(PieChartTest, TheClipboardOffersPngFirstAndAnSvgOfTheChartsSize) {
    chart.setWidthTwips(4500);
    chart.setHeightTwips(3000);
    // Markup and characters XML has no place for must not break the SVG.
    add(QStringLiteral("<b>&\"x\" \x01\xFFFE\xD800 - 3"), QStringLiteral("3"));
    add(QStringLiteral("US - 20"), QStringLiteral("20"));
    QtClipboard system;
    system.setPicture(ChartPicture(chart.picture(), chart.svg()));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->formats(), QStringList({"image/png", "image/svg+xml"}));
    const ChartPicture read = system.picture(kAnyPictureFormat);
    EXPECT_EQ(read.bitmap.convertToFormat(QImage::Format_RGB32), chart.picture());
    QXmlStreamReader xml(read.svg);
    while (!xml.atEnd()) xml.readNext();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    QSvgRenderer svg(read.svg);
    ASSERT_TRUE(svg.isValid());
    EXPECT_EQ(svg.defaultSize(), QSize(300, 200));
}

TEST_F(PieChartTest, HoverNamesTheSliceAndAFocusFrameShowsOnScreenOnly) {
    LocaleScope english(QLocale(QLocale::English, QLocale::UnitedStates));
    chart.setWidthTwips(9510);
    chart.setHeightTwips(6720);
    add(QStringLiteral("UK - 24"), QStringLiteral("24"));
    add(QStringLiteral("US - 76"), QStringLiteral("76"));
    chart.setVisible(true);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QWidget& view = chart.widget();
    const PieLayout layout =
        layoutPieChart(QRectF(view.rect()), chart.slices(), chart.legendFont(), &view);
    auto hover = [&](QPointF at) {
        QHelpEvent help(QEvent::ToolTip, at.toPoint(), view.mapToGlobal(at.toPoint()));
        QCoreApplication::sendEvent(&view, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    const QPointF pie = layout.pie.center();
    EXPECT_EQ(hover(pie + QPointF(layout.pie.width() / 4, -layout.pie.width() / 8)),
              u"UK - 24 (24 %)");
    EXPECT_EQ(hover(pie - QPointF(layout.pie.width() / 4, 0)), u"US - 76 (76 %)");
    EXPECT_EQ(hover(QPointF(layout.legend.center().x(), layout.legend.bottom() - 2)),
              u"US - 76 (76 %)");

    view.setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(view.hasFocus());
    EXPECT_NE(view.grab().toImage().convertToFormat(QImage::Format_RGB32), chart.picture());
    view.clearFocus();
    EXPECT_EQ(view.grab().toImage().convertToFormat(QImage::Format_RGB32), chart.picture());
}
