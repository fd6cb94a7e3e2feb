#include "platform/window_frame.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#ifdef Q_OS_LINUX
#include <xcb/xcb.h>
#endif

namespace {

// Under X the frame comes with the window manager's reparenting and its configure and
// _NET_FRAME_EXTENTS notices, which Qt takes as the cue to read the frame again; watching the raw
// events is the only way to hear of them. Under Wayland the toolkit draws the frame itself while
// the window is shown. Either way the call is queued, so Qt has read the frame first.
class FrameWatch : public QObject, public QAbstractNativeEventFilter {
  public:
    FrameWatch(QWidget& window, std::function<void()> handler)
        : QObject(&window), window_(window), handler_(std::move(handler)) {
        window.installEventFilter(this);
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) queue();
        return false;
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
#ifdef Q_OS_LINUX
        if (eventType != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        xcb_window_t target = XCB_NONE;
        switch (event->response_type & ~0x80) {
            case XCB_REPARENT_NOTIFY:
                target = reinterpret_cast<const xcb_reparent_notify_event_t*>(event)->window;
                break;
            case XCB_CONFIGURE_NOTIFY:
                target = reinterpret_cast<const xcb_configure_notify_event_t*>(event)->window;
                break;
            case XCB_PROPERTY_NOTIFY:
                target = reinterpret_cast<const xcb_property_notify_event_t*>(event)->window;
                break;
            default:
                return false;
        }
        // internalWinId, not winId: asking must not create the native window.
        if (target != XCB_NONE && target == window_.internalWinId()) queue();
#else
        Q_UNUSED(eventType);
        Q_UNUSED(message);
#endif
        return false;
    }

  private:
    void queue() {
        if (queued_) return;
        queued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                queued_ = false;
                handler_();
            },
            Qt::QueuedConnection);
    }

    QWidget& window_;
    std::function<void()> handler_;
    bool queued_ = false;
};

}  // namespace

void onFrameChange(QWidget& window, std::function<void()> handler) {
    new FrameWatch(window, std::move(handler));
}
