#include "runtime/pointer.h"

#include "platform/desktop/pointer_picture.h"
#include "platform/failure.h"
#include "platform/files/file_kind.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPixmap>
#include <QWidget>
#include <QtEndian>
#include <QtMath>

void setMousePointer(QWidget& window, WindowPointer& pointer, int code) {
    pointer.MousePointer = code;
    switch (code) {
        case pointer_code::kHourglass:
            window.setCursor(Qt::WaitCursor);
            break;
        case pointer_code::kCustom:
            window.setCursor(pointer.MouseIcon ? *pointer.MouseIcon : QCursor(Qt::ArrowCursor));
            break;
        default:
            window.setCursor(Qt::ArrowCursor);
            break;
    }
}

QCursor loadCursorFile(const QString& path) {
    QFile file;
    openRegularFile(file, path);
    // A cursor file is small; anything much larger is not one. Reading no more than the file
    // holds spares a megabyte buffer per load.
    constexpr qint64 kMaxCursorBytes = 1 << 20;
    const QByteArray bytes = file.read(qBound<qint64>(0, file.size(), kMaxCursorBytes));
    // ICONDIR: reserved 0, type 2 (cursor), count >= 1; the first entry holds the hot spot.
    if (bytes.size() < 22 || qFromLittleEndian<quint16>(bytes.constData()) != 0 ||
        qFromLittleEndian<quint16>(bytes.constData() + 2) != 2 ||
        qFromLittleEndian<quint16>(bytes.constData() + 4) < 1)
        throw Failure(QStringLiteral("The file %1 is not a cursor file.").arg(path));
    const int hotX = qFromLittleEndian<quint16>(bytes.constData() + 10);
    const int hotY = qFromLittleEndian<quint16>(bytes.constData() + 12);
    QByteArray asIcon = bytes;
    asIcon[2] = 1;  // Qt's ico reader reads the picture once the file says "icon"
    QBuffer buffer(&asIcon);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    const QImage image = reader.read();
    if (image.isNull())
        throw Failure(QStringLiteral("The cursor file %1 cannot be read: %2")
                          .arg(path, reader.errorString()));
    return cursorAtRatio(
        image, QPoint(qBound(0, hotX, image.width() - 1), qBound(0, hotY, image.height() - 1)),
        qGuiApp->devicePixelRatio());
}

QCursor cursorAtRatio(const QImage& picture, QPoint hotSpot, qreal ratio) {
    ratio = qMax<qreal>(ratio, 1);
    const bool whole = qFuzzyCompare(ratio, qreal(qRound(ratio)));
    const QImage drawn =
        ratio == 1 ? picture
                   : picture.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                         .scaled(picture.size() * ratio, Qt::IgnoreAspectRatio,
                                 whole ? Qt::FastTransformation : Qt::SmoothTransformation);
    return pointerFromPicture(drawn, ratio,
                              QPoint(qFloor(hotSpot.x() * ratio), qFloor(hotSpot.y() * ratio)));
}
