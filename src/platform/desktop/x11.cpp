#include "platform/desktop/x11.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QObject>
#include <cstring>
#include <vector>

namespace {

// One filter for all watchers: each installed filter costs every event Qt reads a call.
class X11EventFilter : public QAbstractNativeEventFilter {
  public:
    void add(QObject& owner, std::function<bool(const xcb_generic_event_t&)> watch) {
        auto entry = std::make_shared<Watch>(std::move(watch));
        entries_.push_back(entry);
        QObject::connect(&owner, &QObject::destroyed, [this, gone = entry.get()] {
            std::erase_if(entries_, [gone](const auto& e) { return e.get() == gone; });
        });
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t" || entries_.empty()) return false;
        const auto& event = *static_cast<const xcb_generic_event_t*>(message);
        // A watcher may end another's owner (or its own) while it runs.
        const std::vector<std::shared_ptr<Watch>> entries = entries_;
        for (const auto& watch : entries)
            if ((*watch)(event)) return true;
        return false;
    }

  private:
    using Watch = std::function<bool(const xcb_generic_event_t&)>;
    std::vector<std::shared_ptr<Watch>> entries_;
};

}  // namespace

xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t x11Atom(xcb_connection_t* connection, const char* name) {
    const XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

XcbReply<xcb_get_property_reply_t> x11Property(xcb_connection_t* connection, xcb_window_t window,
                                               xcb_atom_t name, xcb_atom_t type, uint32_t length) {
    return {
        xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, name, type, 0, length), nullptr),
        &std::free};
}

void watchX11Events(QObject& owner, std::function<bool(const xcb_generic_event_t&)> watch) {
    if (!x11Connection()) return;
    // Lives as long as the process: Qt's event dispatch may still ask it during the end.
    static X11EventFilter* const filter = new X11EventFilter;
    static QCoreApplication* installedOn = nullptr;
    if (installedOn != QCoreApplication::instance()) {
        installedOn = QCoreApplication::instance();
        installedOn->installNativeEventFilter(filter);
    }
    filter->add(owner, std::move(watch));
}
