#include "platform/desktop/clipboard_handover.h"

#include "platform/desktop/x11.h"

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

namespace {

bool managerRuns(xcb_connection_t* connection, xcb_atom_t manager) {
    const XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, manager),
                                      nullptr),
        &std::free);
    return owner && owner->owner != XCB_NONE;
}

}  // namespace

bool handClipboardToManager(std::chrono::milliseconds limit) {
    // A close request that arrives while we wait ends the program again; it must not wait twice.
    static bool handingOver = false;
    if (handingOver) return false;
    xcb_connection_t* connection = x11Connection();
    if (!connection) return false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || !clipboard->ownsClipboard()) return false;
    const xcb_atom_t manager = x11Atom(connection, "CLIPBOARD_MANAGER");
    if (manager == XCB_ATOM_NONE || !managerRuns(connection, manager)) return false;

    handingOver = true;
    // A window of our own for the answer, which the event watch takes before Qt, which knows
    // nothing of it, sees it. Qt keeps serving the manager's requests for the data meanwhile.
    const xcb_window_t requestor = xcb_generate_id(connection);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, requestor, root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_convert_selection(connection, requestor, manager, x11Atom(connection, "SAVE_TARGETS"),
                          x11Atom(connection, "QWS_CLIPBOARD_SAVED"), XCB_CURRENT_TIME);
    xcb_flush(connection);

    bool done = false;
    QEventLoop loop;
    watchX11Events(loop, [&](const xcb_generic_event_t& event) {
        if ((event.response_type & 0x7f) != XCB_SELECTION_NOTIFY) return false;
        if (reinterpret_cast<const xcb_selection_notify_event_t&>(event).requestor != requestor)
            return false;
        done = true;
        loop.quit();
        return true;
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(limit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);

    xcb_destroy_window(connection, requestor);
    xcb_flush(connection);
    handingOver = false;
    return done;
}
