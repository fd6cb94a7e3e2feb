#include "shell/startup.h"

#include "shell/close_requests.h"
#include "shell/form1_wiring.h"
#include "shell/main_window.h"
#include "windows/form1.h"

#include <QGuiApplication>
#include <QScreen>

void startMainWindow(Form1& form, const QStringList& listFiles) {
    wireForm1(form);
    routeCloseRequestsTo(form);
    Form_Load(form);
    closeRequestsRunTheCloseSequence();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = form.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        form.move(frame.topLeft());
    }
    form.show();
    form.ListView1->setFocus(Qt::OtherFocusReason);
    loadListFilesSoon(form, listFiles);
}
