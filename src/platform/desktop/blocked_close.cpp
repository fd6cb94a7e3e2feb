#include "platform/desktop/blocked_close.h"

#include <xcb/xcb.h>
#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply) return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

// Sees WM_DELETE_WINDOW before Qt's xcb plugin turns it into a close event that it then drops.
class X11BlockedCloseFilter : public QObject, public QAbstractNativeEventFilter {
  public:
    X11BlockedCloseFilter(QWidget& window, std::function<void()> handler, xcb_atom_t protocols,
                          xcb_atom_t deleteWindow)
        : QObject(&window),
          window_(window),
          handler_(std::move(handler)),
          protocols_(protocols),
          deleteWindow_(deleteWindow) {
        // The filter's own destructor takes it off again.
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
        const auto* client = static_cast<const xcb_client_message_event_t*>(message);
        if (client->format != 32 || client->type != protocols_ ||
            client->data.data32[0] != deleteWindow_)
            return false;
        // internalWinId: asking must not create the native window.
        if (client->window != xcb_window_t(window_.internalWinId())) return false;
        // The main window is never modal itself: any modal window blocks it.
        if (!QGuiApplication::modalWindow()) return false;
        // From the event loop, not from inside the native event dispatch.
        QTimer::singleShot(0, this, handler_);
        return true;
    }

  private:
    QWidget& window_;  // the filter's parent, so it never outlives it
    std::function<void()> handler_;
    xcb_atom_t protocols_;
    xcb_atom_t deleteWindow_;
};

}  // namespace

void onBlockedCloseRequest(QWidget& window, std::function<void()> handler) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return;
    xcb_connection_t* connection = x11->connection();
    const xcb_atom_t protocols = internAtom(connection, "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = internAtom(connection, "WM_DELETE_WINDOW");
    if (protocols == XCB_ATOM_NONE || deleteWindow == XCB_ATOM_NONE) return;
    new X11BlockedCloseFilter(window, std::move(handler), protocols, deleteWindow);
}
