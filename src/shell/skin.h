#pragma once
// The look of the windows beyond their layout: the optional skin of the main window and the
// button-face colouring.

class Form1;
class QWidget;

// Applies the skin file of the program folder to the main window when it exists.
void ApplySkin(Form1& form);
