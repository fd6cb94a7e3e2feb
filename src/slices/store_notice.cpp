#include "slices/store_notice.h"

#include "platform/settings_store.h"
#include "shell/messages.h"
#include "windows/form1.h"

void tellOfUnreadableStore(Form1& form) {
    const QString kept = form.platform.settings->unreadableStoreKeptAs();
    const QString left = form.platform.settings->unreadableStoreLeftAt();
    if (!kept.isEmpty())
        showMessage(form.platform,
                    QStringLiteral("The stored list could not be read, so the list starts empty. "
                                   "The file was kept as %1.")
                        .arg(kept));
    else if (!left.isEmpty())
        showMessage(form.platform,
                    QStringLiteral("The stored list could not be read, so the list starts empty. "
                                   "The file %1 could not be set aside, so it stays as it is and "
                                   "the list will not be stored at the close.")
                        .arg(left));
}
