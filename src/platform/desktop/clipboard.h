#pragma once
// The system clipboard, for pictures only: the chart copies its picture onto it, and printing
// and the JPEG export read it back.

#include "platform/chart/chart_picture.h"

class Clipboard {
  public:
    virtual ~Clipboard() = default;
    // Replaces whatever the clipboard held with the picture.
    virtual void setPicture(const ChartPicture& picture) = 0;
    // One read of a picture in the given format, 0 meaning whichever picture format it holds.
    // Throws Failure when the clipboard gives no picture at this moment.
    virtual ChartPicture picture(qint32 format) = 0;
};

inline constexpr qint32 kAnyPictureFormat = 0;

// The bitmap goes first, as PNG, for programs that take only pixels; the SVG beside it lets
// programs that take vectors scale the chart cleanly.
inline constexpr char kPngMimeType[] = "image/png";
inline constexpr char kSvgMimeType[] = "image/svg+xml";

class QtClipboard : public Clipboard {
  public:
    void setPicture(const ChartPicture& picture) override;
    ChartPicture picture(qint32 format) override;
};
