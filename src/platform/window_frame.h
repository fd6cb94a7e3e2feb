#pragma once
// The frame around a top-level window, put there by the window manager (X) or drawn by the
// toolkit (Wayland). It may come only after the window is first shown, and a frame that comes or
// changes alters the window's outer size without a resize of the window itself, so Qt sends no
// event for it.

#include <functional>

class QWidget;

// Calls the function, from the event loop, after the window is shown and whenever the window
// manager may have given it its frame or changed it; the frame is read afresh by then.
void onFrameChange(QWidget& window, std::function<void()> handler);
