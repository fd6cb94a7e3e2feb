#pragma once
// Start-up and shut-down of the main window.

class Form1;

void Form_Load(Form1& form);
// Runs for every close request and never refuses one: stores the list and ends the program.
void Form_QueryUnload(Form1& form, int& Cancel, int UnloadMode);

inline constexpr int kListColumnWidthTwips = 3700;
