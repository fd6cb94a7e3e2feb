#include "platform/image_writer.h"

#include <QImageWriter>
#include <QSaveFile>

int QtImageWriter::saveJpeg(const QImage& picture, const QString& path, int quality) {
    if (picture.isNull()) return jpeg_status::kNoPicture;
    // QSaveFile takes an empty name and fails only at the end, after writing a temporary file.
    if (path.isEmpty()) return jpeg_status::kCannotCreateFile;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return jpeg_status::kCannotCreateFile;
    QImageWriter writer(&file, "jpeg");
    writer.setQuality(quality);
    if (!writer.canWrite()) {
        file.cancelWriting();
        return writer.error() == QImageWriter::UnsupportedFormatError
                   ? jpeg_status::kNoEncoder
                   : jpeg_status::kEncodingFailed;
    }
    if (!writer.write(picture)) {
        file.cancelWriting();
        return jpeg_status::kEncodingFailed;
    }
    return file.commit() ? jpeg_status::kOk : jpeg_status::kCannotReplaceFile;
}
