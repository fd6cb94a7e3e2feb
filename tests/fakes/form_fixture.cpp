#include "fakes/form_fixture.h"

#include "runtime/chart_window_factory.h"
#include "runtime/error_report.h"
#include "shell/form2_wiring.h"
#include "shell/main_window.h"

#include <QCoreApplication>

void Form1Test::SetUp() {
    clearStatementFaults();
    setChartWindowFactory(loadChartWindow);
}

void Form1Test::TearDown() {
    clearStatementFaults();
    form.reset();
}

Form1& Form1Test::load() {
    form = std::make_unique<Form1>(fake.platform());
    Form_Load(*form);
    QCoreApplication::processEvents();
    return *form;
}

void Form1Test::addRow(const QString& name, const QString& value) {
    const qsizetype row = form->ListView1->add(name);
    form->ListView1->setSubItem(row, value);
}

QStringList Form1Test::rows() const {
    QStringList out;
    for (qsizetype i = 1; i <= form->ListView1->count(); ++i)
        out.append(form->ListView1->text(i) + u'=' + form->ListView1->subItem(i));
    return out;
}

QStringList Form1Test::reports() const {
    QStringList out;
    for (const ShownMessage& m : fake.messages.shown)
        if (m.title == u"Application Error") out.append(m.text);
    return out;
}

void failStatement(const QString& path, int line, const QString& description) {
    setStatementFaultHook(
        [path, line, description](const QString& p, int l) -> std::optional<QString> {
            if (p == path && l == line) return description;
            return std::nullopt;
        });
}

void clearStatementFaults() { setStatementFaultHook({}); }
