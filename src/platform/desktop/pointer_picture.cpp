#include "platform/desktop/pointer_picture.h"

#include <QGuiApplication>
#include <QPixmap>

QCursor pointerFromPicture(const QImage& picture, qreal ratio, QPoint hotSpot) {
    QPixmap pixmap = QPixmap::fromImage(picture);
    // An X11 pointer is an image in device pixels, and Qt's xcb plugin (6.4) places the hot spot
    // in it as given, whatever the pixmap's ratio; a picture of ratio 1 says exactly that.
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return QCursor(pixmap, hotSpot.x(), hotSpot.y());
    // Elsewhere (Wayland) the picture carries its ratio and the hot spot is in logical pixels.
    pixmap.setDevicePixelRatio(ratio);
    return QCursor(pixmap, qRound(hotSpot.x() / ratio), qRound(hotSpot.y() / ratio));
}
