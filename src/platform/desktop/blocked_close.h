#pragma once
// Close requests from the window system for a window that a modal window blocks. Qt 6.4 drops
// them on purpose (a blocked window may not be closed; QGuiApplicationPrivate's close handling),
// yet a close of the main window must always close it, whatever dialog or message box is open
// above it.

#include <functional>

class QWidget;

// Calls handler, from the event loop, for every close request the window system sends window
// while a modal window blocks it. Requests for an unblocked window take Qt's usual way. Works
// where the window system's close requests can be seen before Qt drops them (X11); elsewhere
// it does nothing.
void onBlockedCloseRequest(QWidget& window, std::function<void()> handler);
