#include "chart/clipboard_picture.h"

#include <QElapsedTimer>
#include <exception>

std::optional<ChartPicture> GetClipboardPicture(Clipboard& clipboard, qint32 format,
                                                std::chrono::milliseconds patience) {
    QElapsedTimer elapsed;
    elapsed.start();
    for (int attempt = 1; attempt <= kClipboardReadAttempts; ++attempt) {
        try {
            return clipboard.picture(format);
        } catch (const std::exception&) {
            // Another read may find the clipboard free again.
        }
        if (elapsed.elapsed() >= patience.count()) break;
    }
    return std::nullopt;
}
