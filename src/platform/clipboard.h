#pragma once
// The system clipboard, for pictures only: the chart copies its picture onto it, and printing
// and the JPEG export read it back.

#include <QImage>

class Clipboard {
  public:
    virtual ~Clipboard() = default;
    // Replaces whatever the clipboard held with the picture.
    virtual void setPicture(const QImage& picture) = 0;
    // One read of a picture in the given format, 0 meaning whichever picture format it holds.
    // Throws Failure when the clipboard gives no picture at this moment.
    virtual QImage picture(qint32 format) = 0;
};

inline constexpr qint32 kAnyPictureFormat = 0;

class QtClipboard : public Clipboard {
  public:
    void setPicture(const QImage& picture) override;
    QImage picture(qint32 format) override;
};
