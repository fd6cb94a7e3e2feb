#include "slices/store_notice.h"

#include "platform/settings_store.h"
#include "shell/messages.h"
#include "windows/form1.h"

void tellOfUnreadableStore(Form1& form) {
    const QString kept = form.platform.settings->unreadableStoreKeptAs();
    if (kept.isEmpty()) return;
    showMessage(form.platform,
                QStringLiteral("The stored list could not be read, so the list starts empty. "
                               "The file was kept as %1.")
                    .arg(kept));
}
