#include "platform/chart/pie_painter.h"

#include "platform/chart/display_text.h"

#include <QLocale>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

// Okabe and Ito's set for colour-vision deficiencies, without its black, which would hide the
// outline and the text.
constexpr std::array<QRgb, 7> kSafeSet = {0xE69F00, 0x56B4E9, 0x009E73, 0xF0E442,
                                          0x0072B2, 0xD55E00, 0xCC79A7};

constexpr QRgb mix(QRgb colour, int toward, int percent) {
    auto channel = [&](int shift) {
        const int c = int((colour >> shift) & 0xFF);
        return QRgb(c + (toward - c) * percent / 100) << shift;
    };
    return channel(16) | channel(8) | channel(0);
}

// The set, then its darker variants, then its lighter ones. Each run starts at another hue, so
// no two neighbours in the cycle, the last and the first included, are variants of one colour.
struct PaletteEntry {
    QRgb colour;
    qsizetype hue;  // the colour of the set it is a variant of
};
constexpr std::array<PaletteEntry, 3 * kSafeSet.size()> makePalette() {
    constexpr size_t n = kSafeSet.size();
    std::array<PaletteEntry, 3 * n> palette{};
    for (size_t k = 0; k < n; ++k) {
        palette[k] = {kSafeSet[k], qsizetype(k)};
        palette[n + k] = {mix(kSafeSet[(k + 2) % n], 0, 40), qsizetype((k + 2) % n)};
        palette[2 * n + k] = {mix(kSafeSet[(k + 5) % n], 255, 45), qsizetype((k + 5) % n)};
    }
    return palette;
}
constexpr auto kPalette = makePalette();
constexpr qsizetype kPaletteSize = qsizetype(kPalette.size());

// A separating edge shows where the wedges on both sides are this wide at the rim, in pixels.
constexpr double kMinEdgedArc = 6;

bool takesAngle(double value) { return value > 0 && std::isfinite(value); }

}  // namespace

QColor pieSliceColor(qsizetype index) {
    return QColor(kPalette[size_t(index % kPaletteSize)].colour);
}

std::vector<QRgb> pieSliceColors(const std::vector<PieSlice>& slices) {
    std::vector<qsizetype> index(slices.size());
    std::vector<size_t> wedges;
    for (size_t i = 0; i < slices.size(); ++i) {
        index[i] = qsizetype(i) % kPaletteSize;
        if (takesAngle(slices[i].value)) wedges.push_back(i);
    }
    // Zero slices between wedges, or a count just past a whole cycle, can bring one colour, or
    // two variants of one, together; such a wedge takes the next colour whose hue neither
    // neighbour has.
    auto hue = [&](size_t wedge) { return kPalette[size_t(index[wedges[wedge]])].hue; };
    const size_t m = wedges.size();
    for (size_t k = 1; k < m; ++k) {
        const qsizetype before = hue(k - 1);
        const qsizetype after = hue((k + 1) % m);
        qsizetype& own = index[wedges[k]];
        const qsizetype ownHue = hue(k);
        if (ownHue != before && ownHue != after) continue;
        if (ownHue != before && k + 1 < m) continue;  // the next wedge settles a clash with it
        for (qsizetype step = 1; step < kPaletteSize; ++step) {
            const qsizetype candidate = (own + step) % kPaletteSize;
            if (kPalette[size_t(candidate)].hue != before &&
                kPalette[size_t(candidate)].hue != after) {
                own = candidate;
                break;
            }
        }
    }
    std::vector<QRgb> colours(slices.size());
    for (size_t i = 0; i < slices.size(); ++i)
        colours[i] = kPalette[size_t(index[i])].colour | 0xFF000000;
    return colours;
}

PieShares::PieShares(const std::vector<PieSlice>& slices) {
    // Values are taken relative to the largest one, so no sum of huge values overflows.
    for (const PieSlice& slice : slices)
        if (takesAngle(slice.value)) largest_ = std::max(largest_, slice.value);
    if (largest_ > 0)
        for (const PieSlice& slice : slices)
            if (takesAngle(slice.value)) total_ += slice.value / largest_;
}

double PieShares::percent(double value) const {
    return takesAngle(value) && total_ > 0 ? value / largest_ / total_ * 100 : 0;
}

std::vector<PieWedge> pieWedges(const std::vector<PieSlice>& slices,
                                const std::vector<QRgb>& colours, double radius) {
    std::vector<PieWedge> wedges;
    const PieShares shares(slices);
    double angle = 0;
    for (size_t i = 0; i < slices.size(); ++i) {
        // Slices of 0 and below (and values that are no number) take no angle; they keep their
        // legend entry all the same.
        const double span = shares.percent(slices[i].value) / 100 * kFullTurn;
        if (span <= 0) continue;
        wedges.push_back({qsizetype(i), angle, angle + span, colours.at(i), false});
        angle += span;
    }
    if (wedges.empty()) return wedges;
    // Rounding may leave the last end a hair short of the full turn.
    wedges.back().end = kFullTurn;
    if (wedges.size() < 2) return wedges;
    auto wide = [&](const PieWedge& w) { return (w.end - w.start) * radius >= kMinEdgedArc; };
    for (size_t k = 0; k < wedges.size(); ++k)
        wedges[k].edgeAtStart =
            wide(wedges[k]) && wide(wedges[(k + wedges.size() - 1) % wedges.size()]);
    return wedges;
}

QString sliceShareText(const PieSlice& slice, const PieShares& shares) {
    const double percent = shares.percent(slice.value);
    // A thin slice reads as a small share, never as none.
    const QString share = percent > 0 && percent < 0.1
                              ? QStringLiteral("< ") + QLocale().toString(0.1)
                              : QLocale().toString(percent, 'g', 3);
    // A tool tip or a screen reader gets no more of a long name than the legend shows.
    return QStringLiteral("%1 (%2 %)").arg(displayText(slice.label), share);
}

QString moreSlicesText(qsizetype count) { return QStringLiteral("\u2026 and %1 more").arg(count); }

std::optional<qsizetype> pieSliceAt(const QRectF& area, const std::vector<PieSlice>& slices,
                                    const QFont& legendFont, QPaintDevice* device, QPointF point) {
    const PieLayout layout = layoutPieChart(area, slices, legendFont, device);
    if (layout.legend.contains(point)) {
        const auto row = qsizetype((point.y() - layout.legend.top()) / layout.lineHeight);
        if (row >= 0 && row < layout.entries) return row;
        return std::nullopt;
    }
    const double radius = layout.pie.width() / 2;
    const QPointF d = point - layout.pie.center();
    if (radius <= 0 || std::hypot(d.x(), d.y()) > radius) return std::nullopt;
    double angle = std::atan2(d.x(), -d.y());
    if (angle < 0) angle += kFullTurn;
    const std::vector<PieWedge> wedges =
        pieWedges(slices, std::vector<QRgb>(slices.size()), radius);
    const auto it = std::upper_bound(wedges.begin(), wedges.end(), angle,
                                     [](double a, const PieWedge& w) { return a < w.end; });
    if (it == wedges.end()) return std::nullopt;
    return it->slice;
}
