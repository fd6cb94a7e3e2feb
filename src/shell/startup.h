#pragma once

#include <QStringList>

class Form1;

// Begins reading the stored list on a second thread, for the main window's load to take up: the
// toolkit starts meanwhile. Before the application object, as early as can be.
void readStoredListAhead();

// Wires the main window, runs its load sequence and shows it centred with the focus on the list;
// then the list files given, if any, load as if chosen together in the open dialog.
void startMainWindow(Form1& form, const QStringList& listFiles = {});
