#pragma once
// The printer: a document is started by its first output and printed by endDoc. The Qt adapter
// prints on the system's default printer without a dialog; tests may aim it at a PDF file.
// Without a usable printer every operation throws Failure with a description that says why.

#include "platform/chart/chart_picture.h"

#include <QPointF>
#include <QPrinterInfo>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QPainter;
class QPrinter;

class Printer {
  public:
    virtual ~Printer() = default;
    // Prints one line of text at the current position.
    virtual void print(const QString& text) = 0;
    // Paints the picture with its top-left corner at the point (twips from the top-left of the
    // printable area), as large as the rest of the printable area takes it with its proportions
    // kept: as vectors when the picture has its vector form, else as its bitmap.
    virtual void paintPicture(const ChartPicture& picture, QPointF topLeftTwips) = 0;
    // Ends the document, so its page is printed.
    virtual void endDoc() = 0;
};

class QtPrinter : public Printer {
  public:
    using PrinterLookup = std::function<QPrinterInfo()>;
    // The lookup finds the printer each document goes to: the default printer unless told.
    explicit QtPrinter(PrinterLookup lookup = &QPrinterInfo::defaultPrinter);
    // The name every later print job goes by in the print queue.
    void setDocumentName(const QString& name) { documentName_ = name; }
    ~QtPrinter() override;

    // Prints every later document into this PDF file instead of on a printer.
    void setPdfTarget(const QString& path) { pdfTarget_ = path; }

    void print(const QString& text) override;
    void paintPicture(const ChartPicture& picture, QPointF topLeftTwips) override;
    void endDoc() override;

    // Where the last picture went and the printable area, in the printer's device pixels.
    QRectF lastPictureRect() const { return lastPictureRect_; }
    QRectF printableRect() const { return printableRect_; }

  private:
    QPainter& document();

    PrinterLookup lookup_;
    std::optional<QString> pdfTarget_;
    QString documentName_;
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPainter> painter_;
    std::optional<QString> startFailure_;
    qreal nextLineTop_ = 0;
    QRectF lastPictureRect_;
    QRectF printableRect_;
};

inline constexpr char16_t kNoDefaultPrinter[] = u"No default printer is set up.";

// Where a picture of the given size goes when painted at a point of an area: scaled up or down,
// keeping its proportions, to the largest size that fits the rest of the area.
QRectF placePicture(QSizeF picture, QPointF at, QSizeF area);
