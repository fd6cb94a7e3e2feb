#pragma once
// The JPEG encoder. It answers with a status code instead of throwing, 0 for success, so the
// caller can name the code in its message. The picture is encoded in memory and then replaced
// whole (platform/file_replace.h): a failed save leaves no partial file and an existing file as
// it was. Only a regular file is replaced.

#include <QImage>
#include <QString>

namespace jpeg_status {
inline constexpr int kOk = 0;
inline constexpr int kNoPicture = 1;          // the picture is empty
inline constexpr int kCannotCreateFile = 2;   // the file (or its temporary twin) cannot be made
inline constexpr int kNoEncoder = 3;          // no JPEG encoder is installed
inline constexpr int kEncodingFailed = 4;     // the encoder failed
inline constexpr int kCannotReplaceFile = 5;  // the finished file cannot take the name
inline constexpr int kCannotWriteFile = 6;    // a write or the sync failed: full disk, size limit
inline constexpr int kNotARegularFile = 7;    // the name is, or links to, a pipe, device, ...
}  // namespace jpeg_status

class ImageWriter {
  public:
    virtual ~ImageWriter() = default;
    // Quality 0 to 100.
    virtual int saveJpeg(const QImage& picture, const QString& path, int quality) = 0;
};

class QtImageWriter : public ImageWriter {
  public:
    int saveJpeg(const QImage& picture, const QString& path, int quality) override;
};
