#pragma once
// The look of the windows beyond their layout: the optional skin of the main window and the
// button-face colouring.

#include <QString>

class Form1;
class QWidget;

// The skin file of a program folder: "x", then "o.cjs", joined by the native separator.
QString skinFilePath(const QString& programFolder);

// With the skin file in the program folder: the button-face colours, then the skin engine loads
// the skin and draws the main window with it. Without the file it does nothing. A failing engine
// call ends it there and passes the failure on; the colours already set stay.
void ApplySkin(Form1& form);

// Gives the window, and in its control order only its option buttons, check boxes, frames and
// labels, the button-face colour; every other control keeps its colours.
void ApplyButtonFaceColor(QWidget& window);
