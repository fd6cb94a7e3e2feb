#include "platform/desktop/blocked_close.h"

#include "platform/desktop/x11.h"

#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

void onBlockedCloseRequest(QWidget& window, std::function<void()> handler) {
    xcb_connection_t* connection = x11Connection();
    if (!connection) return;
    const xcb_atom_t protocols = x11Atom(connection, "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = x11Atom(connection, "WM_DELETE_WINDOW");
    if (protocols == XCB_ATOM_NONE || deleteWindow == XCB_ATOM_NONE) return;
    // Sees WM_DELETE_WINDOW before Qt's xcb plugin turns it into a close event that it then
    // drops.
    watchX11Events(window, [&window, handler = std::move(handler), protocols,
                            deleteWindow](const xcb_generic_event_t& event) {
        if ((event.response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
        const auto& client = reinterpret_cast<const xcb_client_message_event_t&>(event);
        if (client.format != 32 || client.type != protocols ||
            client.data.data32[0] != deleteWindow)
            return false;
        // internalWinId: asking must not create the native window.
        if (client.window != xcb_window_t(window.internalWinId())) return false;
        // The main window is never modal itself: any modal window blocks it.
        if (!QGuiApplication::modalWindow()) return false;
        // From the event loop, not from inside the native event dispatch.
        QTimer::singleShot(0, &window, handler);
        return true;
    });
}
