#include "platform/desktop/clipboard_handover.h"

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>

// Xlib after Qt: its macros (None, Bool, Status) would clash with Qt's names.
#include <X11/Xlib.h>

namespace {

// A connection of our own: the manager's answer must not land in Qt's event queue, which knows
// nothing of our window. Qt's own connection keeps serving the manager's requests for the data.
class XConnection {
  public:
    explicit XConnection(const char* name) : display_(XOpenDisplay(name)) {}
    ~XConnection() {
        if (display_) XCloseDisplay(display_);
    }
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;
    Display* get() const { return display_; }

  private:
    Display* display_;
};

// Reads what has arrived; true once the manager has answered our window.
bool answered(Display* display, Window requestor) {
    bool done = false;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionNotify && event.xselection.requestor == requestor) done = true;
    }
    return done;
}

}  // namespace

bool handClipboardToManager(std::chrono::milliseconds limit) {
    // A close request that arrives while we wait ends the program again; it must not wait twice.
    static bool handingOver = false;
    if (handingOver || QGuiApplication::platformName() != QLatin1String("xcb")) return false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || !clipboard->ownsClipboard()) return false;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display()) return false;
    XConnection connection(DisplayString(x11->display()));
    Display* display = connection.get();
    if (!display) return false;
    const Atom manager = XInternAtom(display, "CLIPBOARD_MANAGER", False);
    if (XGetSelectionOwner(display, manager) == None) return false;

    handingOver = true;
    const Window requestor =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XConvertSelection(display, manager, XInternAtom(display, "SAVE_TARGETS", False),
                      XInternAtom(display, "QWS_CLIPBOARD_SAVED", False), requestor, CurrentTime);
    XFlush(display);

    bool done = answered(display, requestor);
    if (!done) {
        QEventLoop loop;
        QSocketNotifier incoming(ConnectionNumber(display), QSocketNotifier::Read);
        QObject::connect(&incoming, &QSocketNotifier::activated, &loop, [&] {
            if (answered(display, requestor)) {
                done = true;
                loop.quit();
            }
        });
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        deadline.start(limit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    XDestroyWindow(display, requestor);
    handingOver = false;
    return done;
}
