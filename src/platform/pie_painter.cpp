#include "platform/pie_painter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
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

// A wedge narrower than this at the rim is below what a pixel can show on its own.
constexpr qreal kMinRimPixels = 0.5;

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

// Blends the colours of wedges too narrow to draw one by one, weighted by their angles: what
// an ideal antialiased rendering shows where they meet the rim.
class ColourBlend {
  public:
    void add(QColor colour, qreal weight) {
        r_ += colour.redF() * weight;
        g_ += colour.greenF() * weight;
        b_ += colour.blueF() * weight;
        weight_ += weight;
    }
    qreal weight() const { return weight_; }
    QColor colour() const {
        if (weight_ <= 0) return Qt::white;
        return QColor::fromRgbF(float(r_ / weight_), float(g_ / weight_), float(b_ / weight_));
    }
    void clear() { *this = ColourBlend(); }

  private:
    qreal r_ = 0, g_ = 0, b_ = 0, weight_ = 0;
};

void fillWedge(QPainter& painter, const QRectF& pie, qreal startDegrees, qreal spanDegrees,
               const QColor& colour) {
    QPainterPath path;
    path.moveTo(pie.center());
    // Qt counts angles anticlockwise from 3 o'clock; ours run clockwise from 12.
    path.arcTo(pie, 90 - startDegrees, -spanDegrees);
    path.closeSubpath();
    painter.fillPath(path, colour);
}

void paintWedges(QPainter& painter, const QRectF& pie, const std::vector<PieSlice>& slices) {
    const Shares shares = sharesOf(slices);
    if (shares.total <= 0 || pie.width() <= 0) return;
    const qreal degreesPerShare = 360.0 / shares.total;
    const qreal radius = pie.width() / 2;
    const qreal minSpan = kMinRimPixels / radius * 180.0 / std::numbers::pi;

    // An underlay in the blend of all colours keeps the background from showing through the
    // antialiased seams between wedges.
    ColourBlend all;
    for (qsizetype i = 0; i < qsizetype(slices.size()); ++i)
        if (takesAngle(slices[i].value))
            all.add(pieSliceColor(i), slices[i].value / shares.largest);
    painter.setPen(Qt::NoPen);
    painter.setBrush(all.colour());
    painter.drawEllipse(pie);

    qreal start = 0;
    qreal runStart = 0;
    ColourBlend run;
    auto flushRun = [&] {
        if (run.weight() <= 0) return;
        fillWedge(painter, pie, runStart, run.weight(), run.colour());
        run.clear();
    };
    for (qsizetype i = 0; i < qsizetype(slices.size()); ++i) {
        // Slices of 0 and below (and values that are no number) take no angle; they keep their
        // legend entry all the same.
        if (!takesAngle(slices[i].value)) continue;
        const qreal span = slices[i].value / shares.largest * degreesPerShare;
        if (span >= minSpan) {
            flushRun();
            fillWedge(painter, pie, start, span, pieSliceColor(i));
        } else {
            if (run.weight() <= 0) runStart = start;
            run.add(pieSliceColor(i), span);
            if (run.weight() >= minSpan) flushRun();
        }
        start += span;
    }
    flushRun();
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
        painter.drawText(QPointF(textLeft, baseline(top)),
                         metrics.elidedText(slices[size_t(i)].label, Qt::ElideRight, textWidth));
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
            widest = std::max(widest, metrics.horizontalAdvance(slices[size_t(i)].label));
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
    const qreal side = std::max<qreal>(0, std::min(pieRight - inner.left(), inner.height()));
    layout.pie = QRectF(inner.left() + (pieRight - inner.left() - side) / 2,
                        inner.top() + (inner.height() - side) / 2, side, side);
    return layout;
}

void paintPieChart(QPainter& painter, const QRectF& area, const std::vector<PieSlice>& slices,
                   const QFont& legendFont) {
    painter.save();
    painter.fillRect(area, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const PieLayout layout = layoutPieChart(area, slices, legendFont, painter.device());
    if (layout.pie.width() > 0) {
        paintWedges(painter, layout.pie, slices);
        // The outline alone is the empty chart: nothing takes an angle.
        painter.setPen(QPen(kOutline, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(layout.pie);
    }
    paintLegend(painter, layout, slices, legendFont);
    painter.restore();
}
