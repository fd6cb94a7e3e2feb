#pragma once
// The chart window: two buttons above the chart, the picture holder out of view and the
// window's own common dialog. Built afresh for every chart; nothing here reacts to anything.

#include "platform/chart_control.h"
#include "platform/common_dialog.h"
#include "platform/platform.h"
#include "platform/push_button.h"
#include "windows/window_state.h"

#include <QDialog>
#include <QImage>
#include <QWidget>
#include <memory>

// A picture box: holds a picture (a null image when it holds none) and shows it at its corner.
class PictureBox : public QWidget {
    Q_OBJECT
  public:
    explicit PictureBox(QWidget* parent = nullptr) : QWidget(parent) {}

    void setPicture(const QImage& picture);
    void clearPicture() { setPicture(QImage()); }
    bool hasPicture() const { return !picture_.isNull(); }
    // The bitmap it shows: the picture at the picture's own size.
    const QImage& image() const { return picture_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage picture_;
};

class Form2 : public QDialog {
    Q_OBJECT
  public:
    Form2(Platform& platform, QWidget* owner);
    ~Form2() override;

    Platform& platform;

    PushButton* PushButton5;  // Save Pie Chart As JPG
    PushButton* PushButton1;  // Send Pie Chart To Printer
    std::unique_ptr<ChartControl> MSChart1;
    PictureBox* Creator;
    std::unique_ptr<CommonDialog> CommonDialog1;

    WindowPointer pointer;

  protected:
    // The window closes by its close box only: Escape, perhaps meant for a dialog that just
    // closed, must not dismiss the chart.
    void keyPressEvent(QKeyEvent* event) override;
};

QList<PushButton*> pushButtons(Form2& form);

// The chart's place as laid out; only its size follows the window.
inline constexpr int kChartLeftTwips = 90;
inline constexpr int kChartTopTwips = 630;
// The smallest client area the window takes: the row of buttons and a little of the chart.
inline constexpr int kForm2MinWidthTwips = 8040;
inline constexpr int kForm2MinHeightTwips = 2250;
