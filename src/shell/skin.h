#pragma once
// The look of the windows beyond their layout: the optional skin of the main window and the
// button-face colouring.

class Form1;
class QWidget;

// Applies the skin file of the program folder to the main window when it exists.
void ApplySkin(Form1& form);

// Gives the window, and in its control order only its option buttons, check boxes, frames and
// labels, the button-face colour; every other control keeps its colours.
void ApplyButtonFaceColor(QWidget& window);
