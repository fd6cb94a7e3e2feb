#include "slices/list_file.h"

#include "windows/form1.h"

void PushButton3_Click(Form1& form) { Q_UNUSED(form); }
