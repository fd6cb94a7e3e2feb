#pragma once
// Custom mouse pointers from pictures of our own, sized for the screen.

#include <QCursor>
#include <QImage>
#include <QPoint>

// The pointer for a picture drawn at `ratio` device pixels to a logical one, with its hot spot
// given in the picture's device pixels.
QCursor pointerFromPicture(const QImage& picture, qreal ratio, QPoint hotSpot);
