#include "platform/chart/pie_painter.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <functional>
#include <numbers>
#include <set>

namespace {

constexpr QSize kArea(634, 448);

QFont testFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(8);
    return font;
}

std::vector<PieSlice> slicesOf(std::initializer_list<double> values) {
    std::vector<PieSlice> slices;
    int i = 0;
    for (double v : values) slices.push_back({QStringLiteral("S%1").arg(++i), v});
    return slices;
}

struct Drawn {
    QImage image;
    PieLayout layout;
};

Drawn draw(const std::vector<PieSlice>& slices, QSize size = kArea) {
    Drawn d{QImage(size, QImage::Format_RGB32), {}};
    d.image.fill(Qt::magenta);
    QPainter painter(&d.image);
    paintPieChart(painter, QRectF(QPointF(), QSizeF(size)), slices, testFont());
    d.layout = layoutPieChart(QRectF(QPointF(), QSizeF(size)), slices, testFont(), &d.image);
    return d;
}

// The pixel at a clock position (degrees clockwise from 12) and a fraction of the radius.
QColor atClock(const Drawn& d, double clockDegrees, double radiusFraction = 0.6) {
    const double r = d.layout.pie.width() / 2 * radiusFraction;
    const double a = clockDegrees * std::numbers::pi / 180;
    const QPointF c = d.layout.pie.center();
    return d.image.pixelColor(QPoint(int(std::lround(c.x() + r * std::sin(a))),
                                     int(std::lround(c.y() - r * std::cos(a)))));
}

bool near(QColor a, QColor b, int tolerance = 6) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

std::string describe(QColor c) { return c.name().toStdString(); }

}  // namespace

