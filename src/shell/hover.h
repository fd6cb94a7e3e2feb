#pragma once
// The hover pointer. A push button's mouse-move selects the window's custom pointer, the
// window's own background and a few controls restore the ordinary one, and neither touches the
// hourglass of a busy window. The pointer is the window's, so what was set last shows over every
// control without a handler of its own.

#include "windows/window_state.h"

#include <functional>

class Form1;
class Form2;
class QWidget;

// 99 unless the window is busy (11).
void selectHandPointer(QWidget& window, WindowPointer& pointer);
// 0 unless the window is busy (11).
void restoreOrdinaryPointer(QWidget& window, WindowPointer& pointer);

// Runs handler with the mouse-move values (Button bits 1 left, 2 right, 4 middle; Shift bits;
// X and Y in twips) for every move over control, with or without a pressed button. The move is
// then the control's alone: it does not go on to the control's parent.
using MouseMoveHandler = std::function<void(int Button, int Shift, float X, float Y)>;
void onMouseMove(QWidget& control, MouseMoveHandler handler);

void PushButton1_MouseMove(Form1& form, int Button, int Shift, float X, float Y);
void PushButton2_MouseMove(Form1& form, int Button, int Shift, float X, float Y);
void PushButton3_MouseMove(Form1& form, int Button, int Shift, float X, float Y);
void PushButton4_MouseMove(Form1& form, int Button, int Shift, float X, float Y);
void PushButton5_MouseMove(Form1& form, int Button, int Shift, float X, float Y);
void PushButton6_MouseMove(Form1& form, int Button, int Shift, float X, float Y);
void PushButton7_MouseMove(Form1& form, int Button, int Shift, float X, float Y);
void Form_MouseMove(Form1& form, int Button, int Shift, float X, float Y);
void ListView1_MouseMove(Form1& form, int Button, int Shift, float X, float Y);
void Frame1_MouseMove(Form1& form, int Button, int Shift, float X, float Y);

void PushButton1_MouseMove(Form2& form, int Button, int Shift, float X, float Y);
void PushButton5_MouseMove(Form2& form, int Button, int Shift, float X, float Y);
void Form_MouseMove(Form2& form, int Button, int Shift, float X, float Y);
