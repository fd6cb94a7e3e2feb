#pragma once
// The desktop going away under the program: the X server or the Wayland compositor ends or the
// connection to it breaks (a crash, a closed remote or nested session, a logout that stops the
// compositor), or the X session manager goes without asking us to end. Qt's platform plugins
// then end the process at once, xcb with exit(1) and wayland with _exit(1), and libICE, under
// Qt's session management, with exit(1); no close request comes first. The warning each plugin
// prints just before, through Qt's message handler, and libICE's I/O error handler are the last
// moments our code runs: an exit handler would come too late for wayland, and for xcb only after
// the statics that Qt made since start-up are gone.

#include <functional>

// Calls handler once such a connection has broken, on the UI thread between two events (Qt's
// own end waits for it), and then ends the process at once with the code the handler returns.
// The handler must show no window and touch no window system: the display may be gone. Does
// nothing on other platforms (offscreen).
void onDesktopLost(std::function<int()> handler);
