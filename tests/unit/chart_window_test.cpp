#include "chart/chart_window.h"
#include "chart/clipboard_picture.h"
#include "fakes/chart_fixture.h"
#include "fakes/form_fixture.h"
#include "fakes/program_folder.h"
#include "platform/failure.h"
#include "shell/titles.h"
#include "windows/window_look.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QScreen>
#include <QTest>
#include <thread>

namespace {

const QString kLoad = QStringLiteral("Quorvel2021/08/31.Form2.Form_Load");
const QString kPrint = QStringLiteral("Quorvel2021/08/31.Form2.PushButton1_Click");

QSize chartPixels(Form2& form) { return form.MSChart1->widget().size(); }

// Sets the window's outer size; without a window manager it is the window's own size.
void resizeOuter(Form2& form, QSize outer) {
    const QSize frame = form.frameGeometry().size() - form.size();
    form.resize(outer - frame);
    QCoreApplication::processEvents();
}

}  // namespace

TEST_F(Form2Test, TheWindowIsBuiltAsLaidOut) {
    Form2& w = load();
    EXPECT_EQ(w.size(), QSize(569, 496));
    EXPECT_EQ(w.minimumSize(), QSize(536, 150));
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(w.PushButton5->text(), u"Save Pie Chart As JPG");
    EXPECT_EQ(w.PushButton5->geometry(), QRect(8, 8, 256, 27));
    EXPECT_EQ(w.PushButton1->text(), u"Send Pie Chart To Printer");
    EXPECT_EQ(w.PushButton1->geometry(), QRect(272, 8, 256, 27));
    for (PushButton* b : pushButtons(w)) {
        EXPECT_EQ(b->font().pointSizeF(), 11.25);
        EXPECT_TRUE(b->font().bold());
        EXPECT_FALSE(b->autoDefault());
    }
    EXPECT_EQ(w.MSChart1->widget().geometry(), QRect(6, 42, 634, 448));
    EXPECT_TRUE(w.MSChart1->widget().isHidden());
    EXPECT_EQ(w.Creator->geometry(), QRect(24, 496, 17, 17));
    EXPECT_EQ(backColor(*w.Creator), kWindowBackground);
    EXPECT_GE(w.Creator->y(), w.height()) << "the picture holder lies out of view";
    EXPECT_EQ(w.font().family(), u"Arial");
    EXPECT_NE(w.CommonDialog1.get(), nullptr);

    const QList<QWidget*> order = {&w.MSChart1->widget(), w.PushButton5, w.PushButton1, w.Creator};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        EXPECT_EQ(order[i]->nextInFocusChain(), order[i + 1]) << i;

    // Only the close box closes it: Escape and Enter on a button leave it open.
    w.show();
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        QTest::keyClick(w.PushButton1, key);
        EXPECT_TRUE(w.isVisible()) << key;
    }
}

TEST_F(Form2Test, LoadingSetsTheLookCaptionAndIcon) {
    Form2& w = load();
    EXPECT_EQ(w.windowTitle(), productTitle());
    EXPECT_FALSE(w.windowIcon().isNull());
    EXPECT_EQ(backColor(w), kButtonFace);
    EXPECT_FALSE(w.pointer.MouseIcon.has_value());
    EXPECT_TRUE(fake.messages.shown.empty()) << "a missing cursor file is no failure";
}

