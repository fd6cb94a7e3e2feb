#pragma once

#include <QStringList>

class Form1;

// Connects every control of the main window to its handler: the window's whole event map.
void wireForm1(Form1& form);

// Loads list files named from outside once the events in hand are done, as if chosen together
// in the open dialog; the command line and drops onto the window come this way.
void loadListFilesSoon(Form1& form, const QStringList& paths);
