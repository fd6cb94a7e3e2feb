#include "platform/desktop/window_frame.h"

#include "platform/desktop/x11.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

namespace {

// Under X the frame comes with the window manager's reparenting and its configure and
// _NET_FRAME_EXTENTS notices, which Qt takes as the cue to read the frame again; watching the raw
// events is the only way to hear of them. Under Wayland the toolkit draws the frame itself while
// the window is shown. Either way the call is queued, so Qt has read the frame first.
class FrameWatch : public QObject {
  public:
    FrameWatch(QWidget& window, std::function<void()> handler = {})
        : QObject(&window), window_(window), handler_(std::move(handler)) {
        window.installEventFilter(this);
        watchX11Events(*this, [this](const xcb_generic_event_t& event) {
            xcb_window_t target = XCB_NONE;
            switch (event.response_type & ~0x80) {
                case XCB_REPARENT_NOTIFY:
                    target = reinterpret_cast<const xcb_reparent_notify_event_t&>(event).window;
                    break;
                case XCB_CONFIGURE_NOTIFY:
                    target = reinterpret_cast<const xcb_configure_notify_event_t&>(event).window;
                    break;
                case XCB_PROPERTY_NOTIFY:
                    target = reinterpret_cast<const xcb_property_notify_event_t&>(event).window;
                    break;
                default:
                    return false;
            }
            // internalWinId, not winId: asking must not create the native window.
            if (target != XCB_NONE && target == window_.internalWinId()) queue();
            return false;
        });
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) queue();
        return false;
    }

    void setHandler(std::function<void()> handler) { handler_ = std::move(handler); }

  private:
    void queue() {
        if (queued_) return;
        queued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                queued_ = false;
                if (handler_) handler_();
            },
            Qt::QueuedConnection);
    }

    QWidget& window_;
    std::function<void()> handler_;
    bool queued_ = false;
};

}  // namespace

namespace {

// Under X the frame as the window manager has it now. Qt 6.4's xcb plugin reads
// _NET_FRAME_EXTENTS again only after a configure notice, so a frame that changes after the
// resize that caused it (borders dropped from a maximized window) would stay stale there.
std::optional<QMargins> currentFrame(const QWidget& window) {
    xcb_connection_t* connection = x11Connection();
    if (!connection) return std::nullopt;
    // Asked for at every resize: the atom is looked up once a connection.
    static xcb_connection_t* askedOn = nullptr;
    static xcb_atom_t extents = XCB_ATOM_NONE;
    if (askedOn != connection) {
        askedOn = connection;
        extents = x11Atom(connection, "_NET_FRAME_EXTENTS");
    }
    if (extents == XCB_ATOM_NONE) return std::nullopt;
    const auto reply = x11Property(connection, xcb_window_t(window.internalWinId()), extents,
                                   XCB_ATOM_CARDINAL, 4);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 16)
        return std::nullopt;
    // Left, right, top and bottom, in device pixels.
    const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    const qreal ratio = window.devicePixelRatioF();
    return QMargins(qRound(v[0] / ratio), qRound(v[2] / ratio), qRound(v[1] / ratio),
                    qRound(v[3] / ratio));
}

