#pragma once
// Every close request of the main window runs its close sequence: the close box (also while a
// modal window blocks the main window), SIGTERM, SIGINT and SIGHUP, and the session manager's
// quit. Requests are delivered on the UI thread; the signal handler itself only writes one byte
// to a pipe. When the display or the session manager goes away under the program, the list is
// stored and the program ends (code 0, or 1 when the store failed), with no window shown.
//
// Until the main window has finished loading, a request ends the program at once and stores
// nothing: the list is then only part way back from the store, which still holds all of it.

class Form1;

void routeCloseRequestsTo(Form1& form);
// Called once Form_Load has returned: from then on a request runs the close sequence.
void closeRequestsRunTheCloseSequence();
