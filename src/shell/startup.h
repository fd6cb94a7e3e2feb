#pragma once

class Form1;

// Wires the main window, runs its load sequence and shows it centred with the focus on the list.
void startMainWindow(Form1& form);
