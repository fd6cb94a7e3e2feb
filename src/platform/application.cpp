#include "platform/application.h"

#include "platform/desktop/clipboard_handover.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <cstdio>

namespace {

bool g_ending = false;

// Drops close events for every window while the hand-over's event loop runs.
class CloseEventsDropped : public QObject {
  protected:
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Close; }
};

}  // namespace

bool programEnding() { return g_ending; }

QString QtApplication::programFolder() const {
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

void QtApplication::processEvents() { QCoreApplication::processEvents(); }

void QtApplication::endProgram(int exitCode) {
    // Ending "at once" means no destructor or handler of any window may run after this point;
    // everything that must survive has been written and synced by the caller. Only the
    // clipboard, which lives in this process, is handed to a clipboard manager first.
    if (!g_ending) {
        g_ending = true;
        if (QCoreApplication* app = QCoreApplication::instance())
            app->installEventFilter(new CloseEventsDropped);
    }
    handClipboardToManager();
    std::fflush(nullptr);
    ::_exit(exitCode);
}
