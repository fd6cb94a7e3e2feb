#include "platform/clipboard.h"

#include "platform/failure.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {
QClipboard& systemClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) throw Failure(QStringLiteral("The clipboard is not available."));
    return *clipboard;
}
}  // namespace

void QtClipboard::setPicture(const QImage& picture) {
    if (picture.isNull()) throw Failure(QStringLiteral("There is no picture to copy."));
    systemClipboard().setImage(picture);
}

QImage QtClipboard::picture(qint32 format) {
    if (format != kAnyPictureFormat)
        throw Failure(QStringLiteral("The clipboard format %1 is not supported.").arg(format));
    const QMimeData* data = systemClipboard().mimeData();
    if (!data || !data->hasImage())
        throw Failure(QStringLiteral("The clipboard holds no picture."));
    QImage image = qvariant_cast<QImage>(data->imageData());
    if (image.isNull()) throw Failure(QStringLiteral("The clipboard picture cannot be read."));
    return image;
}
