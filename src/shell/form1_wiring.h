#pragma once

class Form1;

// Connects every control of the main window to its handler: the window's whole event map.
void wireForm1(Form1& form);
