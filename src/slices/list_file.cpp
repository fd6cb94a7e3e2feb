#include "slices/list_file.h"

#include "platform/chart/number_text.h"
#include "platform/dialogs/common_dialog.h"
#include "runtime/error_report.h"
#include "runtime/file_exists.h"
#include "runtime/messages.h"
#include "runtime/pointer.h"
#include "slices/list_file_reader.h"
#include "windows/form1.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kForm = QStringLiteral("Form1");

// Room in the list for what a file of this size likely holds ("Orange,3" rows of about 16
// bytes; never more characters than bytes). Past a few hundred megabytes the hint is dropped:
// such a file may fail part-way anyway, and the rows up to there should still fit.
void makeRoomFor(ListView& list, qint64 fileBytes) {
    constexpr qint64 kTypicalLineBytes = 16;
    constexpr qint64 kLargestHint = qint64(256) << 20;
    if (fileBytes <= 0 || fileBytes > kLargestHint) return;
    try {
        list.items().reserveAppends(qsizetype(fileBytes / kTypicalLineBytes), qsizetype(fileBytes));
    } catch (const std::bad_alloc&) {
        // Only a hint: the rows still go in, one growth at a time.
    }
}

}  // namespace

void LoadListFile(Form1& form, const QString& path) {
    if (!FileExists(path)) {
        showMessage(form.platform, QString::fromUtf16(kFileNotFound));
        return;
    }
    ListFileReader reader(path);
    ListView& list = *form.ListView1;
    makeRoomFor(list, reader.sizeAtOpen());
    const LocaleNumbers& numbers = currentNumbers();
    reader.readLines([&](QStringView line) { AddListLine(line, list, numbers); });
}

namespace {

// What the button does with its dialog's result: one full path, or the folder then each name,
// all NUL-separated; an empty result changes nothing.
void loadChosenFiles(Form1& form, GuardedProcedure& guard, const QString& chosen) {
    if (guard.exitTest(110, [&] { return chosen.isEmpty(); })) return;
    QStringList parts;
    guard.step(112, [&] { parts = chosen.split(QChar(0)); });
    guard.step(114, [&] { setMousePointer(form, form.pointer, pointer_code::kHourglass); });
    if (guard.blockTest(116, [&] { return parts.size() == 1; })) {
        QString path;
        guard.step(118, [&] { path = parts.value(0); });
        guard.step(120, [&] { LoadListFile(form, path); });
    } else if (guard.blockTest(122, [&] { return parts.size() >= 2; })) {
        qsizetype first = 0;
        qsizetype last = 0;
        guard.step(124, [&] { first = 1; });
        guard.step(126, [&] { last = parts.size() - 1; });
        guard.forLoop(
            128, 136, [&] { return std::pair(first, last); },
            [&](qsizetype i) {
                // A fresh path per name: a failed join must not read the previous file again.
                QString path;
                guard.step(130,
                           [&] { path = parts.value(0) + QDir::separator() + parts.value(i); });
                guard.step(132, [&] { path = NormalizeListPath(path, QDir::separator()); });
                guard.step(134, [&] { LoadListFile(form, path); });
            });
    }
    guard.step(138, [&] { setMousePointer(form, form.pointer, pointer_code::kDefault); });
}

GuardedProcedure loadProcedure(Form1& form) {
    return GuardedProcedure(*form.platform.messages, kForm, QStringLiteral("PushButton3_Click"));
}

}  // namespace

void PushButton3_Click(Form1& form) {
    GuardedProcedure guard = loadProcedure(form);
    CommonDialog& dialog = *form.CommonDialog1;
    guard.step(100, [&] { dialog.FileName = QString(); });
    guard.step(102, [&] { dialog.Flags = kLoadListDialogFlags; });
    guard.step(104, [&] { dialog.DialogTitle = QString::fromUtf16(kLoadListDialogTitle); });
    guard.step(106, [&] { dialog.Filter = QString::fromUtf16(kLoadListDialogFilter); });
    guard.step(108, [&] { dialog.ShowOpen(); });
    loadChosenFiles(form, guard, dialog.FileName);
}

bool loadingListFiles(const Form1& form) {
    return form.pointer.MousePointer == pointer_code::kHourglass;
}

void loadListFiles(Form1& form, const QStringList& paths) {
    if (loadingListFiles(form)) return;
    QStringList absolute;
    for (const QString& path : paths) absolute.append(QFileInfo(path).absoluteFilePath());
    GuardedProcedure guard = loadProcedure(form);
    loadChosenFiles(form, guard, joinOpenResult(absolute));
}
