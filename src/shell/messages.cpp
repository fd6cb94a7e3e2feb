#include "shell/messages.h"

#include "platform/message_box.h"
#include "platform/platform.h"
#include "shell/titles.h"

void showMessage(Platform& platform, const QString& text) {
    platform.messages->show(text, applicationTitle(), MessageIcon::None);
}
