#include "chart/chart_window.h"
#include "fakes/chart_fixture.h"
#include "fakes/form_fixture.h"
#include "platform/dialogs/printer.h"
#include "platform/failure.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace {

// Page objects of a PDF file: "/Type /Page" but not "/Type /Pages".
int pdfPages(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![s])"));
    return int(QString::fromLatin1(file.readAll()).count(page));
}

QPrinterInfo noPrinter() { return QPrinterInfo(); }

class PrintToPdfTest : public Form2Test {
  protected:
    void SetUp() override {
        Form2Test::SetUp();
        printer.setPdfTarget(pdf);
        fake.platform().printer = &printer;
    }
    const QString pdf = tempPath("page.pdf");
    QtPrinter printer{&noPrinter};
};

}  // namespace

TEST(PlacePicture, GrowsOrShrinksToFitKeepingItsProportions) {
    struct Case {
        const char* name;
        QSizeF picture;
        QPointF at;
        QSizeF area;
        QRectF placed;
    };
    const Case cases[] = {
        {"smaller", {600, 400}, {0, 0}, {1000, 1000}, {0, 0, 1000, 1000.0 * 400 / 600}},
        {"smaller and tall", {100, 400}, {0, 0}, {1000, 1000}, {0, 0, 250, 1000}},
        {"exactly the area", {1000, 500}, {0, 0}, {1000, 500}, {0, 0, 1000, 500}},
        {"too wide", {2000, 500}, {0, 0}, {1000, 1000}, {0, 0, 1000, 250}},
        {"too tall", {500, 4000}, {0, 0}, {1000, 1000}, {0, 0, 125, 1000}},
        {"too large both ways", {4000, 3000}, {0, 0}, {1000, 1000}, {0, 0, 1000, 750}},
        {"offset", {1000, 100}, {500, 0}, {1000, 1000}, {500, 0, 500, 50}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(placePicture(c.picture, c.at, c.area), c.placed);
    }
}

TEST_F(PrintToPdfTest, EachPrintIsOneDocumentOfOnePageWithTheChartFittedToIt) {
    Form2& w = load();
    fill({{"UK - 24", "24"}, {"US - 20", "20"}});
    for (int job = 1; job <= 2; ++job) {
        SCOPED_TRACE(job);
        QFile::remove(pdf);
        PushButton1_Click(w);
        EXPECT_TRUE(fake.messages.shown.empty()) << fake.messages.texts().join("|").toStdString();
        EXPECT_EQ(pdfPages(pdf), 1);
        const QRectF placed = printer.lastPictureRect();
        EXPECT_TRUE(printer.printableRect().contains(placed));
        // As large as the page takes it, its proportions kept.
        EXPECT_NEAR(placed.width(), printer.printableRect().width(), 1);
        EXPECT_NEAR(placed.width() / placed.height(), 634.0 / 448, 0.01);
        EXPECT_EQ(placed.topLeft(), QPointF(0, 0));
    }
}

TEST_F(PrintToPdfTest, APictureLargerThanThePageIsScaledDownToFit) {
    Form2& w = load();
    fill({{"A", "1"}, {"B", "2"}});
    w.MSChart1->setWidthTwips(3000 * 15);
    w.MSChart1->setHeightTwips(1500 * 15);
    PushButton1_Click(w);
    EXPECT_TRUE(fake.messages.shown.empty());
    EXPECT_EQ(pdfPages(pdf), 1);
    const QRectF placed = printer.lastPictureRect();
    const QRectF area = printer.printableRect();
    EXPECT_TRUE(area.contains(placed));
    EXPECT_NEAR(placed.width(), area.width(), 1) << "as large as the page allows";
    EXPECT_NEAR(placed.width() / placed.height(), 2.0, 0.01);
}

TEST_F(PrintToPdfTest, ThePageCarriesVectorsAndTheLegendAsText) {
    Form2& w = load();
    fill({{"UK - 24", "24"}, {"US - 20", "20"}, {"Germany - 32", "32"}});
    PushButton1_Click(w);
    ASSERT_TRUE(fake.messages.shown.empty()) << fake.messages.texts().join("|").toStdString();
    auto run = [](const QString& tool, const QStringList& arguments) {
        QProcess process;
        process.start(tool, arguments);
        return process.waitForFinished(30000) ? process.readAllStandardOutput() : QByteArray();
    };
    // pdfimages lists a header of two lines and then a line for each image.
    const QByteArray images = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    EXPECT_EQ(images.count('\n'), 2) << images.toStdString();
    const QString text =
        QString::fromUtf8(run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}));
    for (const char* entry : {"UK - 24", "US - 20", "Germany - 32"})
        EXPECT_TRUE(text.contains(QLatin1String(entry))) << entry << " in " << text.toStdString();
}

TEST_F(Form2Test, WithoutAPrinterEveryPrinterStatementSaysSo) {
    QtPrinter printer(&noPrinter);
    fake.platform().printer = &printer;
    Form2& w = load();
    fill({{"A", "1"}});
    PushButton1_Click(w);
    EXPECT_EQ(reportLines(fake.messages), std::vector<int>({104, 106, 108}));
    EXPECT_EQ(reportDescriptions(fake.messages),
              QStringList(3, QStringLiteral("No default printer is set up.")));

    // The next print finds the same and nothing lingers from the first.
    fake.messages.shown.clear();
    PushButton1_Click(w);
    EXPECT_EQ(reportLines(fake.messages), std::vector<int>({104, 106, 108}));
}

TEST(QtPrinterTest, APdfThatCannotBeWrittenFailsEveryStatement) {
    QtPrinter printer(&noPrinter);
    printer.setPdfTarget(QStringLiteral("/proc/no-such-folder/page.pdf"));
    EXPECT_THROW(printer.print(QStringLiteral(" ")), Failure);
    EXPECT_THROW(printer.paintPicture(ChartPicture(QImage(10, 10, QImage::Format_RGB32)), {}),
                 Failure);
    EXPECT_THROW(printer.endDoc(), Failure);
    EXPECT_NO_THROW(printer.endDoc()) << "an ended failure does not linger";
}

TEST(QtPrinterTest, EndingWithNothingPrintedDoesNothing) {
    QTemporaryDir temp;
    QtPrinter printer(&noPrinter);
    printer.setPdfTarget(temp.filePath("none.pdf"));
    EXPECT_NO_THROW(printer.endDoc());
    EXPECT_FALSE(QFile::exists(temp.filePath("none.pdf")));
}
