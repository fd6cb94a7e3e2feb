#pragma once

#include "platform/desktop/clipboard.h"

#include <chrono>
#include <optional>

// Reads a picture from the clipboard, trying up to 1000 times without a pause, and gives none
// when no read succeeds; it never fails. A clipboard whose owner stalls every read is given up
// on after the patience too, so the window cannot freeze for long. The picture comes with its
// vector form when the chart put it there: printing paints that, the JPEG export the bitmap.
std::optional<ChartPicture> GetClipboardPicture(
    Clipboard& clipboard, qint32 format,
    std::chrono::milliseconds patience = std::chrono::seconds(3));

inline constexpr int kClipboardReadAttempts = 1000;
