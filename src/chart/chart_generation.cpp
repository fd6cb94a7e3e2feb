#include "chart/chart_generation.h"

#include "chart/chart_window.h"
#include "platform/chart/chart_control.h"
#include "platform/chart/number_text.h"
#include "runtime/chart_window_factory.h"
#include "runtime/error_report.h"
#include "runtime/messages.h"
#include "windows/form1.h"
#include "windows/form2.h"

#include <utility>

namespace {

const QString kForm = QStringLiteral("Form1");
constexpr qint16 kStyleBold = 1;
constexpr qint16 kStyleItalic = 2;
constexpr char16_t kLabelSeparator[] = u" - ";

// The chart window is loaded by the first statement that touches its chart, and discarded
// when the generation ends.
class ChartWindowOnFirstUse {
  public:
    explicit ChartWindowOnFirstUse(Form1& owner) : owner_(owner) {}

    ChartControl& chart() {
        Form2& form = window();
        if (!form.MSChart1) throw Failure(QStringLiteral("The chart window has no chart."));
        return *form.MSChart1;
    }
    void showModal() { showChartWindowModal(window()); }

  private:
    Form2& window() {
        if (!window_) window_ = newChartWindow(owner_.platform, &owner_);
        return *window_;
    }

    Form1& owner_;
    std::unique_ptr<Form2> window_;
};

qsizetype countSlices(const ListView& list) {
    const qsizetype count = list.count();
    if (count > kMaxChartSlices)
        throw Failure(QStringLiteral("The list has more rows than the chart can hold."));
    return count;
}

}  // namespace

bool AllValuesNumeric(const ListView& list) {
    const SliceTableModel& items = list.items();
    for (qsizetype row = 1; row <= items.count(); ++row)
        if (!isNumeric(items.subItemView(row))) return false;
    return true;
}

void PushButton1_Click(Form1& form) {
    GuardedProcedure guard(*form.platform.messages, kForm, QStringLiteral("PushButton1_Click"));
    ListView& list = *form.ListView1;
    CommonDialog& font = *form.CommonDialog1;
    ChartWindowOnFirstUse window(form);

    if (guard.exitTest(100, [&] { return list.count() == 0; })) return;
    // Beyond the 16-bit slice count the chart could only open without the list's slices.
    if (guard.exitTest(100, [&] { return list.count() > kMaxChartSlices; })) {
        guard.step(100, [&] { showMessage(form.platform, QString::fromUtf16(kTooManySlices)); });
        return;
    }
    if (guard.exitTest(102, [&] { return !AllValuesNumeric(list); })) {
        guard.step(158, [&] { showMessage(form.platform, QString::fromUtf16(kNotAllNumbers)); });
        return;
    }
    // Bold and italic together give italic: the later style replaces the earlier one.
    if (guard.blockTest(104, [&] { return font.FontBold; }))
        guard.step(106, [&] { window.chart().setLegendFontStyle(kStyleBold); });
    if (guard.blockTest(108, [&] { return font.FontItalic; }))
        guard.step(110, [&] { window.chart().setLegendFontStyle(kStyleItalic); });
    guard.step(112, [&] { window.chart().setLegendFontName(font.FontName); });
    guard.step(114, [&] { window.chart().setLegendFontSize(font.FontSize); });
    guard.step(124, [&] { window.chart().setVisible(true); });
    guard.step(126, [&] { window.chart().setRowCount(1); });

    qsizetype count = 0;
    guard.step(130, [&] { count = countSlices(list); });
    guard.forLoop(
        138, 150, [&] { return std::pair<qsizetype, qsizetype>(1, count); },
        [&](qsizetype i) {
            const int column = int(i);
            guard.step(140, [&] { window.chart().setColumnCount(column); });
            guard.step(142, [&] { window.chart().setColumn(column); });
            guard.step(144, [&] {
                window.chart().setColumnLabel(list.text(i) + QString::fromUtf16(kLabelSeparator) +
                                              canonicalFromText(list.subItem(i)));
            });
            guard.step(146, [&] { window.chart().setData(canonicalFromText(list.subItem(i))); });
            guard.step(148, [&] { window.chart().setFilledColumnCount(column); });
        });
    guard.step(156, [&] { window.showModal(); });
}

void PushButton5_Click(Form1& form) {
    GuardedProcedure guard(*form.platform.messages, kForm, QStringLiteral("PushButton5_Click"));
    CommonDialog& dialog = *form.CommonDialog1;
    guard.step(100, [&] { dialog.Flags = kCfScreenFonts; });
    guard.step(102, [&] { dialog.FontName = QStringLiteral("Arial"); });
    guard.step(104, [&] { dialog.ShowFont(); });
}
