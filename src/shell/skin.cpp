#include "shell/skin.h"

#include "windows/form1.h"

void ApplySkin(Form1& form) { Q_UNUSED(form); }
