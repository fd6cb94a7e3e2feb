#include "shell/main_window.h"

#include "platform/application.h"
#include "shell/app_icon.h"
#include "shell/error_report.h"
#include "shell/file_exists.h"
#include "shell/pointer.h"
#include "shell/skin.h"
#include "shell/titles.h"
#include "slices/persistence.h"
#include "windows/form1.h"

namespace {
const QString kForm = QStringLiteral("Form1");
constexpr int kListNotStoredExitCode = 1;
}  // namespace

void Form_Load(Form1& form) {
    GuardedProcedure guard(*form.platform.messages, kForm, QStringLiteral("Form_Load"));
    guard.step(100, [&] { ApplySkin(form); });
    const QString cursorPath = programFile(form.platform.application->programFolder(),
                                           QString::fromUtf16(kCursorFileName));
    if (guard.blockTest(104, [&] { return FileExists(cursorPath); })) {
        guard.step(106, [&] { form.pointer.MouseIcon = loadCursorFile(cursorPath); });
    }
    guard.step(126, [&] { form.setWindowTitle(productTitle()); });
    guard.step(126, [&] { form.setWindowIcon(applicationIcon()); });
    guard.step(126, [&] { SetAppTitle(); });
    guard.step(128, [&] { form.ListView1->addColumn(QStringLiteral("Name")); });
    guard.step(130, [&] { form.ListView1->addColumn(QStringLiteral(" Value")); });
    guard.step(132, [&] { form.ListView1->setColumnWidthTwips(1, kListColumnWidthTwips); });
    guard.step(134, [&] { form.ListView1->setColumnWidthTwips(2, kListColumnWidthTwips); });
    restoreList(form, guard);
}

void Form_QueryUnload(Form1& form, int& Cancel, int UnloadMode) {
    // The request is never refused, whatever its reason.
    Q_UNUSED(Cancel);
    Q_UNUSED(UnloadMode);
    GuardedProcedure guard(*form.platform.messages, kForm, QStringLiteral("Form_QueryUnload"));
    // A list that was not stored whole ends the program all the same, but not as a success.
    const int exitCode = saveList(form, guard) ? 0 : kListNotStoredExitCode;
    guard.step(110, [&] { form.platform.application->processEvents(); });
    guard.step(112, [&] { form.platform.application->processEvents(); });
    guard.step(114, [&] { form.platform.application->endProgram(exitCode); });
}
