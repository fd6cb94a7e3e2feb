#include "platform/pie_painter.h"

#include "platform/display_text.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

constexpr QRgb kPalette[] = {0x1F5FAF, 0xF08A24, 0x2E9E44, 0xD0312D, 0x7B4FB8, 0x19A7B8,
                             0xE8C21A, 0x8E5A2E, 0xE0609A, 0x6B8E23, 0x5A6B7D, 0xA0D468};
constexpr qsizetype kPaletteSize = qsizetype(std::size(kPalette));

constexpr qreal kMargin = 8;
constexpr qreal kLineSpacing = 2;
constexpr qreal kMaxLegendShare = 0.45;  // of the width, so the pie always keeps the larger part
const QColor kOutline(64, 64, 64);
const QColor kText(Qt::black);

const QRgb kBackground = 0xFFFFFFFF;
constexpr double kFullTurn = 2 * std::numbers::pi;
using Rgb = std::array<double, 3>;

// Values are taken relative to the largest one, so no sum of huge values overflows.
struct Shares {
    double largest = 0;
    double total = 0;  // of value / largest over the slices that take an angle
};

bool takesAngle(double value) { return value > 0 && std::isfinite(value); }

Shares sharesOf(const std::vector<PieSlice>& slices) {
    Shares s;
    for (const PieSlice& slice : slices)
        if (takesAngle(slice.value)) s.largest = std::max(s.largest, slice.value);
    if (s.largest > 0)
        for (const PieSlice& slice : slices)
            if (takesAngle(slice.value)) s.total += slice.value / s.largest;
    return s;
}

// The wedges as a table of angles: the slices that take an angle, each with its end angle
// (clockwise from 12 o'clock, in radians) and its colour, and the integral of colour over angle
// up to its start. The colour of any arc is then the difference of two integrals.
class AngleTable {
  public:
    explicit AngleTable(const std::vector<PieSlice>& slices) {
        const Shares shares = sharesOf(slices);
        if (shares.total <= 0) return;
        const double perShare = kFullTurn / shares.total;
        double angle = 0;
        Rgb integral{};
        for (qsizetype i = 0; i < qsizetype(slices.size()); ++i) {
            // Slices of 0 and below (and values that are no number) take no angle; they keep
            // their legend entry all the same.
            if (!takesAngle(slices[size_t(i)].value)) continue;
            const double span = slices[size_t(i)].value / shares.largest * perShare;
            const QColor c = pieSliceColor(i);
            const Rgb colour{c.redF(), c.greenF(), c.blueF()};
            wedges_.push_back({angle, angle + span, colour, integral});
            for (int ch = 0; ch < 3; ++ch) integral[ch] += colour[ch] * span;
            angle += span;
        }
        // Rounding may leave the last end a hair short of the full turn.
        wedges_.back().end = kFullTurn;
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
    // [0, 2 pi) and the half width at most pi.
    Rgb mean(double angle, double half) const {
        const double from = angle - half;
        const double to = angle + half;
        if (from >= 0 && to < kFullTurn) {
            const size_t k = find(from);
            // Most pixels lie inside one wedge.
            if (to < wedges_[k].end) return wedges_[k].colour;
        }
        const Rgb a = integralTo(from);
        const Rgb b = integralTo(to);
        const double perRadian = 0.5 / half;
        return {(b[0] - a[0]) * perRadian, (b[1] - a[1]) * perRadian, (b[2] - a[2]) * perRadian};
    }

  private:
    struct Wedge {
        double start, end;
        Rgb colour;
        Rgb before;  // the integral up to start
    };

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
void paintWedges(QPainter& painter, const QRectF& pie, const std::vector<PieSlice>& slices) {
    const AngleTable table(slices);
    if (table.empty() || pie.width() <= 0) return;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const int side = int(std::ceil(pie.width() * ratio));
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
            const Rgb c = table.mean(clockAngle(dx, dy), half);
            auto channel = [&](double v) { return int(255 * (v * inside + (1 - inside)) + 0.5); };
            line[x] = qRgb(channel(c[0]), channel(c[1]), channel(c[2]));
        }
    }
    image.setDevicePixelRatio(ratio);
    painter.drawImage(pie.topLeft(), image);
}

void paintLegend(QPainter& painter, const PieLayout& layout, const std::vector<PieSlice>& slices,
                 const QFont& font) {
    if (layout.entries == 0 && layout.more == 0) return;
    painter.setFont(font);
    const QFontMetricsF metrics(font, painter.device());
    const qreal marker = std::max<qreal>(2, metrics.ascent() * 0.8);
    const qreal textLeft = layout.legend.left() + marker + metrics.averageCharWidth();
    const qreal textWidth = std::max<qreal>(0, layout.legend.right() - textLeft);
    qreal top = layout.legend.top();
    auto baseline = [&](qreal lineTop) {
        return lineTop + (layout.lineHeight - metrics.height()) / 2 + metrics.ascent();
    };
    for (qsizetype i = 0; i < layout.entries; ++i) {
        const QRectF box(layout.legend.left(), top + (layout.lineHeight - marker) / 2, marker,
                         marker);
        painter.setPen(kOutline);
        painter.setBrush(pieSliceColor(i));
        painter.drawRect(box);
        painter.setPen(kText);
        painter.drawText(
            QPointF(textLeft, baseline(top)),
            metrics.elidedText(displayText(slices[size_t(i)].label), Qt::ElideRight, textWidth));
        top += layout.lineHeight;
    }
    if (layout.more > 0) {
        painter.setPen(kText);
        painter.drawText(
            QPointF(textLeft, baseline(top)),
            metrics.elidedText(moreSlicesText(layout.more), Qt::ElideRight, textWidth));
    }
}

}  // namespace

QColor pieSliceColor(qsizetype index) { return QColor(kPalette[index % kPaletteSize]); }

QString moreSlicesText(qsizetype count) { return QStringLiteral("\u2026 and %1 more").arg(count); }

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
    if (layout.pie.width() > 0) {
        paintWedges(painter, layout.pie, slices);
        // The outline alone is the empty chart: nothing takes an angle.
        painter.setPen(QPen(kOutline, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(layout.pie.adjusted(0.5, 0.5, -0.5, -0.5));
    }
    paintLegend(painter, layout, slices, legendFont);
    painter.restore();
}
