#include "platform/file_kind.h"

#include <sys/stat.h>
#include <QFile>

FileKind fileKind(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat status = {};
    if (::stat(native.constData(), &status) == 0)
        return S_ISREG(status.st_mode) ? FileKind::Regular : FileKind::Other;
    // A link whose target cannot be reached is not followed either.
    return ::lstat(native.constData(), &status) == 0 ? FileKind::Other : FileKind::Missing;
}

FileSizeSignalIgnored::FileSizeSignalIgnored() {
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &previous_);
}

FileSizeSignalIgnored::~FileSizeSignalIgnored() { ::sigaction(SIGXFSZ, &previous_, nullptr); }
