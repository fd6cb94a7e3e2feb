#pragma once
// The main window's handlers that change the list by hand: Add Data (button and Enter in either
// box), removal by Delete or double-click, Clear List, the sample rows and the help text.

class Form1;

void PushButton2_Click(Form1& form);
void Text1_KeyPress(Form1& form, int& KeyAscii);
void Text2_KeyPress(Form1& form, int& KeyAscii);
void ListView1_KeyDown(Form1& form, int& KeyCode, int Shift);
void ListView1_DblClick(Form1& form);
void PushButton7_Click(Form1& form);
void PushButton6_Click(Form1& form);
void PushButton4_Click(Form1& form);

inline constexpr int kKeyAsciiEnter = 13;
inline constexpr int kKeyCodeDelete = 46;
