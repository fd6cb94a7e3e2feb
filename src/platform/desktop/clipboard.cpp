#include "platform/desktop/clipboard.h"

#include "platform/failure.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <memory>

namespace {
QClipboard& systemClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) throw Failure(QStringLiteral("The clipboard is not available."));
    return *clipboard;
}
}  // namespace

void QtClipboard::setPicture(const ChartPicture& picture) {
    if (picture.bitmap.isNull()) throw Failure(QStringLiteral("There is no picture to copy."));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.bitmap.save(&buffer, "PNG"))
        throw Failure(QStringLiteral("The picture cannot be put on the clipboard."));
    auto data = std::make_unique<QMimeData>();
    data->setData(QLatin1String(kPngMimeType), png);
    if (!picture.svg.isEmpty()) data->setData(QLatin1String(kSvgMimeType), picture.svg);
    systemClipboard().setMimeData(data.release());
}

ChartPicture QtClipboard::picture(qint32 format) {
    if (format != kAnyPictureFormat)
        throw Failure(QStringLiteral("The clipboard format %1 is not supported.").arg(format));
    const QMimeData* data = systemClipboard().mimeData();
    if (!data) throw Failure(QStringLiteral("The clipboard holds no picture."));
    ChartPicture picture;
    if (data->hasFormat(QLatin1String(kPngMimeType)))
        picture.bitmap = QImage::fromData(data->data(QLatin1String(kPngMimeType)), "PNG");
    else if (data->hasImage())
        picture.bitmap = qvariant_cast<QImage>(data->imageData());
    else
        throw Failure(QStringLiteral("The clipboard holds no picture."));
    if (picture.bitmap.isNull())
        throw Failure(QStringLiteral("The clipboard picture cannot be read."));
    if (data->hasFormat(QLatin1String(kSvgMimeType)))
        picture.svg = data->data(QLatin1String(kSvgMimeType));
    return picture;
}
