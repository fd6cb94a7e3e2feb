#pragma once
// The signals by which the system or a user asks the process to end (SIGTERM at shutdown or from
// kill, SIGINT from a terminal, SIGHUP when the terminal goes) turned into a request on the UI
// thread, where the close sequence can run; a signal handler itself may do almost nothing.

#include <functional>

class QObject;

// Calls request on the UI thread after each such signal, for as long as context lives. Signals
// that arrive together while one request is pending make one request.
void onCloseSignal(QObject* context, std::function<void()> request);
