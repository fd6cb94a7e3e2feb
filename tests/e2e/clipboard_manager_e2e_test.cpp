#include "chart_windows.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <QTemporaryDir>
#include <atomic>
#include <csignal>
#include <thread>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

using namespace chart_e2e;

namespace {

// A clipboard manager of the test's own, after the freedesktop convention: it holds
// CLIPBOARD_MANAGER; asked to SAVE_TARGETS it fetches image/png from the clipboard's owner, then
// owns CLIPBOARD itself and serves that picture.
class ClipboardManager {
  public:
    explicit ClipboardManager(const QString& display)
        : d_(XOpenDisplay(display.toLocal8Bit().constData())) {
        if (!d_) return;
        w_ = XCreateSimpleWindow(d_, DefaultRootWindow(d_), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(d_, atom("CLIPBOARD_MANAGER"), w_, CurrentTime);
        ready_ = XGetSelectionOwner(d_, atom("CLIPBOARD_MANAGER")) == w_;
        thread_ = std::thread([this] { run(); });
    }
    ~ClipboardManager() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (d_) XCloseDisplay(d_);
    }
    bool ready() const { return ready_; }
    int saves() const { return saves_; }

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
                   targets = atom("TARGETS"), fetched = atom("FETCHED");
        XSelectionRequestEvent saving{};
        while (!stop_) {
            pollfd fd{ConnectionNumber(d_), POLLIN, 0};
            if (XPending(d_) == 0 && poll(&fd, 1, 20) <= 0) continue;
            XEvent e;
            XNextEvent(d_, &e);
            if (e.type == SelectionRequest) {
                const XSelectionRequestEvent& r = e.xselectionrequest;
                if (r.target == atom("SAVE_TARGETS")) {
                    saving = r;
                    XConvertSelection(d_, clipboard, png, fetched, w_, CurrentTime);
                } else if (r.selection == clipboard && r.target == targets) {
                    const Atom offered[] = {targets, png};
                    XChangeProperty(d_, r.requestor, r.property, XA_ATOM, 32, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(offered), 2);
                    reply(r, r.property);
                } else if (r.selection == clipboard && r.target == png && !png_.empty()) {
                    XChangeProperty(d_, r.requestor, r.property, png, 8, PropModeReplace,
                                    png_.data(), int(png_.size()));
                    reply(r, r.property);
                } else {
                    reply(r, None);
                }
            } else if (e.type == SelectionNotify && e.xselection.property == fetched) {
                Atom type;
                int format;
                unsigned long count, left;
                unsigned char* data = nullptr;
                XGetWindowProperty(d_, w_, fetched, 0, 1 << 24, True, AnyPropertyType, &type,
                                   &format, &count, &left, &data);
                if (data && type == png) png_.assign(data, data + count);
                if (data) XFree(data);
                XSetSelectionOwner(d_, clipboard, w_, CurrentTime);
                reply(saving, saving.property);
                ++saves_;
            }
            XFlush(d_);
        }
    }

    Display* d_;
    Window w_ = 0;
    bool ready_ = false;
    std::vector<unsigned char> png_;
    std::atomic<bool> stop_{false};
    std::atomic<int> saves_{0};
    std::thread thread_;
};

}  // namespace

TEST(ClipboardEndToEnd, TheSavedChartStaysOnTheClipboardAfterTheProgramEnds) {
    XvfbServer x;
    if (x.display().isEmpty()) GTEST_SKIP() << "Xvfb could not start";
    ClipboardManager manager(x.display());
    ASSERT_TRUE(manager.ready());
    ProgramRun run(x);
    const ChartWindows w = openChartOfSamples(run);
    ASSERT_NE(w.chart, 0u) << "no chart window appeared";
    run.click(w.chart, kSaveX, kSaveY);
    const unsigned long dialog = waitForNewWindow(run, {w.main, w.chart});
    ASSERT_NE(dialog, 0u) << "no save dialog appeared";
    QTemporaryDir folder;
    run.typeText(dialog, folder.filePath("chart.jpg"));
    run.key(dialog, "Return");
    ASSERT_TRUE(waitForFile(folder.filePath("chart.jpg")));
    EXPECT_EQ(manager.saves(), 0) << "nothing is handed over while the program runs";

    // The close request with the chart window still open ends the program as ever.
    EXPECT_EQ(run.signalAndWait(SIGTERM), 0);
    EXPECT_EQ(manager.saves(), 1);
    const QString pasted = folder.filePath("pasted.png");
    runTool(x.display(),
            {"sh", "-c", "xclip -selection clipboard -t image/png -o > '" + pasted + "'"});
    EXPECT_EQ(runTool(x.display(), {"identify", "-format", "%wx%h", pasted}), "551x416");
}