TEST_F(Form2Test, LoadingTakesTheHandCursorWhenItExists) {
    ProgramFolder folder;
    folder.addShipped(kShippedCursor);
    fake.application.folder = folder.path();
    Form2& w = load();
    ASSERT_TRUE(w.pointer.MouseIcon.has_value());
    EXPECT_EQ(w.pointer.MouseIcon->hotSpot(), QPoint(7, 0));
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(Form2Test, AFailedLoadStatementIsReportedAtItsLine) {
    struct Case {
        int line;
        bool cursorFile;
        std::vector<int> reports;
    };
    // A failed test runs its block, which cannot load a file that is not there.
    for (const Case& c : {Case{100, true, {100}}, Case{102, true, {102, 102}},
                          Case{106, false, {106, 108}}, Case{108, true, {108}}}) {
        SCOPED_TRACE(c.line);
        fake.messages.shown.clear();
        ProgramFolder folder;
        if (c.cursorFile) folder.addShipped(kShippedCursor);
        fake.application.folder = folder.path();
        failStatement(kLoad, c.line);
        load();
        clearStatementFaults();
        EXPECT_EQ(reportLines(fake.messages), c.reports);
        EXPECT_EQ(form->windowTitle() == productTitle(), c.line != 102);
        EXPECT_EQ(backColor(*form) == kButtonFace, c.line != 100);
    }
}

TEST(FittedChartSize, TakesTheAllowancesOffTheOuterSizeAndNeverGoesBelowZero) {
    struct Case {
        float width, height;
        QSizeF chart;
    };
    for (const Case& c :
         {Case{9780, 7920, {9510, 6720}}, Case{8805, 8040, {8535, 6840}}, Case{270, 1200, {0, 0}},
          Case{100, 500, {0, 0}}, Case{0, 0, {0, 0}}, Case{270.5f, 1201.25f, {0.5, 1.25}}}) {
        SCOPED_TRACE(c.width);
        EXPECT_EQ(fittedChartSize(c.width, c.height), c.chart);
    }
}

TEST_F(Form2Test, TheChartFollowsTheWindowSize) {
    Form2& w = load();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    resizeOuter(w, QSize(652, 528));  // 9780 x 7920 twips
    EXPECT_EQ(w.MSChart1->widthTwips(), 9510.0f);
    EXPECT_EQ(w.MSChart1->heightTwips(), 6720.0f);
    EXPECT_EQ(chartPixels(w), QSize(634, 448));
    EXPECT_EQ(w.MSChart1->widget().pos(), QPoint(6, 42)) << "only the size follows";

    w.showMaximized();
    QTest::qWait(50);
    const QSize maximized = w.frameGeometry().size();
    EXPECT_EQ(chartPixels(w), maximized - QSize(18, 80));

    w.showNormal();
    QTest::qWait(50);
    EXPECT_EQ(chartPixels(w), w.frameGeometry().size() - QSize(18, 80));

    w.showMinimized();
    QTest::qWait(50);
    const QSize before = chartPixels(w);
    w.resize(600, 400);  // the size changes while minimized
    QCoreApplication::processEvents();
    EXPECT_EQ(chartPixels(w), before);
    w.showNormal();
    QTest::qWait(50);
    EXPECT_EQ(chartPixels(w), w.frameGeometry().size() - QSize(18, 80));
}

TEST_F(Form2Test, ATinyWindowGivesAnEmptyChartRatherThanANegativeOne) {
    Form2& w = load();
    w.setMinimumSize(0, 0);
    w.show();
    resizeOuter(w, QSize(10, 40));
    EXPECT_EQ(w.MSChart1->widthTwips(), 0.0f);
    EXPECT_EQ(w.MSChart1->heightTwips(), 0.0f);
    EXPECT_TRUE(fake.messages.shown.empty());
    w.setMinimumSize(536, 150);
    EXPECT_GE(w.width(), 536);
}

TEST_F(Form2Test, PrintingSendsTheChartPictureOnOnePage) {
    Form2& w = load();
    fill({{"UK - 24", "24"}, {"US - 20", "20"}});
    PushButton1_Click(w);
    EXPECT_EQ(fake.printer.operations, QStringList({"print ' '", "picture 634x448 at 0,0", "end"}));
    EXPECT_EQ(fake.application.eventPasses, 1);
    ASSERT_TRUE(fake.clipboard.content);
    EXPECT_EQ(fake.clipboard.content->bitmap, pie().picture()) << "the clipboard keeps the chart";
    EXPECT_EQ(fake.printer.lastPicture->bitmap, pie().picture());
    EXPECT_EQ(fake.printer.lastPicture->svg, pie().svg()) << "it prints the vectors";
    EXPECT_TRUE(fake.messages.shown.empty());

    PushButton1_Click(w);
    EXPECT_EQ(fake.printer.operations.count("end"), 2) << "each print is a document of its own";
}

TEST_F(Form2Test, AFailedPrintStatementIsReportedAtItsLine) {
    struct Case {
        int line;
        std::vector<int> reports;
        QStringList operations;
    };
    const Case cases[] = {
        // Without the copy the clipboard has no picture to give.
        {100, {100, 106}, {"print ' '", "end"}},
        {102, {102}, {"print ' '", "picture 634x448 at 0,0", "end"}},
        {104, {104}, {"picture 634x448 at 0,0", "end"}},
        {106, {106}, {"print ' '", "end"}},
        {108, {108}, {"print ' '", "picture 634x448 at 0,0"}},
    };
    Form2& w = load();
    fill({{"A", "1"}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        fake.messages.shown.clear();
        fake.printer.operations.clear();
        fake.clipboard.content.reset();
        failStatement(kPrint, c.line);
        PushButton1_Click(w);
        clearStatementFaults();
        EXPECT_EQ(reportLines(fake.messages), c.reports);
        EXPECT_EQ(fake.printer.operations, c.operations);
    }
}

TEST_F(Form2Test, AClipboardThatGivesNoPicturePrintsOnlyTheBlank) {
    Form2& w = load();
    fill({{"A", "1"}});
    fake.clipboard.failingReads = 1000;
    PushButton1_Click(w);
    EXPECT_EQ(reportLines(fake.messages), std::vector<int>({106}));
    EXPECT_EQ(fake.printer.operations, QStringList({"print ' '", "end"}));
    EXPECT_EQ(fake.clipboard.reads, 1000);
}

TEST(GetClipboardPicture, ReadsUpToAThousandTimesAndNeverFails) {
    struct Case {
        int failingReads;
        bool picture;
        int reads;
    };
    for (const Case& c : {Case{0, true, 1}, Case{1, true, 2}, Case{999, true, 1000},
                          Case{1000, false, 1000}, Case{5000, false, 1000}}) {
        SCOPED_TRACE(c.failingReads);
        FakeClipboard clipboard;
        clipboard.content = QImage(4, 3, QImage::Format_RGB32);
        clipboard.failingReads = c.failingReads;
        const std::optional<ChartPicture> picture =
            GetClipboardPicture(clipboard, kAnyPictureFormat);
        EXPECT_EQ(picture.has_value(), c.picture);
        if (picture) {
            EXPECT_EQ(picture->bitmap.size(), QSize(4, 3));
        }
        EXPECT_EQ(clipboard.reads, c.reads);
    }
    FakeClipboard empty;
    EXPECT_FALSE(GetClipboardPicture(empty, kAnyPictureFormat).has_value());
    EXPECT_EQ(empty.reads, 1000);
}

TEST(GetClipboardPicture, GivesUpOnAClipboardWhoseReadsStall) {
    class StallingClipboard : public Clipboard {
      public:
        void setPicture(const ChartPicture&) override {}
        ChartPicture picture(qint32) override {
            ++reads;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            throw Failure(QStringLiteral("timed out"));
        }
        int reads = 0;
    } clipboard;
    EXPECT_FALSE(GetClipboardPicture(clipboard, 0, std::chrono::milliseconds(40)).has_value());
    EXPECT_LT(clipboard.reads, 1000);
    EXPECT_GE(clipboard.reads, 1);
}
