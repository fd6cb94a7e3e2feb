#include "platform/application.h"

#include "platform/clipboard_handover.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

QString QtApplication::programFolder() const {
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

void QtApplication::processEvents() { QCoreApplication::processEvents(); }

void QtApplication::endProgram(int exitCode) {
    // Ending "at once" means no destructor or handler of any window may run after this point;
    // everything that must survive has been written and synced by the caller. Only the
    // clipboard, which lives in this process, is handed to a clipboard manager first.
    handClipboardToManager();
    std::fflush(nullptr);
    ::_exit(exitCode);
}