// The frame the window manager will put round the window, asked for before the window is
// mapped (_NET_REQUEST_FRAME_EXTENTS): the manager answers by setting _NET_FRAME_EXTENTS on it.
QMargins frameToCome(QWidget& window) {
    xcb_connection_t* connection = x11Connection();
    if (!connection) return {};
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_atom_t request = x11Atom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t supported = x11Atom(connection, "_NET_SUPPORTED");
    if (request == XCB_ATOM_NONE) return {};
    // Without a window manager that offers the request nobody would answer.
    const auto offered = x11Property(connection, root, supported, XCB_ATOM_ATOM, 4096);
    if (!offered || offered->format != 32) return {};
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(offered.get()));
    const int count = xcb_get_property_value_length(offered.get()) / int(sizeof(xcb_atom_t));
    if (std::find(atoms, atoms + count, request) == atoms + count) return {};

    const auto native = xcb_window_t(window.winId());
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = native;
    message.type = request;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
    // A manager answers within milliseconds, or a few hundred on a busy machine; one that does
    // not answer in a second leaves the frame unknown rather than hold up the window longer.
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 1s;
    do {
        if (const std::optional<QMargins> frame = currentFrame(window)) return *frame;
        std::this_thread::sleep_for(2ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return {};
}

// The frame round the window's owner, when the owner is shown and framed.
QMargins ownerFrame(const QWidget& window) {
    const QWidget* owner = window.parentWidget() ? window.parentWidget()->window() : nullptr;
    if (!owner || !owner->isVisible()) return {};
    const QRect outer = owner->frameGeometry();
    const QRect inner = owner->geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                    outer.right() - inner.right(), outer.bottom() - inner.bottom());
}

}  // namespace

// The frame of Qt's own client-side decoration under Wayland: a title bar and thin borders.
constexpr QMargins kClientDecoration(3, 30, 3, 3);

namespace {

QRect centredFrame(const QWidget& window, const QScreen& screen, const QMargins& frame) {
    QRect outer = QRect(QPoint(), window.size()).marginsAdded(frame);
    outer.moveCenter(screen.availableGeometry().center());
    return outer;
}

void placeCentred(QWidget& window, const QScreen& screen, const QMargins& frame) {
    const QRect outer = centredFrame(window, screen, frame);
    // A move places the frame's corner where Qt knows the frame; where it knows none yet, the
    // corner of whatever the window is: the client area once the native window exists, the
    // frame to come before (Qt passes the point on as the frame's own).
    const bool native = window.testAttribute(Qt::WA_WState_Created);
    window.move(native ? outer.topLeft() + QPoint(frame.left(), frame.top()) : outer.topLeft());
}

}  // namespace

void centreOnScreen(QWidget& window, FrameQuery query) {
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QMargins frame =
        query == FrameQuery::AskWindowManager ? frameToCome(window) : ownerFrame(window);
    placeCentred(window, *screen, frame);
    if (query != FrameQuery::LikeOwner || !x11Connection()) return;
    // A window manager may frame the window otherwise than its owner (a resizable window gets
    // grips); the window is centred again once its own frame is known, a pixel or two at most.
    auto* watch = new FrameWatch(window);
    watch->setHandler([&window, screen = QPointer<QScreen>(screen), frame, watch] {
        const std::optional<QMargins> actual = currentFrame(window);
        if (!actual) return;
        // Shown, the window's own client area is placed: Qt's idea of the frame may be older.
        if (*actual != frame && screen && window.windowHandle())
            window.windowHandle()->setPosition(centredFrame(window, *screen, *actual).topLeft() +
                                               QPoint(actual->left(), actual->top()));
        watch->deleteLater();
    });
}

QSize outerSize(const QWidget& window) {
    // QWidget keeps the frame it heard of with the window's last move or resize; a frame that
    // changes by itself, as when a window manager drops the borders of a maximized window just
    // after resizing it, only the platform window reads afresh.
    const QWindow* handle = window.windowHandle();
    if (!handle || !handle->handle()) return window.frameGeometry().size();
    const QMargins frame = currentFrame(window).value_or(handle->frameMargins());
    QSize size = window.size() + QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    // A Wayland compositor that draws the frame itself (server-side decorations) tells the client
    // nothing of it, so the window seems to have none. Its frame is taken to be the one Qt draws
    // when the client decorates itself, so the chart fits the same way under either.
    const bool framed = window.windowFlags().testFlag(Qt::WindowTitleHint) &&
                        !(window.windowState() & Qt::WindowFullScreen);
    if (framed && frame.isNull() &&
        QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        size += QSize(kClientDecoration.left() + kClientDecoration.right(),
                      kClientDecoration.top() + kClientDecoration.bottom());
    return size;
}

void onFrameChange(QWidget& window, std::function<void()> handler) {
    new FrameWatch(window, std::move(handler));
}
