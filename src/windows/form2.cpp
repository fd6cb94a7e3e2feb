#include "windows/form2.h"

#include "windows/twips.h"
#include "windows/window_look.h"

#include <QKeyEvent>
#include <QPainter>

namespace {

constexpr int kClientWidthTwips = 8535;
constexpr int kClientHeightTwips = 7440;
constexpr int kChartWidthTwips = 9510;
constexpr int kChartHeightTwips = 6720;

}  // namespace

void PictureBox::setPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) return;
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), picture_);
}

Form2::Form2(Platform& platform_, QWidget* owner) : QDialog(owner), platform(platform_) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Chart"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    resize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));
    setMinimumSize(twipsToPixels(kForm2MinWidthTwips), twipsToPixels(kForm2MinHeightTwips));
    setFont(windowFont());
    setBackColor(*this, kWhite);

    auto place = [](QWidget* w, const char* name, QRect r) {
        w->setObjectName(QLatin1String(name));
        w->setGeometry(r);
    };

    PushButton5 = new PushButton(QStringLiteral("Save Pie Chart As JPG"), this);
    place(PushButton5, "PushButton5", twipsRect(120, 120, 3840, 405));
    PushButton1 = new PushButton(QStringLiteral("Send Pie Chart To Printer"), this);
    place(PushButton1, "PushButton1", twipsRect(4080, 120, 3840, 405));
    for (PushButton* button : pushButtons(*this)) {
        styleButton(*button);
        // Enter is no shortcut for printing or saving here.
        button->setAutoDefault(false);
    }

    MSChart1 = platform.newChart(this);
    QWidget& chart = MSChart1->widget();
    chart.move(twipsToPixels(kChartLeftTwips), twipsToPixels(kChartTopTwips));
    MSChart1->setWidthTwips(kChartWidthTwips);
    MSChart1->setHeightTwips(kChartHeightTwips);
    MSChart1->setVisible(false);

    Creator = new PictureBox(this);
    place(Creator, "Creator", twipsRect(360, 7440, 255, 255));
    setBackColor(*Creator, kWindowBackground);
    Creator->setFocusPolicy(Qt::StrongFocus);
    // Below the chart, so a taller window still keeps it out of view.
    Creator->lower();

    setTabOrder(&chart, PushButton5);
    setTabOrder(PushButton5, PushButton1);
    setTabOrder(PushButton1, Creator);

    CommonDialog1 = platform.newCommonDialog(this);
}

Form2::~Form2() = default;

void Form2::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

QList<PushButton*> pushButtons(Form2& form) { return {form.PushButton1, form.PushButton5}; }
