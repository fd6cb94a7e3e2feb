#pragma once
// What a path names, found without opening it: opening a named pipe or a device to look can
// block for ever, and writing "over" one through Qt's save files replaces the node itself.
// Files the program reads beside itself (cursor, skin, the skin's pictures) are read only when
// they are regular files.

#include <sys/types.h>
#include <QIODevice>
#include <QString>
#include <csignal>

class QFile;

enum class FileKind { Missing, Regular, Other };

// Follows symbolic links; a link that leads nowhere is Other, like a folder, pipe or device.
// Missing: nothing can be reached at the path (no such file, or a folder on the way that
// cannot be searched), so opening it cannot block either.
FileKind fileKind(const QString& path);

// What a file mode names, for messages: "a named pipe", "a folder" and the like.
QString fileModeKindText(mode_t mode);

// How a caller words a path that names something other than a regular file; kind is
// fileModeKindText's.
using NotRegularText = QString (*)(const QString& nativePath, const QString& kind);

// Opens path for reading once the opened handle has been checked to be a regular file. A path
// that already names something else is not opened at all (opening a device can act on it), and
// the open itself never waits, so a pipe put in the file's place cannot block it. Throws Failure
// otherwise: "Cannot open <path>: it is <kind>", or notRegular's words when given.
void openRegularFile(QFile& file, const QString& path,
                     QIODevice::OpenMode mode = QIODevice::ReadOnly,
                     NotRegularText notRegular = nullptr);

// While it lives, a write past the file size limit (RLIMIT_FSIZE) fails with EFBIG instead of
// the signal ending the process.
class FileSizeSignalIgnored {
  public:
    FileSizeSignalIgnored();
    ~FileSizeSignalIgnored();
    FileSizeSignalIgnored(const FileSizeSignalIgnored&) = delete;
    FileSizeSignalIgnored& operator=(const FileSizeSignalIgnored&) = delete;

  private:
    struct sigaction previous_ = {};
};
