#include "platform/application.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

QString QtApplication::programFolder() const {
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

void QtApplication::processEvents() { QCoreApplication::processEvents(); }

void QtApplication::endProgram() {
    // Ending "at once" means no destructor or handler of any window may run after this point;
    // everything that must survive has been written and synced by the caller.
    std::fflush(nullptr);
    ::_exit(0);
}
