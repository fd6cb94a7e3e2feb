#include "platform/store/settings_store.h"

#include "platform/failure.h"
#include "platform/files/file_kind.h"
#include "platform/store/settings_write_guard.h"

#include <stdio.h>
#include <sys/resource.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStorageInfo>
#include <memory>

namespace {

// QSettings waits for its lock file without end: a lock that cannot be cleared (a read-only
// folder, another user's file in a sticky folder) would freeze the close, and a lock file of
// garbage holds it for 30 s. So the lock is first taken here, within a bound, and let go; then
// QSettings finds it free.
constexpr int kLockWaitMs = 1500;
// A lock is only ever cleared when no process holds it open (QLockFile checks with flock), so
// any age will do; this one only spares a lock file that its maker is still filling in.
constexpr int kLockStaleMs = 100;

// The file a link names, which is what a write replaces (the link stays); the path itself when
// it is no link to a regular file.
QString fileBehind(const QString& path) {
    const QFileInfo file(path);
    return file.isSymLink() && fileKind(path) == FileKind::Regular ? file.canonicalFilePath()
                                                                   : path;
}

// Why the file cannot be written, as far as the file system tells; empty when it does not.
QString whyNotWritable(const QString& path, qint64 bytesNeeded) {
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (file.isDir()) return QStringLiteral("a folder of that name is in its place");
    if (file.exists() && !file.isWritable()) return QStringLiteral("the file is read-only");
    if (!folder.isDir()) return QStringLiteral("its folder does not exist");
    if (!folder.isWritable()) return QStringLiteral("its folder is read-only");
    const QStorageInfo storage(folder.absoluteFilePath());
    if (storage.isValid() && storage.isReadOnly())
        return QStringLiteral("its file system is read-only");
    if (storage.isValid() && storage.bytesAvailable() < bytesNeeded)
        return QStringLiteral("the disk is full");
    return QString();
}

// Reading the file back costs as much again as writing it, so it is done only where a write
// could come up short: a file size limit, or less room than many times what is written (UTF-8
// and escaping make a character at most about a dozen bytes).
bool writeCouldComeUpShort(const QString& path, qint64 charactersWritten) {
    rlimit limit = {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) return true;
    const QFileInfo file(path);
    const QStorageInfo storage(file.absolutePath());
    if (!storage.isValid()) return true;
    constexpr qint64 kBytesPerCharacter = 16;
    constexpr qint64 kSlack = 1 << 20;
    return storage.bytesAvailable() < charactersWritten * kBytesPerCharacter + file.size() + kSlack;
}

Failure cannotWrite(const QString& path, qint64 bytesNeeded, const QString& otherwise = QString()) {
    QString why = whyNotWritable(fileBehind(path), bytesNeeded);
    if (why.isEmpty()) why = otherwise;
    if (why.isEmpty())
        return Failure(QStringLiteral("The settings file %1 cannot be written.").arg(path));
    return Failure(QStringLiteral("The settings file %1 cannot be written: %2.").arg(path, why));
}

Failure damaged(const QString& path) {
    return Failure(
        QStringLiteral("The settings file %1 is damaged and was not replaced.").arg(path));
}

// Waits at most kLockWaitMs for the store's lock and lets it go again; false when it is held
// all that time or cannot be cleared. Anything but a regular file in the lock's place (a pipe
// would block the reading of its contents) cannot be cleared.
bool lockCanBeTaken(const QString& path) {
    const QString lockPath = path + QStringLiteral(".lock");
    for (const QString& p : {lockPath, lockPath + QStringLiteral(".rmlock")})
        if (fileKind(p) == FileKind::Other) return false;
    QLockFile lock(lockPath);
    lock.setStaleLockTime(kLockStaleMs);
    // Other errors (no room, no right to make the file) QSettings meets without waiting.
    return lock.tryLock(kLockWaitMs) || lock.error() != QLockFile::LockFailedError;
}

// A free name beside the store that says what it holds and since when.
QString unreadableName(const QString& path) {
    const QString stem = path + QStringLiteral(".unreadable-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = stem;
    for (int n = 2; QFileInfo(name).exists() || QFileInfo(name).isSymLink(); ++n)
        name = stem + u'-' + QString::number(n);
    return name;
}

}  // namespace

QtSettingsStore::QtSettingsStore() = default;
QtSettingsStore::QtSettingsStore(QString configFolder) : configFolder_(std::move(configFolder)) {}
QtSettingsStore::~QtSettingsStore() = default;

QString QtSettingsStore::fileName(const QString& appName) const {
    // Where QSettings' native format keeps a user's settings of that organization on Linux; the
    // name is needed before the file is opened.
    QString folder = configFolder_.isEmpty()
                         ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                         : configFolder_;
    // The XDG base directory rules make a relative $XDG_CONFIG_HOME invalid, to be ignored; Qt
    // 6.4 takes it relative to the working folder, where a start from elsewhere would not look.
    if (configFolder_.isEmpty() && QDir::isRelativePath(folder))
        folder = QDir::homePath() + QStringLiteral("/.config");
    return folder + u'/' + appName + QStringLiteral(".conf");
}

QSettings& QtSettingsStore::open(const QString& appName) {
    std::unique_ptr<QSettings>& settings = open_[appName];
    if (!settings) settings = std::make_unique<QSettings>(fileName(appName), QSettings::IniFormat);
    return *settings;
}

void QtSettingsStore::setAsideIfUnreadable(const QString& appName) {
    const QString path = fileName(appName);
    const FileKind kind = fileKind(path);
    if (kind == FileKind::Missing) return;
    if (kind == FileKind::Regular) {
        // Sections are parsed when first asked for, and only then is a fault in them seen.
        QSettings& settings = open(appName);
        settings.allKeys();
        if (settings.status() != QSettings::FormatError) return;
        open_.erase(appName);
    }
    const QString kept = unreadableName(path);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(kept).constData()) == 0)
        keptAs_ = kept;
    else
        notReplaceable_.insert(path);
}

