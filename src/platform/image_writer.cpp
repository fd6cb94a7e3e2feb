#include "platform/image_writer.h"

#include "platform/file_kind.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <cerrno>

namespace {

bool writeAll(int fd, const QByteArray& bytes) {
    const char* at = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, size_t(left));
        if (written < 0 && errno == EINTR) continue;
        // A short write is the disk or the size limit running out; the next call says which.
        if (written <= 0) return false;
        at += written;
        left -= written;
    }
    return true;
}

void syncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Writes the bytes beside the target, makes sure they are on disk, and only then gives them the
// target's name, so a failure at any point leaves the target as it was (or absent). QSaveFile is
// not used: Qt 6.4 misses a write error that surfaces only when its buffer is flushed at
// commit(), and it writes through a link to whatever the link names, a device node included.
int replaceFile(const QString& path, const QByteArray& bytes) {
    const FileKind kind = fileKind(path);
    if (kind == FileKind::Other)
        return QFileInfo(path).isDir() ? jpeg_status::kCannotCreateFile
                                       : jpeg_status::kNotARegularFile;
    // Through a link to a file, the file is what gets replaced; the link stays.
    const QFileInfo target(kind == FileKind::Regular ? QFileInfo(path).canonicalFilePath() : path);
    const QByteArray native = QFile::encodeName(target.absoluteFilePath());
    struct stat old = {};
    if (kind == FileKind::Regular &&
        (::stat(native.constData(), &old) != 0 || ::access(native.constData(), W_OK) != 0))
        return jpeg_status::kCannotCreateFile;

    QByteArray part;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        part = native + '.' + QByteArray::number(QCoreApplication::applicationPid()) + '-' +
               QByteArray::number(attempt) + ".part";
        fd = ::open(part.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return jpeg_status::kCannotCreateFile;

    bool written;
    {
        const FileSizeSignalIgnored sizeLimitFails;
        written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    }
    if (kind == FileKind::Regular) written = written && ::fchmod(fd, old.st_mode & 07777) == 0;
    written = ::close(fd) == 0 && written;
    if (!written) {
        ::unlink(part.constData());
        return jpeg_status::kCannotWriteFile;
    }
    if (::rename(part.constData(), native.constData()) != 0) {
        ::unlink(part.constData());
        return jpeg_status::kCannotReplaceFile;
    }
    syncFolder(target.absolutePath());
    return jpeg_status::kOk;
}

}  // namespace

int QtImageWriter::saveJpeg(const QImage& picture, const QString& path, int quality) {
    if (picture.isNull()) return jpeg_status::kNoPicture;
    if (path.isEmpty()) return jpeg_status::kCannotCreateFile;
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(quality);
        if (!writer.canWrite())
            return writer.error() == QImageWriter::UnsupportedFormatError
                       ? jpeg_status::kNoEncoder
                       : jpeg_status::kEncodingFailed;
        if (!writer.write(picture)) return jpeg_status::kEncodingFailed;
    }
    return replaceFile(path, bytes);
}
