#include "chart/chart_generation.h"

#include "windows/form1.h"

void PushButton1_Click(Form1& form) { Q_UNUSED(form); }
void PushButton5_Click(Form1& form) { Q_UNUSED(form); }
