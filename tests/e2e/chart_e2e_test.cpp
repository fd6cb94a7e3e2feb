#include "chart_windows.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QSize>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>

using namespace chart_e2e;

namespace {

// The size ImageMagick reads from a picture file, as "WxH".
QString pictureSize(const QString& display, const QString& path) {
    return runTool(display, {"identify", "-format", "%wx%h", path});
}

class ChartEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        if (x.display().isEmpty()) GTEST_SKIP() << "Xvfb could not start";
    }
    XvfbServer x;
};

}  // namespace

TEST_F(ChartEndToEnd, TheChartOfTheSamplesSavesAsATypedNameAndStaysOnTheClipboard) {
    ProgramRun run(x);
    const ChartWindows w = openChartOfSamples(run);
    ASSERT_NE(w.main, 0u);
    ASSERT_NE(w.chart, 0u) << "no chart window appeared";
    EXPECT_EQ(run.windowTitle(w.chart), kTitle);
    EXPECT_EQ(run.clientSize(w.chart), QSize(569, 496));

    run.click(w.chart, kSaveX, kSaveY);
    const unsigned long dialog = waitForNewWindow(run, {w.main, w.chart});
    ASSERT_NE(dialog, 0u) << "no save dialog appeared";
    // Into the folder first, then the name alone, as a user types it.
    QTemporaryDir folder;
    run.typeText(dialog, folder.path());
    run.key(dialog, "Return");
    std::this_thread::sleep_for(300ms);
    // The folder's path stays in the name box; the name replaces it.
    run.key(dialog, "ctrl+a");
    run.typeText(dialog, "mychart");
    run.key(dialog, "Return");

    const QString saved = folder.filePath("mychart.jpg");
    ASSERT_TRUE(waitForFile(saved)) << "mychart.jpg was not written";
    EXPECT_TRUE(waitUntilGone(run, dialog));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList("mychart.jpg"));
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(11);
    EXPECT_EQ(head.left(4), QByteArray("\xFF\xD8\xFF\xE0", 4));
    EXPECT_EQ(head.mid(6, 5), QByteArray("JFIF\0", 5));
    // The chart as fitted to the window: its outer size less 270 and 1200 twips.
    EXPECT_EQ(pictureSize(x.display(), saved), "551x416");
    EXPECT_EQ(runTool(x.display(), {"identify", "-format", "%Q", saved}), "80");

    const QString targets =
        runTool(x.display(), {"xclip", "-selection", "clipboard", "-t", "TARGETS", "-o"});
    const QStringList offered = targets.split(u'\n');
    EXPECT_TRUE(offered.contains("image/png")) << targets.toStdString();
    // The bitmap comes first, the vectors beside it, and never as text.
    EXPECT_LT(offered.indexOf("image/png"), offered.indexOf("image/svg+xml"));
    EXPECT_TRUE(offered.filter("text").isEmpty() && !offered.contains("UTF8_STRING"));
    const QString copied = folder.filePath("clipboard.png");
    runTool(x.display(),
            {"sh", "-c", "xclip -selection clipboard -t image/png -o > '" + copied + "'"});
    EXPECT_EQ(pictureSize(x.display(), copied), "551x416");

    // No error report came up on the way.
    EXPECT_EQ(programWindows(run), (std::set<unsigned long>{w.main, w.chart}));
    run.closeBox(w.chart);
    EXPECT_TRUE(waitUntilGone(run, w.chart));
    EXPECT_TRUE(programWindows(run).count(w.main));
    EXPECT_EQ(run.signalAndWait(SIGTERM), 0);
}

TEST_F(ChartEndToEnd, ClosingTheChartWindowGivesTheMainWindowBackForAnotherChart) {
    ProgramRun run(x);
    const ChartWindows w = openChartOfSamples(run);
    ASSERT_NE(w.chart, 0u);
    run.closeBox(w.chart);
    ASSERT_TRUE(waitUntilGone(run, w.chart));
    movePointerAway(run);
    run.click(w.main, kGenerateX, kGenerateY);
    const unsigned long again = waitForNewWindow(run, {w.main});
    ASSERT_NE(again, 0u) << "the second chart did not open";
    run.closeBox(again);
    EXPECT_TRUE(waitUntilGone(run, again));
    EXPECT_EQ(run.signalAndWait(SIGTERM), 0);
}

TEST(ChartUnderAWindowManager, TheFirstFitTakesTheFrameIntoTheOuterSize) {
    XvfbServer x;
    const QString openboxPath = QStandardPaths::findExecutable("openbox");
    if (x.display().isEmpty() || openboxPath.isEmpty()) GTEST_SKIP() << "no Xvfb or openbox";
    ProgramRun openbox(x);
    openbox.start(openboxPath);
    // A window manager announces itself on the root window once it manages the display.
    const auto managed = [&] {
        return runTool(x.display(), {"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"})
            .contains("window id");
    };
    for (int i = 0; i < 200 && !managed(); ++i) std::this_thread::sleep_for(50ms);
    ProgramRun run(x);
    const ChartWindows w = openChartOfSamples(run);
    ASSERT_NE(w.chart, 0u) << "no chart window appeared";
    // Left, right, top and bottom, as the window manager gives them.
    const QStringList frame =
        runTool(x.display(), {"xprop", "-id", QString::number(w.chart), "_NET_FRAME_EXTENTS"})
            .section(u'=', 1)
            .split(u',');
    ASSERT_EQ(frame.size(), 4);
    const QSize outer = run.clientSize(w.chart) + QSize(frame[0].toInt() + frame[1].toInt(),
                                                        frame[2].toInt() + frame[3].toInt());
    ASSERT_NE(outer, run.clientSize(w.chart)) << "no frame to take in";
    // Saved before any resize: 270 and 1200 twips (18 and 80 px) less than the outer size.
    run.click(w.chart, kSaveX, kSaveY);
    const unsigned long dialog = waitForNewWindow(run, {w.main, w.chart});
    QTemporaryDir folder;
    run.typeText(dialog, folder.filePath("framed.jpg"));
    run.key(dialog, "Return");
    ASSERT_TRUE(waitForFile(folder.filePath("framed.jpg"))) << "no JPEG was written";
    EXPECT_EQ(pictureSize(x.display(), folder.filePath("framed.jpg")),
              QStringLiteral("%1x%2").arg(outer.width() - 18).arg(outer.height() - 80));
    EXPECT_EQ(run.signalAndWait(SIGTERM), 0);
}
