#include "shell/startup.h"

#include "platform/window_frame.h"
#include "shell/close_requests.h"
#include "shell/form1_wiring.h"
#include "shell/main_window.h"
#include "windows/form1.h"

void startMainWindow(Form1& form) {
    wireForm1(form);
    routeCloseRequestsTo(form);
    Form_Load(form);
    closeRequestsRunTheCloseSequence();
    centreOnScreen(form);
    form.show();
    form.ListView1->setFocus(Qt::OtherFocusReason);
}
