#pragma once
// The chart picture as the clipboard carries it: a bitmap of the device pixels the screen shows,
// and the same picture as SVG, whose width and height are the chart's size on screen.

#include <QByteArray>
#include <QImage>

struct ChartPicture {
    ChartPicture() = default;
    // A picture without its vector form, as a clipboard filled by another program may give.
    ChartPicture(QImage bitmap, QByteArray svg = {})
        : bitmap(std::move(bitmap)), svg(std::move(svg)) {}

    QImage bitmap;
    QByteArray svg;  // empty when the picture has no vector form
};
