#pragma once
// Test doubles of the chart's outside components: a chart that records every operation in order
// and draws through our own pie chart, an in-process clipboard that can be made unreadable, a
// printer that records its document, and an image writer that can be told to fail.

#include "platform/chart/chart_control.h"
#include "platform/desktop/clipboard.h"
#include "platform/dialogs/printer.h"
#include "platform/files/image_writer.h"

#include <QStringList>
#include <optional>

// Operations read "name argument", e.g. "columnLabel UK - 24" or "width 9510".
class FakeChart : public ChartControl {
  public:
    FakeChart(QWidget* parent, Clipboard& clipboard, QStringList& log)
        : real(parent, clipboard), log_(log) {}

    QWidget& widget() override { return real.widget(); }
    void setLegendFontStyle(qint16 style) override;
    void setLegendFontName(const QString& name) override;
    void setLegendFontSize(float points) override;
    void setVisible(bool visible) override;
    void setRowCount(int rows) override;
    void setColumnCount(int columns) override;
    void setColumn(int column) override;
    void setColumnLabel(const QString& label) override;
    void setData(const QString& number) override;
    void setFilledColumnCount(int count) override;
    void setWidthTwips(float twips) override;
    void setHeightTwips(float twips) override;
    float widthTwips() const override { return real.widthTwips(); }
    float heightTwips() const override { return real.heightTwips(); }
    void copyPictureToClipboard() override;

    PieChart real;

  private:
    void record(const QString& operation) { log_.append(operation); }
    QStringList& log_;
};

class FakeClipboard : public Clipboard {
  public:
    void setPicture(const ChartPicture& picture) override;
    ChartPicture picture(qint32 format) override;

    std::optional<ChartPicture> content;
    int failingReads = 0;  // reads that fail before the clipboard answers again
    int reads = 0;
    bool refuseWrites = false;
};

class FakePrinter : public Printer {
  public:
    void print(const QString& text) override;
    void paintPicture(const ChartPicture& picture, QPointF topLeftTwips) override;
    void endDoc() override;

    // "print ' '", "picture 634x448 at 0,0", "end".
    QStringList operations;
    std::optional<ChartPicture> lastPicture;
};

// Writes through the real encoder unless told to answer with a status.
class FakeImageWriter : public ImageWriter {
  public:
    int saveJpeg(const QImage& picture, const QString& path, int quality) override;

    std::optional<int> forcedStatus;
    QStringList saves;  // "path WxH quality"

  private:
    QtImageWriter real_;
};
