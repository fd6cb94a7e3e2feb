#include "platform/printer.h"

#include "platform/failure.h"

#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <utility>

namespace {

constexpr qreal kTwipsPerInch = 1440;
constexpr qreal kMetersPerInch = 0.0254;
constexpr qreal kScreenDpi = 96;

qreal dotsPerInch(int dotsPerMeter) {
    return dotsPerMeter > 0 ? dotsPerMeter * kMetersPerInch : kScreenDpi;
}

}  // namespace

QRectF placePicture(QSizeF picture, QPointF at, QSizeF area) {
    const QSizeF room(std::max<qreal>(0, area.width() - at.x()),
                      std::max<qreal>(0, area.height() - at.y()));
    qreal scale = 1;
    if (picture.width() > room.width()) scale = std::min(scale, room.width() / picture.width());
    if (picture.height() > room.height()) scale = std::min(scale, room.height() / picture.height());
    return QRectF(at, picture * scale);
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

void QtPrinter::paintPicture(const QImage& picture, QPointF topLeftTwips) {
    QPainter& painter = document();
    if (picture.isNull()) throw Failure(QStringLiteral("There is no picture to print."));
    const qreal resolution = printer_->resolution();
    const QSizeF physical(picture.width() / dotsPerInch(picture.dotsPerMeterX()) * resolution,
                          picture.height() / dotsPerInch(picture.dotsPerMeterY()) * resolution);
    const QPointF at = topLeftTwips / kTwipsPerInch * resolution;
    lastPictureRect_ = placePicture(physical, at, printableRect_.size());
    painter.drawImage(lastPictureRect_, picture);
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
