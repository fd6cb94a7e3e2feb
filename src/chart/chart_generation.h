#pragma once
// The chart: generating it from the list, the chart window, printing and JPEG export.
//
// "Start Generating Chart" checks the list in the main window, loads a fresh chart window on
// the first touch of its chart, hands one slice per list row to the chart control and shows the
// window modally; the chart window's handlers (chart_window.h, jpeg_export.h) run inside that
// modal loop and take the chart's picture through the clipboard to the printer or a JPEG file.

class Form1;
class ListView;

// Start Generating Chart.
void PushButton1_Click(Form1& form);
// Change Font.
void PushButton5_Click(Form1& form);

// True when every row's value is numeric; an empty list gives true.
bool AllValuesNumeric(const ListView& list);

// Slice counts and positions are 16-bit.
inline constexpr int kMaxChartSlices = 32767;
inline constexpr char16_t kNotAllNumbers[] = u"All values must be numbers.";
inline constexpr char16_t kTooManySlices[] = u"The chart holds at most 32,767 slices.";
