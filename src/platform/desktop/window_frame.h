#pragma once
// The frame around a top-level window, put there by the window manager (X) or drawn by the
// toolkit (Wayland). It may come only after the window is first shown, and a frame that comes or
// changes alters the window's outer size without a resize of the window itself, so Qt sends no
// event for it.

#include <QSize>
#include <functional>

class QWidget;

// Places a window that is not yet shown so that its outer frame is centred on its screen.
// AskWindowManager: under X the window manager is asked beforehand what frame it will give the
// window, so the window opens in its place at once; without an answer the frame counts as none.
// LikeOwner: the window takes the frame its owner (the parent's window, already shown) has, as
// a window manager frames its windows alike; nothing is asked, since asking makes the window
// native, and a window made native before a modal show loses the first click on its buttons to
// the window manager.
enum class FrameQuery { AskWindowManager, LikeOwner };
void centreOnScreen(QWidget& window, FrameQuery query = FrameQuery::AskWindowManager);

// The window's outer size, frame included, as the window system has it at this moment.
QSize outerSize(const QWidget& window);

// Calls the function, from the event loop, after the window is shown and whenever the window
// manager may have given it its frame or changed it; the frame is read afresh by then.
void onFrameChange(QWidget& window, std::function<void()> handler);
