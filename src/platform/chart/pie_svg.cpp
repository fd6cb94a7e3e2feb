#include "platform/chart/pie_painter.h"

#include <QFontInfo>
#include <QPaintDevice>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Each wedge reaches this far (in pixels at the rim) under the next one, so that renderers that
// antialias every path on its own leave no light seam between neighbours.
constexpr double kSeamOverlap = 0.3;
constexpr char kOutline[] = "#404040";

void put(QByteArray& out, double v) {
    QByteArray n = QByteArray::number(v, 'f', 2);
    while (n.endsWith('0')) n.chop(1);
    if (n.endsWith('.')) n.chop(1);
    out += n == "-0" ? QByteArray("0") : n;
}

void putPoint(QByteArray& out, QPointF p) {
    put(out, p.x());
    out += ' ';
    put(out, p.y());
}

QByteArray colourText(QRgb c) { return QColor::fromRgb(c).name().toLatin1(); }

// XML takes no control characters and no lone surrogates, which a label may hold; they become
// the replacement character.
QByteArray xmlText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
            continue;
        }
        const char16_t u = c.unicode();
        if (c.isSurrogate() || (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') ||
            u == 0xFFFE || u == 0xFFFF)
            out += QChar(QChar::ReplacementCharacter);
        else if (u == u'<')
            out += QStringLiteral("&lt;");
        else if (u == u'>')
            out += QStringLiteral("&gt;");
        else if (u == u'&')
            out += QStringLiteral("&amp;");
        else if (u == u'"')
            out += QStringLiteral("&quot;");
        else
            out += c;
    }
    return out.toUtf8();
}

}  // namespace

QByteArray pieChartSvg(const QSizeF& size, const std::vector<PieSlice>& slices,
                       const QFont& legendFont, QPaintDevice* device) {
    const QRectF area(QPointF(0, 0), size);
    const PieLayout layout = layoutPieChart(area, slices, legendFont, device);
    const std::vector<QRgb> colours = pieSliceColors(slices);
    QByteArray out;
    out.reserve(4096 + qsizetype(slices.size()) * 80);
    out +=
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"";
    put(out, size.width());
    out += "\" height=\"";
    put(out, size.height());
    out += "\" viewBox=\"0 0 ";
    put(out, size.width());
    out += ' ';
    put(out, size.height());
    out += "\">\n<rect width=\"";
    put(out, size.width());
    out += "\" height=\"";
    put(out, size.height());
    out += "\" fill=\"#ffffff\"/>\n";

    const double radius = layout.pie.width() / 2;
    const QPointF centre = layout.pie.center();
    auto rim = [&](double angle, double r) {
        return centre + QPointF(r * std::sin(angle), -r * std::cos(angle));
    };
    if (radius > 0) {
        const std::vector<PieWedge> wedges = pieWedges(slices, colours, radius);
        for (size_t k = 0; k < wedges.size(); ++k) {
            const PieWedge& w = wedges[k];
            if (wedges.size() == 1) {
                out += "<circle cx=\"";
                put(out, centre.x());
                out += "\" cy=\"";
                put(out, centre.y());
                out += "\" r=\"";
                put(out, radius);
                out += "\" fill=\"" + colourText(w.colour) + "\"/>\n";
                break;
            }
            const double end =
                k + 1 < wedges.size() ? std::min(w.end + kSeamOverlap / radius, kFullTurn) : w.end;
            out += "<path fill=\"" + colourText(w.colour) + "\" d=\"M";
            putPoint(out, centre);
            out += 'L';
            putPoint(out, rim(w.start, radius));
            out += 'A';
            put(out, radius);
            out += ' ';
            put(out, radius);
            out += end - w.start > std::numbers::pi ? " 0 1 1 " : " 0 0 1 ";
            putPoint(out, rim(end, radius));
            out += "Z\"/>\n";
        }
        QByteArray edges;
        for (const PieWedge& w : wedges) {
            if (!w.edgeAtStart) continue;
            edges += 'M';
            putPoint(edges, centre);
            edges += 'L';
            putPoint(edges, rim(w.start, radius));
        }
        if (!edges.isEmpty())
            out +=
                "<path fill=\"none\" stroke=\"#ffffff\" stroke-width=\"1\" d=\"" + edges + "\"/>\n";
        out += "<circle cx=\"";
        put(out, centre.x());
        out += "\" cy=\"";
        put(out, centre.y());
        out += "\" r=\"";
        put(out, radius - 0.5);
        out += "\" fill=\"none\" stroke=\"" + QByteArray(kOutline) + "\" stroke-width=\"1\"/>\n";
    }

    // The face that the device's fonts resolve the legend font to, so the text takes the width
    // it was laid out for.
    const QFontInfo face(legendFont);
    QString family = face.family();
    family.remove(u'\'');
    out += "<g font-family=\"'" + xmlText(family) + "', sans-serif\" font-size=\"";
    put(out, legendFont.pointSizeF() * (device ? device->logicalDpiY() : 96) / 72);
    out += '"';
    if (legendFont.bold()) out += " font-weight=\"bold\"";
    if (legendFont.italic()) out += " font-style=\"italic\"";
    out += " xml:space=\"preserve\">\n";
    forEachLegendLine(layout, slices, legendFont, device, [&](const PieLegendLine& line) {
        if (line.slice >= 0) {
            out += "<rect x=\"";
            put(out, line.marker.x());
            out += "\" y=\"";
            put(out, line.marker.y());
            out += "\" width=\"";
            put(out, line.marker.width());
            out += "\" height=\"";
            put(out, line.marker.height());
            out += "\" fill=\"" + colourText(colours[size_t(line.slice)]) + "\" stroke=\"" +
                   QByteArray(kOutline) + "\" stroke-width=\"1\"/>\n";
        }
        out += "<text x=\"";
        put(out, line.baseline.x());
        out += "\" y=\"";
        put(out, line.baseline.y());
        out += "\">" + xmlText(line.text) + "</text>\n";
    });
    out += "</g>\n</svg>\n";
    return out;
}