QString QtSettingsStore::GetSetting(const QString& appName, const QString& section,
                                    const QString& key, const QString& defaultValue) {
    if (!open_.count(appName)) setAsideIfUnreadable(appName);
    // What could not be set aside reads as empty, without being opened.
    if (notReplaceable_.count(fileName(appName))) return defaultValue;
    QSettings& settings = open(appName);
    settings.beginGroup(section);
    const QVariant value = settings.value(key);
    settings.endGroup();
    if (!value.isValid()) return defaultValue;
    return storedText(value);
}

void QtSettingsStore::SaveSetting(const QString& appName, const QString& section,
                                  const QString& key, const QString& value) {
    const QString path = fileName(appName);
    // The whole file is written again, and the value is most of it.
    const qint64 bytesNeeded = value.size() + key.size() + section.size();
    if (notReplaceable_.count(path))
        throw Failure(
            QStringLiteral("The settings file %1 could not be read, so it was kept as it is.")
                .arg(path));
    // Qt's save file would replace a device node that the name links to, and reading a pipe
    // blocks; only a regular file is written over.
    if (fileKind(path) == FileKind::Other)
        throw cannotWrite(path, bytesNeeded, QStringLiteral("it is not a regular file"));
    QSettings* settings = &open(appName);
    if (settings->status() == QSettings::FormatError) throw damaged(path);
    if (!settings->isWritable()) throw cannotWrite(path, bytesNeeded);
    if (!lockCanBeTaken(path))
        throw cannotWrite(
            path, bytesNeeded,
            QStringLiteral("its lock file %1.lock is held or cannot be cleared").arg(path));
    // Through a link it is the file behind it that the write replaces, on its own disk.
    const QString written = fileBehind(path);
    SettingsWriteGuard guard(written);
    if (!guard.keeps())
        throw cannotWrite(path, bytesNeeded,
                          QStringLiteral("its old contents cannot be kept safe"));
    settings->beginGroup(section);
    // As UTF-8 bytes, because QSettings escapes a byte array's characters about a third faster
    // than a string's, which is most of the close time of a long list.
    settings->setValue(key, value.toUtf8());
    settings->endGroup();
    {
        const FileSizeSignalIgnored sizeLimitFails;
        settings->sync();
    }
    switch (settings->status()) {
        case QSettings::NoError:
            if (writeCouldComeUpShort(written, bytesNeeded) &&
                !guard.holds(settings->format(), section, key, value)) {
                guard.restore();
                const Failure failure =
                    cannotWrite(path, bytesNeeded, QStringLiteral("it could not be written whole"));
                // What this object holds is no longer what the file holds.
                open_.erase(appName);
                throw failure;
            }
            return;
        case QSettings::AccessError:
            throw cannotWrite(path, bytesNeeded);
        case QSettings::FormatError:
            // QSettings writes over a file it could not parse; what it held is put back.
            guard.restore();
            open_.erase(appName);
            throw damaged(path);
    }
}
