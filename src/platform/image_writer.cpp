#include "platform/image_writer.h"

#include "platform/file_replace.h"

#include <QBuffer>
#include <QImageWriter>

namespace {

int statusOf(const ReplaceResult& result) {
    switch (result.failure) {
        case ReplaceFailure::None:
            return jpeg_status::kOk;
        case ReplaceFailure::NotARegularFile:
            return jpeg_status::kNotARegularFile;
        case ReplaceFailure::CannotCreate:
            return jpeg_status::kCannotCreateFile;
        case ReplaceFailure::CannotWrite:
            return jpeg_status::kCannotWriteFile;
        case ReplaceFailure::CannotReplace:
            return jpeg_status::kCannotReplaceFile;
    }
    return jpeg_status::kCannotWriteFile;
}

}  // namespace

int QtImageWriter::saveJpeg(const QImage& picture, const QString& path, int quality) {
    if (picture.isNull()) return jpeg_status::kNoPicture;
    if (path.isEmpty()) return jpeg_status::kCannotCreateFile;
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(quality);
        if (!writer.canWrite())
            return writer.error() == QImageWriter::UnsupportedFormatError
                       ? jpeg_status::kNoEncoder
                       : jpeg_status::kEncodingFailed;
        if (!writer.write(picture)) return jpeg_status::kEncodingFailed;
    }
    return statusOf(replaceFileContent(path, bytes));
}
