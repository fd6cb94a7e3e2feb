#include "platform/chart/chart_control.h"

#include "platform/chart/number_text.h"
#include "platform/controls/twips.h"
#include "platform/desktop/clipboard.h"
#include "platform/failure.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <QWidget>
#include <cmath>
#include <optional>

namespace {

constexpr float kMaxFontPoints = 2048;
const QColor kFocusFrame(64, 64, 64);

int pixelsOf(float twips) { return int(std::lround(twips / float(kTwipsPerPixel))); }

void checkTwips(float twips, const char* what) {
    if (!std::isfinite(twips) || twips < 0)
        throw Failure(QStringLiteral("The chart %1 cannot be %2 twips.")
                          .arg(QLatin1String(what))
                          .arg(double(twips)));
}

}  // namespace

class PieChart::View : public QWidget {
  public:
    View(QWidget* parent, const PieChart& owner) : QWidget(parent), owner_(owner) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::StrongFocus);
        setAccessibleName(QString::fromUtf16(kChartAccessibleName));
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        paintPieChart(painter, QRectF(rect()), owner_.slices_, owner_.legendFont());
        // On screen only: the chart picture carries no focus frame. The chart's background is
        // always white, so the frame takes a fixed dark colour rather than the palette's.
        if (hasFocus()) {
            painter.setPen(QPen(kFocusFrame, 1, Qt::DotLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5));
        }
    }
    void focusInEvent(QFocusEvent* event) override {
        QWidget::focusInEvent(event);
        update();
    }
    void focusOutEvent(QFocusEvent* event) override {
        QWidget::focusOutEvent(event);
        update();
    }
    bool event(QEvent* event) override {
        if (event->type() != QEvent::ToolTip) return QWidget::event(event);
        const auto* help = static_cast<QHelpEvent*>(event);
        const std::vector<PieSlice>& slices = owner_.slices_;
        const std::optional<qsizetype> slice =
            pieSliceAt(QRectF(rect()), slices, owner_.legendFont(), this, help->pos());
        if (slice)
            QToolTip::showText(help->globalPos(),
                               sliceShareText(slices[size_t(*slice)], PieShares(slices)), this);
        else
            QToolTip::hideText();
        return true;
    }

  private:
    const PieChart& owner_;
};

PieChart::PieChart(QWidget* parent, Clipboard& clipboard)
    : view_(new View(parent, *this)), clipboard_(clipboard) {
    view_->setObjectName(QStringLiteral("MSChart1"));
    widthTwips_ = float(view_->width()) * float(kTwipsPerPixel);
    heightTwips_ = float(view_->height()) * float(kTwipsPerPixel);
}

PieChart::~PieChart() { delete view_.data(); }

QWidget& PieChart::widget() {
    if (!view_) throw Failure(QStringLiteral("The chart is no longer on its window."));
    return *view_;
}

void PieChart::changed() {
    if (!view_) return;
    view_->update();
    // Filling a chart of thousands of slices changes it thousands of times in a row; the
    // description for screen readers is made once, when the event loop next runs.
    if (descriptionDue_) return;
    descriptionDue_ = true;
    QMetaObject::invokeMethod(
        view_.data(),
        [this] {
            descriptionDue_ = false;
            if (view_) view_->setAccessibleDescription(accessibleDescription());
        },
        Qt::QueuedConnection);
}

void PieChart::setLegendFontStyle(qint16 style) {
    fontStyle_ = style;
    changed();
}

void PieChart::setLegendFontName(const QString& name) {
    fontName_ = name;
    changed();
}

void PieChart::setLegendFontSize(float points) {
    if (!(points > 0 && points <= kMaxFontPoints))
        throw Failure(QStringLiteral("The legend font cannot be %1 points.").arg(double(points)));
    fontSize_ = points;
    changed();
}

