#pragma once
// The chart control of the chart window: a pie with a legend, fed with one data row whose
// columns are the slices. Operations that the control refuses throw Failure and leave the
// control as it was. Sizes are in twips; the control turns them into pixels.

#include "platform/chart/pie_painter.h"

#include <QFont>
#include <QImage>
#include <QPointer>
#include <QString>
#include <memory>
#include <vector>

class QWidget;
class Clipboard;

class ChartControl {
  public:
    virtual ~ChartControl() = default;

    // The control on its window, for placing it and for the tab order.
    virtual QWidget& widget() = 0;

    // 1 bold, 2 italic (3 both); other bits are ignored.
    virtual void setLegendFontStyle(qint16 style) = 0;
    // An empty name gives the default sans-serif face.
    virtual void setLegendFontName(const QString& name) = 0;
    virtual void setLegendFontSize(float points) = 0;
    virtual void setVisible(bool visible) = 0;
    // Only the first row is drawn, as the pie; the data point always goes into it.
    virtual void setRowCount(int rows) = 0;
    // Growing adds empty columns at the end; earlier columns keep their labels and data points.
    virtual void setColumnCount(int columns) = 0;
    virtual void setColumn(int column) = 0;
    virtual void setColumnLabel(const QString& label) = 0;
    // A text holding a number in the user's locale: the current column's size in the pie.
    virtual void setData(const QString& number) = 0;
    // How many columns the caller has filled so far; it changes nothing that is drawn.
    virtual void setFilledColumnCount(int count) = 0;
    virtual void setWidthTwips(float twips) = 0;
    virtual void setHeightTwips(float twips) = 0;
    virtual float widthTwips() const = 0;
    virtual float heightTwips() const = 0;
    // Puts the chart as drawn, at its size on screen, on the clipboard.
    virtual void copyPictureToClipboard() = 0;
};

inline constexpr int kMaxChartColumns = 32767;
inline constexpr char16_t kChartAccessibleName[] = u"Pie chart";
inline constexpr qsizetype kDescribedSlices = 200;

// Our own pie chart control. The widget belongs to the parent window; the control deletes it
// when it goes first.
class PieChart : public ChartControl {
  public:
    PieChart(QWidget* parent, Clipboard& clipboard);
    ~PieChart() override;

    QWidget& widget() override;
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
    float widthTwips() const override { return widthTwips_; }
    float heightTwips() const override { return heightTwips_; }
    void copyPictureToClipboard() override;

    const std::vector<PieSlice>& slices() const { return slices_; }
    QFont legendFont() const;
    int rowCount() const { return rows_; }
    int column() const { return column_; }
    int filledColumnCount() const { return filledColumns_; }
    // The chart as drawn on screen, at the widget's size in device pixels.
    QImage picture() const;
    // The same chart as vectors, at the widget's size.
    QByteArray svg() const;
    // What a screen reader reads for the chart (its accessible description, brought up to date
    // when the event loop runs): each slice as the legend reads it, with its share, for the
    // first slices, then how many more there are.
    QString accessibleDescription() const;

  private:
    class View;
    PieSlice& currentSlice();
    void changed();

    QPointer<View> view_;
    Clipboard& clipboard_;
    std::vector<PieSlice> slices_;
    int rows_ = 1;
    int column_ = 0;
    int filledColumns_ = 0;
    qint16 fontStyle_ = 0;
    QString fontName_;
    float fontSize_ = 8;
    float widthTwips_ = 0;
    float heightTwips_ = 0;
    bool descriptionDue_ = false;
};
