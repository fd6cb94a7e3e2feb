#include "chart_windows.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <QDir>
#include <QFile>
#include <QRect>
#include <QSize>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <vector>

#include <X11/Xlib.h>

using namespace chart_e2e;

namespace {

// The size ImageMagick reads from a picture file, as "WxH".
QString pictureSize(const QString& display, const QString& path) {
    return runTool(display, {"identify", "-format", "%wx%h", path});
}

// A clipboard manager of the test's own, after the freedesktop convention: it holds
// CLIPBOARD_MANAGER; asked to SAVE_TARGETS it fetches image/png from the clipboard's owner, then
// owns CLIPBOARD itself and serves that picture.
class ClipboardManager {
  public:
    explicit ClipboardManager(const QString& display)
        : d_(XOpenDisplay(display.toLocal8Bit().constData())),
          w_(XCreateSimpleWindow(d_, DefaultRootWindow(d_), 0, 0, 1, 1, 0, 0, 0)) {
        XSetSelectionOwner(d_, atom("CLIPBOARD_MANAGER"), w_, CurrentTime);
        thread_ = std::thread([this] { run(); });
    }
    ~ClipboardManager() {
        stop_ = true;
        thread_.join();
        XCloseDisplay(d_);
    }
    std::atomic<int> saves{0};

  private:
    Atom atom(const char* name) { return XInternAtom(d_, name, False); }
    void reply(const XSelectionRequestEvent& r, Atom property) {
        XEvent notify{};
        notify.xselection = {SelectionNotify, 0,        True,     d_,    r.requestor,
                             r.selection,     r.target, property, r.time};
        XSendEvent(d_, r.requestor, False, 0, &notify);
    }
    void run() {
        const Atom clipboard = atom("CLIPBOARD"), png = atom("image/png"),
                   fetched = atom("FETCHED");
        XSelectionRequestEvent saving{};
        std::vector<unsigned char> picture;
        while (!stop_) {
            pollfd fd{ConnectionNumber(d_), POLLIN, 0};
            if (XPending(d_) == 0 && poll(&fd, 1, 20) <= 0) continue;
            XEvent e;
            XNextEvent(d_, &e);
            const XSelectionRequestEvent& r = e.xselectionrequest;
            if (e.type == SelectionRequest && r.target == atom("SAVE_TARGETS")) {
                saving = r;
                XConvertSelection(d_, clipboard, png, fetched, w_, CurrentTime);
            } else if (e.type == SelectionRequest) {  // xclip asks for the picture
                const bool given = r.target == png && !picture.empty();
                if (given)
                    XChangeProperty(d_, r.requestor, r.property, png, 8, PropModeReplace,
                                    picture.data(), int(picture.size()));
                reply(r, given ? r.property : None);
            } else if (e.type == SelectionNotify && e.xselection.property == fetched) {
                Atom type;
                int format;
                unsigned long count, left;
                unsigned char* data = nullptr;
                XGetWindowProperty(d_, w_, fetched, 0, 1 << 24, True, png, &type, &format, &count,
                                   &left, &data);
                if (data) picture.assign(data, data + count);
                XFree(data);
                XSetSelectionOwner(d_, clipboard, w_, CurrentTime);
                reply(saving, saving.property);
                ++saves;
            }
            XFlush(d_);
        }
    }

    Display* d_;
    Window w_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class ChartEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        if (x.display().isEmpty()) GTEST_SKIP() << "Xvfb could not start";
    }
    XvfbServer x;
};

}  // namespace

TEST_F(ChartEndToEnd, TheChartOfTheSamplesSavesAsATypedNameAndStaysOnTheClipboard) {
    ClipboardManager manager(x.display());
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
    EXPECT_EQ(manager.saves, 0) << "nothing is handed over while the program runs";

    // At the end the clipboard manager takes the picture over, so it outlives the program.
    EXPECT_EQ(run.signalAndWait(SIGTERM), 0);
    EXPECT_EQ(manager.saves, 1);
    QFile::remove(copied);
    runTool(x.display(),
            {"sh", "-c", "xclip -selection clipboard -t image/png -o > '" + copied + "'"});
    EXPECT_EQ(pictureSize(x.display(), copied), "551x416");
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

// The window's frame on screen, from its client area and the frame the window manager reports.
QRect outerFrame(const QString& display, unsigned long window) {
    Display* d = XOpenDisplay(display.toLocal8Bit().constData());
    if (!d) return {};
    XWindowAttributes a = {};
    XGetWindowAttributes(d, window, &a);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    XCloseDisplay(d);
    const QStringList frame =
        runTool(display, {"xprop", "-id", QString::number(window), "_NET_FRAME_EXTENTS"})
            .section(u'=', 1)
            .split(u',');
    if (frame.size() != 4) return {};
    return QRect(x, y, a.width, a.height)
        .adjusted(-frame[0].toInt(), -frame[2].toInt(), frame[1].toInt(), frame[3].toInt());
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
    const QSize outer = outerFrame(x.display(), w.chart).size();
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

    // Both windows open with their whole frames centred on the 1280 x 1024 screen.
    for (const unsigned long window : {w.main, w.chart}) {
        const QRect frame = outerFrame(x.display(), window);
        EXPECT_LE(std::abs(frame.left() + frame.right() + 1 - 1280), 1) << frame.x();
        EXPECT_LE(std::abs(frame.top() + frame.bottom() + 1 - 1024), 1) << frame.y();
    }
    EXPECT_EQ(run.signalAndWait(SIGTERM), 0);
}
