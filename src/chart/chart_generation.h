#pragma once
// The chart: generating it from the list, the chart window, printing and JPEG export.

class Form1;

// Start Generating Chart.
void PushButton1_Click(Form1& form);
// Change Font.
void PushButton5_Click(Form1& form);