TEST(PieRenderer, WedgesStartAtTwelveAndRunClockwiseInSliceOrder) {
    struct Probe {
        double clock;
        int slice;  // index of the slice expected there
    };
    struct Case {
        const char* name;
        std::vector<PieSlice> slices;
        std::vector<Probe> probes;
    };
    const Case cases[] = {
        {"two halves",
         slicesOf({1, 1}),
         {{10, 0}, {90, 0}, {170, 0}, {190, 1}, {270, 1}, {350, 1}}},
        {"a quarter, then the rest",
         slicesOf({1, 3}),
         {{45, 0}, {80, 0}, {100, 1}, {135, 1}, {225, 1}, {315, 1}}},
        {"three in order", slicesOf({1, 1, 2}), {{45, 0}, {135, 1}, {200, 2}, {340, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Drawn d = draw(c.slices);
        for (const Probe& p : c.probes) {
            SCOPED_TRACE(p.clock);
            const QColor seen = atClock(d, p.clock);
            EXPECT_TRUE(near(seen, pieSliceColor(p.slice)))
                << describe(seen) << " instead of " << describe(pieSliceColor(p.slice));
        }
    }
}

TEST(PieRenderer, SlicesOfZeroAndBelowTakeNoAngleButKeepTheirLegendEntry) {
    const Drawn d = draw(slicesOf({2, 0, -5, 2}));
    EXPECT_TRUE(near(atClock(d, 90), pieSliceColor(0)));
    EXPECT_TRUE(near(atClock(d, 270), pieSliceColor(3)));
    for (double clock = 0; clock < 360; clock += 2) {
        SCOPED_TRACE(clock);
        EXPECT_FALSE(near(atClock(d, clock), pieSliceColor(1), 30));
        EXPECT_FALSE(near(atClock(d, clock), pieSliceColor(2), 30));
    }
    EXPECT_EQ(d.layout.entries, 4);
    EXPECT_EQ(d.layout.more, 0);
}

TEST(PieRenderer, NothingThatTakesAnAngleGivesTheEmptyCircle) {
    for (const auto& slices : {slicesOf({}), slicesOf({0, -1, 0}),
                               slicesOf({std::numeric_limits<double>::quiet_NaN()})}) {
        SCOPED_TRACE(slices.size());
        const Drawn d = draw(slices);
        ASSERT_GT(d.layout.pie.width(), 100);
        for (double clock : {0.0, 90.0, 200.0}) EXPECT_EQ(atClock(d, clock), QColor(Qt::white));
        // The outline is there: the rim is darker than the inside.
        const QPointF c = d.layout.pie.center();
        const QColor rim = d.image.pixelColor(QPoint(int(d.layout.pie.right()) - 1, int(c.y())));
        EXPECT_LT(rim.lightness(), 200) << describe(rim);
        EXPECT_EQ(d.layout.entries, qsizetype(slices.size()));
    }
}

TEST(PieRenderer, HugeValuesShareThePieWithoutOverflowing) {
    const Drawn d = draw(slicesOf({1e308, 1e308}));
    EXPECT_TRUE(near(atClock(d, 90), pieSliceColor(0)));
    EXPECT_TRUE(near(atClock(d, 270), pieSliceColor(1)));
}

TEST(PieRenderer, LegendListsSlicesInOrderThenHowManyMore) {
    struct Case {
        qsizetype slices;
        bool allFit;
    };
    for (const Case c : {Case{5, true}, Case{500, false}, Case{32767, false}}) {
        SCOPED_TRACE(c.slices);
        std::vector<PieSlice> slices;
        for (qsizetype i = 0; i < c.slices; ++i)
            slices.push_back({QStringLiteral("Slice %1").arg(i), 1});
        const Drawn d = draw(slices);
        const qsizetype lines = qsizetype(std::floor((kArea.height() - 16) / d.layout.lineHeight));
        if (c.allFit) {
            EXPECT_EQ(d.layout.entries, c.slices);
            EXPECT_EQ(d.layout.more, 0);
        } else {
            EXPECT_EQ(d.layout.entries, lines - 1);
            EXPECT_EQ(d.layout.more, c.slices - d.layout.entries);
        }
        // Each entry's marker carries its slice's colour, top to bottom.
        const qreal marker = d.layout.lineHeight / 2;
        for (qsizetype i = 0; i < d.layout.entries; ++i) {
            const QPoint centre(
                int(d.layout.legend.left() + marker * 0.4),
                int(d.layout.legend.top() + d.layout.lineHeight * (qreal(i) + 0.5)));
            EXPECT_TRUE(near(d.image.pixelColor(centre), pieSliceColor(i), 40))
                << i << ": " << describe(d.image.pixelColor(centre));
        }
        EXPECT_LT(d.layout.legend.bottom(), kArea.height());
        EXPECT_GT(d.layout.legend.left(), d.layout.pie.right());
    }
    EXPECT_EQ(moreSlicesText(32737), QStringLiteral("\u2026 and 32737 more"));
}

TEST(PieRenderer, ManyThinSlicesLeaveNoGapsInThePie) {
    std::vector<PieSlice> slices(32767, PieSlice{QStringLiteral("x"), 1});
    const Drawn d = draw(slices);
    for (double clock = 0; clock < 360; clock += 0.7) {
        for (double f : {0.2, 0.6, 0.95}) {
            const QColor seen = atClock(d, clock, f);
            ASSERT_NE(seen, QColor(Qt::white)) << clock << " " << f;
            ASSERT_NE(seen, QColor(Qt::magenta)) << clock << " " << f;
        }
    }
}

TEST(PieRenderer, SmallAreasNeverGiveANegativePie) {
    for (QSize size : {QSize(1, 1), QSize(16, 16), QSize(40, 300), QSize(600, 20)}) {
        SCOPED_TRACE(size.width());
        const Drawn d = draw(slicesOf({1, 2, 3}), size);
        EXPECT_GE(d.layout.pie.width(), 0);
        EXPECT_EQ(d.layout.pie.width(), d.layout.pie.height());
        EXPECT_GE(d.layout.entries, 0);
    }
}

TEST(PieColours, TouchingWedgesNeverShareAColour) {
    // All slices take a wedge; only every 21st (a whole palette cycle) does; every other one.
    const std::function<double(int)> patterns[] = {[](int) { return 1.0; },
                                                   [](int i) { return i % 21 ? 0.0 : 2.0; },
                                                   [](int i) { return i % 2 ? -1.0 : 3.0; }};
    std::vector<int> counts;
    for (int n = 1; n <= 1000; ++n) counts.push_back(n);
    for (int n : {21 * 1000 + 1, 32761, 32767}) counts.push_back(n);
    for (int n : counts) {
        for (const auto& value : patterns) {
            std::vector<PieSlice> slices(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i) slices[size_t(i)].value = value(i);
            const std::vector<QRgb> colours = pieSliceColors(slices);
            const std::vector<PieWedge> wedges = pieWedges(slices, colours, 200);
            for (size_t k = 0; wedges.size() > 1 && k < wedges.size(); ++k) {
                const PieWedge& next = wedges[(k + 1) % wedges.size()];
                ASSERT_NE(wedges[k].colour, next.colour)
                    << n << " slices, wedges " << wedges[k].slice << " and " << next.slice;
                ASSERT_EQ(wedges[k].colour, colours[size_t(wedges[k].slice)]);
            }
        }
    }
}

TEST(PieColours, ThirteenSlicesShowThirteenWedgesWithEdgesTheLegendAndTheHoverNameThem) {
    const std::vector<PieSlice> slices = slicesOf({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
    Drawn d = draw(slices);
    const std::vector<QRgb> colours = pieSliceColors(slices);
    const QRectF area{QPointF(), QSizeF(kArea)};
    std::set<QRgb> seen;
    for (int i = 0; i < 13; ++i) {
        SCOPED_TRACE(i);
        const double middle = (i + 0.5) * 360 / 13;
        EXPECT_TRUE(near(atClock(d, middle), QColor(colours[size_t(i)])))
            << describe(atClock(d, middle));
        seen.insert(colours[size_t(i)]);
        // Across the boundary a pixel is lighter than the wedges on both sides: an edge.
        int lightest = 0;
        const double pixelDegrees = 180 / std::numbers::pi / (d.layout.pie.width() / 2 * 0.9);
        for (double step = -2; step <= 2; step += 0.5)
            lightest = std::max(lightest,
                                atClock(d, i * 360.0 / 13 + step * pixelDegrees, 0.9).lightness());
        EXPECT_GT(lightest, std::max(QColor(colours[size_t(i)]).lightness(),
                                     QColor(colours[size_t((i + 12) % 13)]).lightness()));
        const double a = middle * std::numbers::pi / 180;
        const QPointF onWedge =
            d.layout.pie.center() + QPointF(std::sin(a), -std::cos(a)) * d.layout.pie.width() / 4;
        EXPECT_EQ(pieSliceAt(area, slices, testFont(), &d.image, onWedge), i);
        const QPointF onEntry(d.layout.legend.center().x(),
                              d.layout.legend.top() + (i + 0.5) * d.layout.lineHeight);
        EXPECT_EQ(pieSliceAt(area, slices, testFont(), &d.image, onEntry), i);
    }
    EXPECT_EQ(seen.size(), 13u);
    EXPECT_EQ(pieSliceAt(area, slices, testFont(), &d.image, QPointF(1, 1)), std::nullopt);
    EXPECT_EQ(sliceShareText({QStringLiteral("Germany - 32"), 32},
                             PieShares(slicesOf({24, 20, 8, 32, 16}))),
              u"Germany - 32 (32 %)");
}
