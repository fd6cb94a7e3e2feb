#pragma once
// The frame a window manager puts around a top-level window. It may come only after the window
// is first shown, and a frame that comes or changes alters the window's outer size without a
// resize of the window itself, so Qt sends no event for it.

#include <functional>

class QWidget;

// Calls the function, from the event loop, after the window manager may have given the window
// its frame or changed it (the frame is read afresh by then). Never called where no window
// manager frames windows this way.
void onFrameChange(QWidget& window, std::function<void()> handler);
