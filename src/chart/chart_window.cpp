#include "chart/chart_window.h"

#include "chart/clipboard_picture.h"
#include "platform/application.h"
#include "platform/controls/twips.h"
#include "platform/desktop/window_frame.h"
#include "platform/dialogs/printer.h"
#include "runtime/app_icon.h"
#include "runtime/error_report.h"
#include "runtime/file_exists.h"
#include "runtime/pointer.h"
#include "runtime/skin.h"
#include "runtime/titles.h"
#include "windows/form2.h"

#include <algorithm>

namespace {

const QString kForm = QStringLiteral("Form2");

QString cursorFile(Form2& form) {
    return programFile(form.platform.application->programFolder(),
                       QString::fromUtf16(kCursorFileName));
}

}  // namespace

void showChartWindowModal(Form2& form) {
    centreOnScreen(form, FrameQuery::LikeOwner);
    form.platform.showModal(form);
}

void Form_Load(Form2& form) {
    GuardedProcedure guard(*form.platform.messages, kForm, QStringLiteral("Form_Load"));
    guard.step(100, [&] { ApplyButtonFaceColor(form); });
    guard.step(102, [&] { form.setWindowTitle(productTitle()); });
    guard.step(102, [&] { form.setWindowIcon(applicationIcon()); });
    if (guard.blockTest(106, [&] { return FileExists(cursorFile(form)); }))
        guard.step(108, [&] { form.pointer.MouseIcon = loadCursorFile(cursorFile(form)); });
}

QSizeF fittedChartSize(float outerWidthTwips, float outerHeightTwips) {
    // A window smaller than the allowances would give a negative size, which no chart takes.
    return QSizeF(std::max(0.0f, outerWidthTwips - kChartWidthAllowanceTwips),
                  std::max(0.0f, outerHeightTwips - kChartHeightAllowanceTwips));
}

namespace {

QSizeF chartSizeForOuterSize(const Form2& form) {
    const QSize outer = outerSize(form);
    return fittedChartSize(float(pixelsToTwips(outer.width())),
                           float(pixelsToTwips(outer.height())));
}

}  // namespace

void Form_Resize(Form2& form) {
    if (form.isMinimized()) return;
    const QSizeF chart = chartSizeForOuterSize(form);
    form.MSChart1->setWidthTwips(float(chart.width()));
    form.MSChart1->setHeightTwips(float(chart.height()));
}

void refitAfterFrameChange(Form2& form) {
    // The watch also hears of moves and other notices; only a changed outer size refits.
    if (chartSizeForOuterSize(form) !=
        QSizeF(form.MSChart1->widthTwips(), form.MSChart1->heightTwips()))
        Form_Resize(form);
}

void PushButton1_Click(Form2& form) {
    GuardedProcedure guard(*form.platform.messages, kForm, QStringLiteral("PushButton1_Click"));
    Printer& printer = *form.platform.printer;
    guard.step(100, [&] { form.MSChart1->copyPictureToClipboard(); });
    guard.step(102, [&] { form.platform.application->processEvents(); });
    guard.step(104, [&] { printer.print(QStringLiteral(" ")); });
    guard.step(106, [&] {
        const std::optional<ChartPicture> picture =
            GetClipboardPicture(*form.platform.clipboard, kAnyPictureFormat);
        if (!picture)
            throw Failure(QStringLiteral("The clipboard gave no picture of the chart to print."));
        printer.paintPicture(*picture, QPointF(0, 0));
    });
    guard.step(108, [&] { printer.endDoc(); });
}
