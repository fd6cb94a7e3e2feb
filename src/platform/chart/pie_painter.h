#pragma once
// The one paint routine of the pie chart. The widget on screen, the clipboard picture and
// anything else that needs the chart draw through paintPieChart, so they all show the same
// picture; pieChartSvg writes that picture as vectors, from the same layout, wedges and colours.
// Every pass is proportional to the slice count; the only per-slice data is the label text and
// the value, and a slice's colour follows from its position and its neighbouring wedges.

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>
#include <functional>
#include <numbers>
#include <optional>
#include <vector>

class QPainter;
class QPaintDevice;

// Wedge angles are radians counted from 0 to a full turn.
inline constexpr double kFullTurn = 2 * std::numbers::pi;

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

// One slice that takes an angle, clockwise from 12 o'clock in radians.
struct PieWedge {
    qsizetype slice = 0;
    double start = 0;
    double end = 0;
    QRgb colour = 0;
    bool edgeAtStart = false;  // a thin separating edge on its start boundary
};

// The palette: a colour-vision-safe set, then its darker and its lighter variants, repeating.
QColor pieSliceColor(qsizetype index);
// Each slice's colour: the palette in slice order, except where two wedges that touch (the last
// and the first included) would share one. Slices that take no angle keep their palette colour.
std::vector<QRgb> pieSliceColors(const std::vector<PieSlice>& slices);
// The wedges of a pie of the given radius; a boundary carries an edge when the wedges on both
// sides are wide enough at the rim for it to show.
std::vector<PieWedge> pieWedges(const std::vector<PieSlice>& slices,
                                const std::vector<QRgb>& colours, double radius);
// A slice's part of the whole in percent, 0 for slices that take no angle.
class PieShares {
  public:
    explicit PieShares(const std::vector<PieSlice>& slices);
    double percent(double value) const;

  private:
    double largest_ = 0;
    double total_ = 0;  // of value / largest over the slices that take an angle
};
// The legend text with the share: "Germany - 32 (32 %)".
QString sliceShareText(const PieSlice& slice, const PieShares& shares);
QString moreSlicesText(qsizetype count);

PieLayout layoutPieChart(const QRectF& area, const std::vector<PieSlice>& slices,
                         const QFont& legendFont, QPaintDevice* device);
// One line of the legend as drawn: a marker and its text, or the closing "more" line.
struct PieLegendLine {
    QRectF marker;  // empty on the "more" line
    QPointF baseline;
    QString text;          // elided to the legend's width
    qsizetype slice = -1;  // -1 on the "more" line
};
void forEachLegendLine(const PieLayout& layout, const std::vector<PieSlice>& slices,
                       const QFont& font, QPaintDevice* device,
                       const std::function<void(const PieLegendLine&)>& visit);
// The slice whose wedge or legend entry is at the point of the area, if any.
std::optional<qsizetype> pieSliceAt(const QRectF& area, const std::vector<PieSlice>& slices,
                                    const QFont& legendFont, QPaintDevice* device, QPointF point);
// Draws on a white background: the wedges from 12 o'clock clockwise in slice order, and the
// legend beside the pie.
void paintPieChart(QPainter& painter, const QRectF& area, const std::vector<PieSlice>& slices,
                   const QFont& legendFont);
// The same chart as an SVG document of the area's size, laid out for the device's fonts.
QByteArray pieChartSvg(const QSizeF& size, const std::vector<PieSlice>& slices,
                       const QFont& legendFont, QPaintDevice* device);
