#include "runtime/messages.h"

#include "platform/dialogs/message_box.h"
#include "platform/platform.h"
#include "runtime/titles.h"

void showMessage(Platform& platform, const QString& text) {
    platform.messages->show(text, applicationTitle(), MessageIcon::None);
}
