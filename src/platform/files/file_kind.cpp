#include "platform/files/file_kind.h"

#include "platform/failure.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>

namespace {

Failure cannotOpen(const QString& path, const QString& why) {
    return Failure(QStringLiteral("Cannot open %1: %2").arg(QDir::toNativeSeparators(path), why));
}

}  // namespace

QString fileModeKindText(mode_t mode) {
    if (S_ISDIR(mode)) return QStringLiteral("a folder");
    if (S_ISFIFO(mode)) return QStringLiteral("a named pipe");
    if (S_ISSOCK(mode)) return QStringLiteral("a socket");
    if (S_ISCHR(mode)) return QStringLiteral("a character device");
    if (S_ISBLK(mode)) return QStringLiteral("a block device");
    return QStringLiteral("not a regular file");
}

void openRegularFile(QFile& file, const QString& path, QIODevice::OpenMode mode,
                     NotRegularText notRegular) {
    const auto refuse = [&](mode_t kind) {
        const QString kindText = fileModeKindText(kind);
        return notRegular ? Failure(notRegular(QDir::toNativeSeparators(path), kindText))
                          : cannotOpen(path, QStringLiteral("it is %1").arg(kindText));
    };
    const QByteArray native = QFile::encodeName(path);
    struct stat before;
    if (::stat(native.constData(), &before) == 0 && !S_ISREG(before.st_mode))
        throw refuse(before.st_mode);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) throw cannotOpen(path, QString::fromLocal8Bit(std::strerror(errno)));
    struct stat opened;
    if (::fstat(fd, &opened) != 0) {
        const int error = errno;
        ::close(fd);
        throw cannotOpen(path, QString::fromLocal8Bit(std::strerror(error)));
    }
    if (!S_ISREG(opened.st_mode)) {
        ::close(fd);
        throw refuse(opened.st_mode);
    }
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw cannotOpen(path, file.errorString());
    }
}

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
