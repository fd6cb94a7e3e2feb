#include "fakes/chart_fixture.h"

#include "chart/chart_window.h"
#include "fakes/form_fixture.h"
#include "shell/form2_wiring.h"

#include <QRegularExpression>

void Form2Test::SetUp() {
    clearStatementFaults();
    ASSERT_TRUE(temp.isValid());
}

void Form2Test::TearDown() {
    clearStatementFaults();
    form.reset();
}

Form2& Form2Test::load() {
    form = loadChartWindow(fake.platform(), nullptr);
    return *form;
}

void Form2Test::fill(const std::vector<std::pair<QString, QString>>& slices) {
    ChartControl& chart = *form->MSChart1;
    chart.setVisible(true);
    chart.setRowCount(1);
    int column = 0;
    for (const auto& [label, value] : slices) {
        chart.setColumnCount(++column);
        chart.setColumn(column);
        chart.setColumnLabel(label);
        chart.setData(value);
    }
}

PieChart& Form2Test::pie() { return pieOf(*form->MSChart1); }

PieChart& pieOf(ChartControl& chart) { return dynamic_cast<FakeChart&>(chart).real; }

std::vector<int> reportLines(const FakeMessageBoxes& messages) {
    static const QRegularExpression atLine(QStringLiteral(" at line (\\d+)\r\r"));
    std::vector<int> lines;
    for (const ShownMessage& m : messages.shown) {
        if (m.title != u"Application Error") continue;
        const QRegularExpressionMatch match = atLine.match(m.text);
        lines.push_back(match.hasMatch() ? match.captured(1).toInt() : -1);
    }
    return lines;
}

QStringList reportDescriptions(const FakeMessageBoxes& messages) {
    QStringList out;
    for (const ShownMessage& m : messages.shown)
        if (m.title == u"Application Error")
            out.append(m.text.section(QStringLiteral("\r\n"), 0, 0));
    return out;
}
