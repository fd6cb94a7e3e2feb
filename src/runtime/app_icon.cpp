#include "runtime/app_icon.h"

#include <QImage>
#include <QPainter>

QImage applicationIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal margin = size / 16.0;
    const QRectF pie(margin, margin, size - 2 * margin, size - 2 * margin);
    const QColor colours[] = {QColor(0x2f, 0x6f, 0xb5), QColor(0xe8, 0x8a, 0x1a),
                              QColor(0x4c, 0xa6, 0x4c), QColor(0xc8, 0x3c, 0x3c)};
    // Quarter-turn wedges of 130, 90, 80 and 60 degrees, the first pulled out a little.
    const int spans[] = {130, 90, 80, 60};
    int start = 90;
    painter.setPen(QPen(QColor(0x20, 0x20, 0x20), qMax(1.0, size / 48.0)));
    for (int i = 0; i < 4; ++i) {
        QRectF r = pie;
        if (i == 0) {
            const qreal mid = (start - spans[i] / 2.0) * M_PI / 180.0;
            r.translate(std::cos(mid) * margin * 0.8, -std::sin(mid) * margin * 0.8);
        }
        painter.setBrush(colours[i]);
        painter.drawPie(r, -start * 16 + 0, spans[i] * 16);
        start -= spans[i];
    }
    return image;
}

QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(applicationIconImage(size)));
    return icon;
}
