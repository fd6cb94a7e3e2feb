#pragma once
// The chart window's own handlers: loading, fitting the chart to the window, and printing.

#include <QSizeF>

class Form2;

// Centres the window on the screen and runs it modally until the user closes it.
void showChartWindowModal(Form2& form);

void Form_Load(Form2& form);
// Unguarded: runs at the first display and on every change of size or state.
void Form_Resize(Form2& form);
// The fit again when the outer size changed without a resize of the window: a window manager
// gave the frame after the first display, or changed it.
void refitAfterFrameChange(Form2& form);
// Send Pie Chart To Printer.
void PushButton1_Click(Form2& form);

// The chart's size for a window of the given outer size, all in twips; never below zero.
QSizeF fittedChartSize(float outerWidthTwips, float outerHeightTwips);

inline constexpr float kChartWidthAllowanceTwips = 270;
inline constexpr float kChartHeightAllowanceTwips = 1200;
