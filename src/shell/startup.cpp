#include "shell/startup.h"

#include "platform/desktop/window_frame.h"
#include "platform/store/settings_store.h"
#include "runtime/chart_window_factory.h"
#include "runtime/titles.h"
#include "shell/close_requests.h"
#include "shell/form1_wiring.h"
#include "shell/form2_wiring.h"
#include "shell/main_window.h"
#include "slices/persistence.h"
#include "windows/form1.h"

void readStoredListAhead() {
    lookAheadAtStore(QString::fromUtf16(kSettingsAppName), productTitle(),
                     QString::fromUtf16(kDataKey));
}

void startMainWindow(Form1& form, const QStringList& listFiles) {
    setChartWindowFactory(loadChartWindow);
    wireForm1(form);
    routeCloseRequestsTo(form);
    Form_Load(form);
    closeRequestsRunTheCloseSequence();
    centreOnScreen(form);
    form.show();
    form.ListView1->setFocus(Qt::OtherFocusReason);
    loadListFilesSoon(form, listFiles);
}
