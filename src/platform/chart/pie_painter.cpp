#include "platform/chart/pie_painter.h"

#include "platform/chart/display_text.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <numbers>

namespace {

constexpr qreal kMargin = 8;
constexpr qreal kLineSpacing = 2;
constexpr qreal kMaxLegendShare = 0.45;  // of the width, so the pie always keeps the larger part
const QColor kOutline(64, 64, 64);
const QColor kText(Qt::black);

const QRgb kBackground = 0xFFFFFFFF;
// The separating edges are background, one pixel wide.
constexpr double kEdgeWidth = 1;
using Rgb = std::array<double, 3>;

Rgb rgbOf(QRgb c) { return {qRed(c) / 255.0, qGreen(c) / 255.0, qBlue(c) / 255.0}; }

// The wedges as a table of angles: each wedge with its end angle (clockwise from 12 o'clock, in
// radians) and its colour, and the integral of colour over angle up to its start. The colour of
// any arc is then the difference of two integrals.
class AngleTable {
  public:
    AngleTable(const std::vector<PieSlice>& slices, const std::vector<QRgb>& colours,
               double radius) {
        const std::vector<PieWedge> wedges = pieWedges(slices, colours, radius);
        if (wedges.empty()) return;
        Rgb integral{};
        for (const PieWedge& w : wedges) {
            const Rgb colour = rgbOf(w.colour);
            wedges_.push_back({w.start, w.end, colour, integral});
            for (int ch = 0; ch < 3; ++ch) integral[ch] += colour[ch] * (w.end - w.start);
            if (w.edgeAtStart) edges_.push_back(w.start);
        }
        fullTurn_ = integral;

        const size_t buckets = std::max<size_t>(1024, 2 * wedges_.size());
        bucketsPerRadian_ = double(buckets) / kFullTurn;
        buckets_.resize(buckets);
        size_t k = 0;
        for (size_t b = 0; b < buckets; ++b) {
            const double bucketStart = double(b) / bucketsPerRadian_;
            while (k + 1 < wedges_.size() && wedges_[k].end <= bucketStart) ++k;
            buckets_[b] = quint32(k);
        }
    }

    bool empty() const { return wedges_.empty(); }

    // The mean colour over the arc of the given half width around the angle, the angle in
    // [0, 2 pi) and the half width at most pi, with the edges of the given half width (in
    // radians at this distance from the centre) in the background colour.
    Rgb mean(double angle, double half, double edgeHalf) const {
        const double from = angle - half;
        const double to = angle + half;
        Rgb c;
        const Wedge* inside = from >= 0 && to < kFullTurn ? &wedges_[find(from)] : nullptr;
        if (inside && to < inside->end) {
            // Most pixels lie inside one wedge.
            c = inside->colour;
        } else {
            const Rgb a = integralTo(from);
            const Rgb b = integralTo(to);
            const double perRadian = 0.5 / half;
            c = {(b[0] - a[0]) * perRadian, (b[1] - a[1]) * perRadian, (b[2] - a[2]) * perRadian};
        }
        if (edges_.empty()) return c;
        const double edge = std::min(1.0, edgeCover(from, to, edgeHalf) / (2 * half));
        for (double& ch : c) ch += (1 - ch) * edge;
        return c;
    }

  private:
    struct Wedge {
        double start, end;
        Rgb colour;
        Rgb before;  // the integral up to start
    };

    // How much of the arc the edges cover, in radians; an edge near 0 shows on both sides.
    double edgeCover(double from, double to, double edgeHalf) const {
        double cover = 0;
        for (double shift : {-kFullTurn, 0.0, kFullTurn}) {
            const double lo = from - edgeHalf - shift;
            const double hi = to + edgeHalf - shift;
            if (hi < 0 || lo >= kFullTurn) continue;
            for (auto it = std::lower_bound(edges_.begin(), edges_.end(), lo);
                 it != edges_.end() && *it <= hi; ++it)
                cover += std::max(0.0, std::min(to - shift, *it + edgeHalf) -
                                           std::max(from - shift, *it - edgeHalf));
        }
        return cover;
    }

    Rgb integralTo(double angle) const {
        double turns = 0;
        if (angle < 0) {
            angle += kFullTurn;
            turns = -1;
        } else if (angle >= kFullTurn) {
            angle -= kFullTurn;
            turns = 1;
        }
        const double at = std::clamp(angle, 0.0, kFullTurn);
        const Wedge& w = wedges_[find(at)];
        const double into = std::clamp(at - w.start, 0.0, w.end - w.start);
        Rgb out;
        for (int ch = 0; ch < 3; ++ch)
            out[ch] = turns * fullTurn_[ch] + w.before[ch] + w.colour[ch] * into;
        return out;
    }

