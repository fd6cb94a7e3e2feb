#include "runtime/error_report.h"

#include "platform/dialogs/message_box.h"

namespace {
StatementFaultHook& faultHook() {
    static StatementFaultHook hook;
    return hook;
}
// Only tests set a hook; every statement looks, and a plain flag is the cheapest look (a close
// with a million rows runs two million statements).
bool hookSet = false;
}  // namespace

QString procedurePath(const QString& window, const QString& handler) {
    return QString::fromUtf16(kProcedurePrefix) + u'.' + window + u'.' + handler;
}

QString composeErrorReport(const QString& description, const QString& path, int line) {
    return description + QStringLiteral("\r\n") + QStringLiteral("in ") + path + u' ' +
           QStringLiteral("at line ") + QString::number(line) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") +
           QString::fromUtf16(kSupportAddress);
}

void showErrorReport(MessageBoxes& messages, const QString& description, const QString& path,
                     int line) {
    try {
        messages.show(composeErrorReport(description, path, line),
                      QString::fromUtf16(kErrorReportTitle), MessageIcon::Warning);
    } catch (...) {
        // Nothing is left to tell the user with; carrying on beats ending the program.
    }
}

void setStatementFaultHook(StatementFaultHook hook) {
    faultHook() = std::move(hook);
    hookSet = bool(faultHook());
}

void GuardedProcedure::checkFault(int line) {
    if (!hookSet) return;
    const StatementFaultHook& hook = faultHook();
    if (!hook) return;
    if (std::optional<QString> description = hook(path_, line)) throw Failure(*description);
}

void GuardedProcedure::report(const QString& description, int line) {
    showErrorReport(messages_, description, path_, line);
}
