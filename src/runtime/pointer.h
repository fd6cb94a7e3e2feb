#pragma once
// The window's pointer code is the state; the shown cursor follows it: 0 the arrow, 11 the wait
// cursor, 99 the window's custom picture (the arrow when it has none).

#include "windows/window_state.h"

#include <QString>

class QWidget;

// Both windows' custom pointer, a file in the program's folder.
inline constexpr char16_t kCursorFileName[] = u"HAND-M.CUR";

void setMousePointer(QWidget& window, WindowPointer& pointer, int code);
// Loads a Windows .cur file as a cursor with the hot spot from its directory entry, drawn at the
// screens' device pixel ratio; throws Failure when the file cannot be read or is no cursor.
QCursor loadCursorFile(const QString& path);
// The cursor for a picture of logical pixels at a device pixel ratio: whole ratios repeat each
// pixel, so the drawing stays as crisp as at 1; others scale it smoothly. The hot spot stays on
// the same point of the drawing.
QCursor cursorAtRatio(const QImage& picture, QPoint hotSpot, qreal ratio);
