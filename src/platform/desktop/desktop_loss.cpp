#include "platform/desktop/desktop_loss.h"

#include "platform/desktop/x11.h"

#include <unistd.h>
#include <QGuiApplication>
#include <QThread>
#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

// libICE after Qt: its macros (Status, Bool) would clash with Qt's names.
#include <X11/ICE/ICElib.h>

namespace {

std::function<int()> g_handler;
QtMessageHandler g_previous = nullptr;
// How long the UI thread may take to finish what it is doing before Qt ends the process anyway.
constexpr std::chrono::seconds kUiThreadLimit{30};

bool isWayland(const QString& platform) { return platform.startsWith(u"wayland"); }

// The words Qt's plugins (6.4 and later) warn with right before they end the process. The xcb
// connection can also be asked, so no other warning of that plugin is taken for its end.
bool connectionBroke(const QString& message) {
    const QString platform = QGuiApplication::platformName();
    if (platform == u"xcb") {
        xcb_connection_t* connection = x11Connection();
        return message.startsWith(u"The X11 connection broke") && connection &&
               xcb_connection_has_error(connection) != 0;
    }
    return isWayland(platform) && message.startsWith(u"The Wayland connection");
}

// Only ever on the UI thread, where the program's state is whole between two events.
[[noreturn]] void runHandlerAndEnd() {
    const std::function<int()> handler = std::exchange(g_handler, nullptr);
    const int code = handler ? handler() : 1;
    std::fflush(nullptr);
    ::_exit(code);
}

void onMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    g_previous(type, context, message);
    if ((type != QtWarningMsg && type != QtCriticalMsg) || !qGuiApp || !connectionBroke(message))
        return;
    if (QThread::currentThread() == qGuiApp->thread()) runHandlerAndEnd();
    // Qt 6.4's wayland plugin warns and ends the process from its event thread. The UI thread
    // stores at its next pass through the event loop, once the statement it is in has ended,
    // and ends the process itself; meanwhile this thread waits, so Qt does not end it first.
    QMetaObject::invokeMethod(qGuiApp, &runHandlerAndEnd, Qt::QueuedConnection);
    std::this_thread::sleep_for(kUiThreadLimit);
}

// libICE's own handler ends the process; the session manager's connection is its only user here.
void onSessionManagerLost(IceConn) {
    std::fputs("The connection to the session manager broke.\n", stderr);
    runHandlerAndEnd();
}

}  // namespace

void onDesktopLost(std::function<int()> handler) {
    const QString platform = QGuiApplication::platformName();
    if (platform != u"xcb" && !isWayland(platform)) return;
    g_handler = std::move(handler);
    if (!g_previous) g_previous = qInstallMessageHandler(onMessage);
    if (platform == u"xcb") IceSetIOErrorHandler(onSessionManagerLost);
}