QFont PieChart::legendFont() const {
    QFont font;
    if (fontName_.isEmpty()) {
        font.setFamily(QStringLiteral("Sans Serif"));
        font.setStyleHint(QFont::SansSerif);
    } else {
        font.setFamily(fontName_);
    }
    font.setPointSizeF(fontSize_);
    font.setBold((fontStyle_ & 1) != 0);
    font.setItalic((fontStyle_ & 2) != 0);
    return font;
}

void PieChart::setVisible(bool visible) { widget().setVisible(visible); }

void PieChart::setRowCount(int rows) {
    if (rows < 1 || rows > kMaxChartColumns)
        throw Failure(QStringLiteral("The chart cannot have %1 rows.").arg(rows));
    rows_ = rows;
}

void PieChart::setColumnCount(int columns) {
    if (columns < 1 || columns > kMaxChartColumns)
        throw Failure(QStringLiteral("The chart cannot have %1 columns.").arg(columns));
    slices_.resize(size_t(columns));
    column_ = std::clamp(column_, 1, columns);
    changed();
}

void PieChart::setColumn(int column) {
    if (column < 1 || column > int(slices_.size()))
        throw Failure(QStringLiteral("The chart has no column %1.").arg(column));
    column_ = column;
}

PieSlice& PieChart::currentSlice() {
    if (column_ < 1 || column_ > int(slices_.size()))
        throw Failure(QStringLiteral("The chart has no current column."));
    return slices_[size_t(column_ - 1)];
}

void PieChart::setColumnLabel(const QString& label) {
    currentSlice().label = label;
    changed();
}

void PieChart::setData(const QString& number) {
    PieSlice& slice = currentSlice();
    const std::optional<double> value = currentNumbers().parse(number);
    if (!value) throw Failure(QStringLiteral("The data point \"%1\" is not a number.").arg(number));
    slice.value = *value;
    changed();
}

void PieChart::setFilledColumnCount(int count) {
    if (count < 0 || count > kMaxChartColumns)
        throw Failure(QStringLiteral("The filled column count cannot be %1.").arg(count));
    filledColumns_ = count;
}

void PieChart::setWidthTwips(float twips) {
    checkTwips(twips, "width");
    QWidget& view = widget();
    widthTwips_ = twips;
    view.resize(pixelsOf(twips), view.height());
}

void PieChart::setHeightTwips(float twips) {
    checkTwips(twips, "height");
    QWidget& view = widget();
    heightTwips_ = twips;
    view.resize(view.width(), pixelsOf(twips));
}

QImage PieChart::picture() const {
    if (!view_) throw Failure(QStringLiteral("The chart is no longer on its window."));
    const qreal ratio = view_->devicePixelRatioF();
    const QSize size = view_->size() * ratio;
    if (size.isEmpty()) throw Failure(QStringLiteral("The chart has no area to copy."));
    QImage image(size, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    // The picture carries the screen's resolution (device pixels to the inch), so it prints at
    // the size it has on screen.
    const int dotsPerMeter = int(std::lround(view_->logicalDpiX() * ratio / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    QPainter painter(&image);
    paintPieChart(painter, QRectF(QPointF(0, 0), QSizeF(view_->size())), slices_, legendFont());
    painter.end();
    return image;
}

QByteArray PieChart::svg() const {
    if (!view_) throw Failure(QStringLiteral("The chart is no longer on its window."));
    return pieChartSvg(QSizeF(view_->size()), slices_, legendFont(), view_.data());
}

QString PieChart::accessibleDescription() const {
    const PieShares shares(slices_);
    const qsizetype count = qsizetype(slices_.size());
    QStringList lines;
    for (qsizetype i = 0; i < std::min(count, kDescribedSlices); ++i)
        lines.append(sliceShareText(slices_[size_t(i)], shares));
    if (count > kDescribedSlices)
        lines.append(QStringLiteral("and %1 more").arg(count - kDescribedSlices));
    return lines.join(u'\n');
}

void PieChart::copyPictureToClipboard() { clipboard_.setPicture(ChartPicture(picture(), svg())); }
