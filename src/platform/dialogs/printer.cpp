#include "platform/dialogs/printer.h"

#include "platform/controls/twips.h"
#include "platform/failure.h"

#include <QPainter>
#include <QPrinter>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Qt 6.4's SVG renderer draws every text as outlines (it lays text out with an outline pen), so
// a printed legend could be neither searched nor copied. Its text elements are taken out here
// and drawn as text; everything else is the renderer's. A document that moves anything with a
// transform is left whole to the renderer, text as outlines.
struct SvgText {
    QPointF at;
    QFont font;
    QColor colour;
    QString text;
};

struct SvgTextStyle {
    QStringList families;
    qreal size = 16;
    bool bold = false;
    bool italic = false;
    QColor colour = Qt::black;
};

SvgTextStyle styleWithin(SvgTextStyle style, const QXmlStreamAttributes& a) {
    if (a.hasAttribute(QLatin1String("font-family"))) {
        style.families.clear();
        for (const QString& name : a.value(QLatin1String("font-family")).toString().split(u','))
            style.families.append(name.trimmed().remove(u'\'').remove(u'"'));
    }
    bool ok = false;
    const qreal size = a.value(QLatin1String("font-size")).toDouble(&ok);
    if (ok && size > 0) style.size = size;
    if (a.hasAttribute(QLatin1String("font-weight")))
        style.bold = a.value(QLatin1String("font-weight")) == u"bold";
    if (a.hasAttribute(QLatin1String("font-style")))
        style.italic = a.value(QLatin1String("font-style")) == u"italic";
    if (a.hasAttribute(QLatin1String("fill")))
        style.colour = QColor(a.value(QLatin1String("fill")).toString());
    return style;
}

// The document without its text elements, and those elements; nothing when it cannot be split.
std::optional<std::pair<QByteArray, std::vector<SvgText>>> splitText(const QByteArray& svg) {
    QXmlStreamReader in(svg);
    QByteArray shapes;
    QXmlStreamWriter out(&shapes);
    std::vector<SvgText> texts;
    std::vector<SvgTextStyle> styles{SvgTextStyle()};
    while (!in.atEnd()) {
        in.readNext();
        if (in.isStartElement()) {
            if (in.attributes().hasAttribute(QLatin1String("transform"))) return std::nullopt;
            styles.push_back(styleWithin(styles.back(), in.attributes()));
            if (in.name() == u"text") {
                const SvgTextStyle& style = styles.back();
                QFont font;
                font.setFamilies(style.families);
                font.setBold(style.bold);
                font.setItalic(style.italic);
                const QPointF at(in.attributes().value(QLatin1String("x")).toDouble(),
                                 in.attributes().value(QLatin1String("y")).toDouble());
                // Spans placed or styled on their own are left to the renderer.
                const QString text = in.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
                if (in.hasError()) return std::nullopt;
                font.setPointSizeF(style.size);  // in user units; scaled when drawn
                texts.push_back({at, font, style.colour, text});
                styles.pop_back();
                continue;
            }
        } else if (in.isEndElement()) {
            styles.pop_back();
        }
        out.writeCurrentToken(in);
    }
    if (in.hasError()) return std::nullopt;
    return std::make_pair(shapes, texts);
}

void paintSvg(QPainter& painter, QSvgRenderer& renderer, const QByteArray& svg,
              const QRectF& target) {
    const auto split = splitText(svg);
    if (!split || !renderer.load(split->first)) {
        renderer.load(svg);
        renderer.render(&painter, target);
        return;
    }
    renderer.render(&painter, target);
    const QRectF box = renderer.viewBoxF();
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / box.width(), target.height() / box.height());
    painter.translate(-box.topLeft());
    // Font sizes are in user units: points at the device's resolution make them so.
    const qreal pointsPerUnit = 72.0 / painter.device()->logicalDpiY();
    for (SvgText t : split->second) {
        t.font.setPointSizeF(t.font.pointSizeF() * pointsPerUnit);
        painter.setFont(t.font);
        painter.setPen(t.colour);
        painter.drawText(t.at, t.text);
    }
    painter.restore();
}

}  // namespace

