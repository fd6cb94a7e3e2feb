#include "shell/close_requests.h"

#include "platform/application.h"
#include "platform/desktop/blocked_close.h"
#include "platform/desktop/close_signals.h"
#include "platform/desktop/desktop_loss.h"
#include "slices/persistence.h"
#include "windows/form1.h"

#include <QGuiApplication>
#include <QPointer>
#include <QSessionManager>

namespace {

bool g_loaded = false;

}  // namespace

void closeRequestsRunTheCloseSequence() { g_loaded = true; }

void routeCloseRequestsTo(Form1& form) {
    g_loaded = false;
    QPointer<Form1> target(&form);
    auto requestClose = [target] {
        if (!target || programEnding()) return;
        if (!g_loaded) {
            // A report during the restore runs an event loop; storing now would keep only the
            // rows restored so far.
            target->platform.application->endProgram();
            return;
        }
        target->close();
    };

    onCloseSignal(&form, requestClose);
    QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, &form,
                     [requestClose](QSessionManager&) { requestClose(); });
    onBlockedCloseRequest(form, requestClose);
    // Once the display has gone no close sequence can run (its event passes and any report need
    // the display), so only the store is done; during the restore, not even that.
    onDesktopLost(
        [target] { return target && g_loaded && storeListWithoutWindows(*target) ? 0 : 1; });
}
