#pragma once
// The windows and the chart are laid out in twips, 1440 to the inch; 15 twips make one
// device-independent pixel.

#include <QRect>
#include <cmath>

inline constexpr double kTwipsPerInch = 1440.0;
inline constexpr double kTwipsPerPixel = 15.0;

inline int twipsToPixels(double twips) { return int(std::lround(twips / kTwipsPerPixel)); }
inline double pixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}