QRectF placePicture(QSizeF picture, QPointF at, QSizeF area) {
    const QSizeF room(std::max<qreal>(0, area.width() - at.x()),
                      std::max<qreal>(0, area.height() - at.y()));
    if (picture.isEmpty()) return QRectF(at, QSizeF(0, 0));
    return QRectF(at, picture.scaled(room, Qt::KeepAspectRatio));
}

QtPrinter::QtPrinter(PrinterLookup lookup) : lookup_(std::move(lookup)) {}

QtPrinter::~QtPrinter() {
    // A document left open is dropped rather than printed half-done.
    if (painter_ && painter_->isActive()) {
        printer_->abort();
        painter_->end();
    }
}

QPainter& QtPrinter::document() {
    if (painter_) return *painter_;
    std::unique_ptr<QPrinter> printer;
    QString name;
    if (pdfTarget_) {
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(*pdfTarget_);
        name = *pdfTarget_;
    } else {
        const QPrinterInfo info = lookup_ ? lookup_() : QPrinterInfo();
        if (info.isNull()) {
            startFailure_ = QString::fromUtf16(kNoDefaultPrinter);
            throw Failure(*startFailure_);
        }
        name = info.printerName();
        printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    }
    printer->setDocName(documentName_);
    auto painter = std::make_unique<QPainter>();
    if (!printer->isValid() || !painter->begin(printer.get())) {
        startFailure_ = QStringLiteral("The printer %1 cannot start a document.").arg(name);
        throw Failure(*startFailure_);
    }
    startFailure_.reset();
    printableRect_ = QRectF(0, 0, printer->width(), printer->height());
    nextLineTop_ = 0;
    printer_ = std::move(printer);
    painter_ = std::move(painter);
    return *painter_;
}

void QtPrinter::print(const QString& text) {
    QPainter& painter = document();
    const QFontMetricsF metrics(painter.font(), printer_.get());
    painter.drawText(QPointF(0, nextLineTop_ + metrics.ascent()), text);
    nextLineTop_ += metrics.lineSpacing();
}

void QtPrinter::paintPicture(const ChartPicture& picture, QPointF topLeftTwips) {
    QPainter& painter = document();
    if (picture.bitmap.isNull() && picture.svg.isEmpty())
        throw Failure(QStringLiteral("There is no picture to print."));
    const QPointF at = topLeftTwips / kTwipsPerInch * printer_->resolution();
    QSvgRenderer vectors;
    if (!picture.svg.isEmpty() && vectors.load(picture.svg) && !vectors.viewBoxF().isEmpty()) {
        // Vectors, so the chart is sharp at any printer resolution and size.
        lastPictureRect_ = placePicture(vectors.viewBoxF().size(), at, printableRect_.size());
        paintSvg(painter, vectors, picture.svg, lastPictureRect_);
        return;
    }
    if (picture.bitmap.isNull()) throw Failure(QStringLiteral("The picture cannot be read."));
    lastPictureRect_ = placePicture(picture.bitmap.size(), at, printableRect_.size());
    painter.drawImage(lastPictureRect_, picture.bitmap);
}

void QtPrinter::endDoc() {
    if (!painter_) {
        // A document that could not start ends in the same failure; with nothing printed and
        // a printer at hand there is nothing to end.
        if (std::optional<QString> failure = std::exchange(startFailure_, std::nullopt))
            throw Failure(*failure);
        return;
    }
    const bool ended = painter_->end();
    const bool failed = !ended || printer_->printerState() == QPrinter::Error;
    painter_.reset();
    printer_.reset();
    if (failed) throw Failure(QStringLiteral("The printer did not take the document."));
}