    // The wedge holding the angle: each bucket of the turn knows the first wedge that reaches
    // into it, so the search runs only over the few wedges that share the angle's bucket.
    size_t find(double at) const {
        const size_t b = std::min(size_t(at * bucketsPerRadian_), buckets_.size() - 1);
        const auto first = wedges_.begin() + buckets_[b];
        const auto last =
            b + 1 < buckets_.size() ? wedges_.begin() + buckets_[b + 1] + 1 : wedges_.end();
        const auto it =
            std::upper_bound(first, last, at, [](double a, const Wedge& w) { return a < w.end; });
        return std::min(size_t(it - wedges_.begin()), wedges_.size() - 1);
    }

    std::vector<Wedge> wedges_;
    std::vector<double> edges_;  // the boundaries that carry an edge, in increasing angle
    std::vector<quint32> buckets_;
    double bucketsPerRadian_ = 0;
    Rgb fullTurn_{};
};

// The angle clockwise from 12 o'clock of the point (dx, dy) from the centre, y pointing down,
// in [0, 2 pi). The arc tangent is a polynomial good to 1e-5 radians (Abramowitz and Stegun
// 4.4.49), a hundredth of a pixel at the rim of a screen-sized pie and several times faster
// than std::atan2.
double clockAngle(double dx, double dy) {
    const double east = dx;
    const double north = -dy;
    const double ax = std::abs(east);
    const double ay = std::abs(north);
    const double big = std::max(ax, ay);
    if (big == 0) return 0;
    const double t = std::min(ax, ay) / big;
    const double t2 = t * t;
    const double atanT =
        t * (0.9998660 + t2 * (-0.3302995 + t2 * (0.1801410 + t2 * (-0.0851330 + t2 * 0.0208351))));
    // Within the quadrant, measured from the vertical axis.
    const double fromVertical = ay >= ax ? atanT : std::numbers::pi / 2 - atanT;
    if (east >= 0) return north >= 0 ? fromVertical : std::numbers::pi - fromVertical;
    return north < 0 ? std::numbers::pi + fromVertical : kFullTurn - fromVertical;
}

// Each pixel takes the mean colour of the arc it spans (about one pixel of arc at its distance
// from the centre) and, at the rim, the share of it that lies inside the circle. That is exact
// antialiasing at any slice count, at a cost that follows the pixels: wedge by wedge, antialiased
// filling costs about 30 microseconds a wedge here, far too much for thousands of slices.
void paintWedges(QPainter& painter, const QRectF& pie, const std::vector<PieSlice>& slices,
                 const std::vector<QRgb>& colours) {
    if (pie.width() <= 0) return;
    const AngleTable table(slices, colours, pie.width() / 2);
    if (table.empty()) return;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const int side = int(std::ceil(pie.width() * ratio));
    const double edgeHalfWidth = kEdgeWidth * ratio / 2;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(kBackground);
    const double radius = side / 2.0;
    for (int y = 0; y < side; ++y) {
        const double dy = y + 0.5 - radius;
        const double reach = (radius + 0.5) * (radius + 0.5) - dy * dy;
        if (reach <= 0) continue;
        const double halfChord = std::sqrt(reach);
        const int left = std::max(0, int(std::floor(radius - halfChord)));
        const int right = std::min(side, int(std::ceil(radius + halfChord)));
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = left; x < right; ++x) {
            const double dx = x + 0.5 - radius;
            const double rho = std::sqrt(dx * dx + dy * dy);
            const double inside = std::clamp(radius - rho + 0.5, 0.0, 1.0);
            if (inside <= 0) continue;
            // A pixel spans about one pixel of arc; near the centre, the whole turn at most.
            const double half = rho * kFullTurn > 1 ? 0.5 / rho : kFullTurn / 2;
            const Rgb c = table.mean(clockAngle(dx, dy), half, edgeHalfWidth / std::max(rho, 0.5));
            auto channel = [&](double v) { return int(255 * (v * inside + (1 - inside)) + 0.5); };
            line[x] = qRgb(channel(c[0]), channel(c[1]), channel(c[2]));
        }
    }
    image.setDevicePixelRatio(ratio);
    painter.drawImage(pie.topLeft(), image);
}

void paintLegend(QPainter& painter, const PieLayout& layout, const std::vector<PieSlice>& slices,
                 const std::vector<QRgb>& colours, const QFont& font) {
    painter.setFont(font);
    forEachLegendLine(layout, slices, font, painter.device(), [&](const PieLegendLine& line) {
        if (line.slice >= 0) {
            painter.setPen(kOutline);
            painter.setBrush(QColor::fromRgb(colours[size_t(line.slice)]));
            painter.drawRect(line.marker);
        }
        painter.setPen(kText);
        painter.drawText(line.baseline, line.text);
    });
}

}  // namespace

