#include "shell/close_requests.h"

#include "platform/application.h"
#include "platform/blocked_close.h"
#include "platform/desktop_loss.h"
#include "slices/persistence.h"
#include "windows/form1.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QGuiApplication>
#include <QPointer>
#include <QSessionManager>
#include <QSocketNotifier>
#include <csignal>

namespace {

int g_signalPipe[2] = {-1, -1};
bool g_loaded = false;

extern "C" void onCloseSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here; a full pipe already holds a pending request.
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

}  // namespace

void closeRequestsRunTheCloseSequence() { g_loaded = true; }

void routeCloseRequestsTo(Form1& form) {
    g_loaded = false;
    QPointer<Form1> target(&form);
    auto requestClose = [target] {
        if (!target) return;
        if (!g_loaded) {
            // A report during the restore runs an event loop; storing now would keep only the
            // rows restored so far.
            target->platform.application->endProgram();
            return;
        }
        target->close();
    };

    if (g_signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        for (int fd : g_signalPipe) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        struct sigaction action = {};
        action.sa_handler = onCloseSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
    }
    if (g_signalPipe[0] >= 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &form);
        QObject::connect(notifier, &QSocketNotifier::activated, &form, [requestClose] {
            char bytes[64];
            while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
            }
            requestClose();
        });
    }
    QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, &form,
                     [requestClose](QSessionManager&) { requestClose(); });
    onBlockedCloseRequest(form, requestClose);
    // Once the display has gone no close sequence can run (its event passes and any report need
    // the display), so only the store is done; during the restore, not even that.
    onDesktopLost(
        [target] { return target && g_loaded && storeListWithoutWindows(*target) ? 0 : 1; });
}
