#include "slices/manual_entry.h"

#include "platform/chart/number_text.h"
#include "runtime/error_report.h"
#include "runtime/messages.h"
#include "windows/form1.h"

namespace {

const QString kForm = QStringLiteral("Form1");

const char16_t kHelpText[] =
    u"When loading data from text file the data should look like\r\n"
    u"\r\n"
    u"Orange,3\r\n"
    u"Yellow,4\r\n"
    u"Green,5\r\n"
    u"\r\n"
    u"in order for the data to be imported successfully.";

struct SampleRow {
    const char16_t* name;
    const char16_t* value;
};
constexpr SampleRow kSampleRows[] = {
    {u"UK", u"24"}, {u"US", u"20"}, {u"Australia", u"8"}, {u"Germany", u"32"}, {u"France", u"16"}};

bool busy(const Form1& form) { return form.pointer.MousePointer == pointer_code::kHourglass; }

void removeSelectedRow(Form1& form, const QString& handler) {
    unguarded(*form.platform.messages, kForm, handler, [&] {
        if (busy(form)) return;
        if (form.ListView1->count() == 0) return;
        // With rows but none selected there is nothing to remove.
        const qsizetype selected = form.ListView1->selectedRow();
        if (selected > 0) form.ListView1->remove(selected);
    });
}

}  // namespace

void PushButton2_Click(Form1& form) {
    GuardedProcedure guard(*form.platform.messages, kForm, QStringLiteral("PushButton2_Click"));
    ListView& list = *form.ListView1;
    if (guard.blockTest(100, [&] { return !form.Text1->text().isEmpty(); })) {
        if (guard.blockTest(102, [&] { return !form.Text2->text().isEmpty(); })) {
            if (guard.blockTest(104, [&] { return isNumeric(form.Text2->text()); })) {
                qsizetype row = 0;
                guard.step(106, [&] { row = list.add(form.Text1->text()); });
                guard.step(108, [&] { list.setSubItem(row, form.Text2->text()); });
                guard.step(110, [&] { form.Text1->setText(QString()); });
                guard.step(112, [&] { form.Text2->setText(QString()); });
            } else {
                guard.step(114, [&] {
                    showMessage(form.platform, QStringLiteral("You must enter number for value"));
                });
            }
        } else {
            guard.step(116,
                       [&] { showMessage(form.platform, QStringLiteral("You must enter value")); });
        }
    } else {
        guard.step(118,
                   [&] { showMessage(form.platform, QStringLiteral("You must enter name.")); });
    }
}

void Text1_KeyPress(Form1& form, int& KeyAscii) {
    if (KeyAscii == kKeyAsciiEnter) PushButton2_Click(form);
}

void Text2_KeyPress(Form1& form, int& KeyAscii) {
    if (KeyAscii == kKeyAsciiEnter) PushButton2_Click(form);
}

void ListView1_KeyDown(Form1& form, int& KeyCode, int Shift) {
    Q_UNUSED(Shift);  // Delete removes with any of Shift, Ctrl and Alt held
    if (KeyCode == kKeyCodeDelete) removeSelectedRow(form, QStringLiteral("ListView1_KeyDown"));
}

void ListView1_DblClick(Form1& form) {
    removeSelectedRow(form, QStringLiteral("ListView1_DblClick"));
}

void PushButton7_Click(Form1& form) {
    GuardedProcedure guard(*form.platform.messages, kForm, QStringLiteral("PushButton7_Click"));
    guard.step(100, [&] {
        if (!busy(form)) form.ListView1->clear();
    });
}

void PushButton6_Click(Form1& form) {
    GuardedProcedure guard(*form.platform.messages, kForm, QStringLiteral("PushButton6_Click"));
    ListView& list = *form.ListView1;
    // The row variable keeps the last row that was added: a failed append leaves it there.
    qsizetype row = 0;
    int line = 100;
    for (const SampleRow& sample : kSampleRows) {
        guard.step(line, [&] { row = list.add(QStringView(sample.name)); });
        guard.step(line + 2, [&] { list.setSubItem(row, QStringView(sample.value)); });
        line += 4;
    }
}

void PushButton4_Click(Form1& form) {
    GuardedProcedure guard(*form.platform.messages, kForm, QStringLiteral("PushButton4_Click"));
    guard.step(100, [&] { showMessage(form.platform, QString::fromUtf16(kHelpText)); });
}