void forEachLegendLine(const PieLayout& layout, const std::vector<PieSlice>& slices,
                       const QFont& font, QPaintDevice* device,
                       const std::function<void(const PieLegendLine&)>& visit) {
    if (layout.entries == 0 && layout.more == 0) return;
    const QFontMetricsF metrics(font, device);
    const qreal marker = std::max<qreal>(2, metrics.ascent() * 0.8);
    const qreal textLeft = layout.legend.left() + marker + metrics.averageCharWidth();
    const qreal textWidth = std::max<qreal>(0, layout.legend.right() - textLeft);
    qreal top = layout.legend.top();
    auto baseline = [&](qreal lineTop) {
        return QPointF(textLeft,
                       lineTop + (layout.lineHeight - metrics.height()) / 2 + metrics.ascent());
    };
    for (qsizetype i = 0; i < layout.entries; ++i) {
        const QRectF box(layout.legend.left(), top + (layout.lineHeight - marker) / 2, marker,
                         marker);
        visit({box, baseline(top),
               metrics.elidedText(displayText(slices[size_t(i)].label), Qt::ElideRight, textWidth),
               i});
        top += layout.lineHeight;
    }
    if (layout.more > 0)
        visit({QRectF(), baseline(top),
               metrics.elidedText(moreSlicesText(layout.more), Qt::ElideRight, textWidth), -1});
}

PieLayout layoutPieChart(const QRectF& area, const std::vector<PieSlice>& slices,
                         const QFont& legendFont, QPaintDevice* device) {
    PieLayout layout;
    const QRectF inner = area.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    if (inner.width() <= 0 || inner.height() <= 0) return layout;

    const QFontMetricsF metrics(legendFont, device);
    layout.lineHeight = std::max<qreal>(1, metrics.height() + kLineSpacing);
    const qsizetype count = qsizetype(slices.size());
    const qsizetype lines = qsizetype(std::floor(inner.height() / layout.lineHeight));
    if (count <= lines) {
        layout.entries = count;
    } else if (lines > 0) {
        layout.entries = lines - 1;
        layout.more = count - layout.entries;
    }

    qreal legendWidth = 0;
    if (layout.entries > 0 || layout.more > 0) {
        // Only the entries that are drawn are measured, so a long list costs nothing here.
        qreal widest = 0;
        for (qsizetype i = 0; i < layout.entries; ++i)
            widest =
                std::max(widest, metrics.horizontalAdvance(displayText(slices[size_t(i)].label)));
        if (layout.more > 0)
            widest = std::max(widest, metrics.horizontalAdvance(moreSlicesText(layout.more)));
        const qreal marker = std::max<qreal>(2, metrics.ascent() * 0.8);
        legendWidth = std::min(marker + metrics.averageCharWidth() + widest + 1,
                               inner.width() * kMaxLegendShare);
        const qreal legendHeight =
            layout.lineHeight * qreal(layout.entries + (layout.more ? 1 : 0));
        layout.legend =
            QRectF(inner.right() - legendWidth, inner.top() + (inner.height() - legendHeight) / 2,
                   legendWidth, legendHeight);
    }

    const qreal pieRight = legendWidth > 0 ? layout.legend.left() - kMargin : inner.right();
    // Whole pixels, so the wedges' pixels land on the device's pixels one to one.
    const qreal side =
        std::floor(std::max<qreal>(0, std::min(pieRight - inner.left(), inner.height())));
    layout.pie = QRectF(std::round(inner.left() + (pieRight - inner.left() - side) / 2),
                        std::round(inner.top() + (inner.height() - side) / 2), side, side);
    return layout;
}

void paintPieChart(QPainter& painter, const QRectF& area, const std::vector<PieSlice>& slices,
                   const QFont& legendFont) {
    painter.save();
    painter.fillRect(area, QColor(kBackground));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const PieLayout layout = layoutPieChart(area, slices, legendFont, painter.device());
    const std::vector<QRgb> colours = pieSliceColors(slices);
    if (layout.pie.width() > 0) {
        paintWedges(painter, layout.pie, slices, colours);
        // The outline alone is the empty chart: nothing takes an angle.
        painter.setPen(QPen(kOutline, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(layout.pie.adjusted(0.5, 0.5, -0.5, -0.5));
    }
    paintLegend(painter, layout, slices, colours, legendFont);
    painter.restore();
}
