#pragma once
// The one paint routine of the pie chart. The widget on screen, the clipboard picture and
// anything else that needs the chart draw through paintPieChart, so they all show the same
// picture. Every pass is proportional to the slice count; the only per-slice data is the label
// text and the value, and a slice's colour follows from its position.

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>
#include <vector>

class QPainter;
class QPaintDevice;

struct PieSlice {
    QString label;
    double value = 0;
};

struct PieLayout {
    QRectF pie;     // the circle's bounding square
    QRectF legend;  // the legend entries and the "more" line
    qreal lineHeight = 0;
    qsizetype entries = 0;  // legend entries drawn, from the first slice on
    qsizetype more = 0;     // slices past them, summed up in one last line
};

// A fixed palette of distinct colours, repeating.
QColor pieSliceColor(qsizetype index);
QString moreSlicesText(qsizetype count);

PieLayout layoutPieChart(const QRectF& area, const std::vector<PieSlice>& slices,
                         const QFont& legendFont, QPaintDevice* device);
// Draws on a white background: the wedges from 12 o'clock clockwise in slice order, and the
// legend beside the pie.
void paintPieChart(QPainter& painter, const QRectF& area, const std::vector<PieSlice>& slices,
                   const QFont& legendFont);
