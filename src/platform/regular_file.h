#pragma once
// Files the program reads beside itself (cursor, skin, the skin's pictures) are read only when
// they are regular files: a pipe, device or socket put there instead would block a reader for
// ever.

#include <QString>

class QFile;

// Opens path for reading once the opened handle has been checked to be a regular file; the open
// itself never waits, so a pipe in the file's place cannot block it. Throws Failure otherwise.
void openRegularFile(QFile& file, const QString& path);
// Whether path, links followed, names a regular file; nothing is opened.
bool isRegularFile(const QString& path);
