#pragma once
// SIGTERM, SIGINT and SIGHUP and the session manager's quit become close requests of a window,
// delivered on the UI thread; the signal handler itself only writes one byte to a pipe.

class QWidget;

void routeCloseRequestsTo(QWidget& window);
