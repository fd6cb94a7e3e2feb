#pragma once

#include <QStringList>

class Form1;

// Wires the main window, runs its load sequence and shows it centred with the focus on the list;
// then the list files given, if any, load as if chosen together in the open dialog.
void startMainWindow(Form1& form, const QStringList& listFiles = {});
