#include "platform/store/settings_store.h"

#include "platform/failure.h"
#include "platform/files/file_kind.h"
#include "platform/files/file_replace.h"
#include "platform/store/settings_write_guard.h"
#include "platform/store/store_file_format.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStorageInfo>
#include <cerrno>
#include <future>
#include <memory>
#include <optional>
#include <system_error>

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
bool lockFilesCanBeCleared(const QString& lockPath) {
    for (const QString& p : {lockPath, lockPath + QStringLiteral(".rmlock")})
        if (fileKind(p) == FileKind::Other) return false;
    return true;
}

Failure lockHeld(const QString& path, qint64 bytesNeeded) {
    return cannotWrite(
        path, bytesNeeded,
        QStringLiteral("its lock file %1.lock is held or cannot be cleared").arg(path));
}

bool lockCanBeTaken(const QString& path) {
    const QString lockPath = path + QStringLiteral(".lock");
    if (!lockFilesCanBeCleared(lockPath)) return false;
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

// A text held whole, for stores that hand out nothing else.
class WholeText : public StoredText {
  public:
    explicit WholeText(QString text) : text_(std::move(text)) {}
    bool isEmpty() const override { return text_.isEmpty(); }
    qsizetype sizeHint() const override { return text_.size(); }
    void read(TextSink& pieces) const override {
        if (!text_.isEmpty()) pieces.put(QStringView(text_));
    }

  private:
    QString text_;
};

// The bytes of an open file, read where they are asked for.
StoreFileBytes bytesOf(int fd) {
    return [fd](qint64 offset, char* to, qsizetype size) -> qsizetype {
        qsizetype got = 0;
        while (got < size) {
            const ssize_t n = ::pread(fd, to + got, size_t(size - got), off_t(offset + got));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return -1;
            if (n == 0) break;
            got += qsizetype(n);
        }
        return got;
    };
}
StoreFileBytes bytesOf(const QFile& file) { return bytesOf(file.handle()); }

// The store's file, kept open from the look at its shape to the reading of its value; absent
// when there is no file.
class OwnShapeText : public StoredText {
  public:
    OwnShapeText() = default;
    OwnShapeText(QString path, std::unique_ptr<QFile> file, const StoredValue& value)
        : path_(std::move(path)), file_(std::move(file)), value_(value) {}
    bool present() const { return value_.has_value(); }
    bool isEmpty() const override { return !value_ || value_->isEmpty(); }
    qsizetype sizeHint() const override { return file_ ? qsizetype(file_->size()) : 0; }
    void read(TextSink& pieces) const override {
        // The open file is read again; only a write in place since (another program's) or a
        // failing disk gives other bytes than the look saw.
        if (value_ && !value_->decode(pieces))
            throw Failure(QStringLiteral("The settings file %1 could not be read whole; it "
                                         "changed or the disk failed while it was read.")
                              .arg(path_));
    }

  private:
    QString path_;
    std::unique_ptr<QFile> file_;  // the value reads from it
    std::optional<StoredValue> value_;
};

// Collects the pieces into one text, for stores that take nothing else.
class JoinedText : public TextSink {
  public:
    explicit JoinedText(qsizetype sizeHint) { text.reserve(sizeHint); }
    void put(QLatin1StringView piece) override { text.append(piece); }
    void put(QStringView piece) override { text.append(piece); }
    QString text;
};

QString joined(const TextPieces& value, qsizetype sizeHint) {
    JoinedText text(sizeHint);
    value(text);
    return std::move(text.text);
}

// The file's identity from its status, when that could be had.
QtSettingsStore::Seen seenAs(bool found, const struct stat& st, const QString& section,
                             const QString& key) {
    QtSettingsStore::Seen seen{section, key};
    if (found) {
        seen.size = st.st_size;
        seen.modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        seen.inode = st.st_ino;
    }
    return seen;
}

QtSettingsStore::Seen seenNow(const QString& path, const QString& section, const QString& key) {
    struct stat st = {};
    return seenAs(::stat(QFile::encodeName(path).constData(), &st) == 0, st, section, key);
}

bool sameFile(const QtSettingsStore::Seen& a, const QtSettingsStore::Seen& b) {
    return a.section == b.section && a.key == b.key && a.size == b.size &&
           a.modified == b.modified && a.inode == b.inode;
}

// The regular file at path, open, or nothing when it is not one or cannot be opened.
std::unique_ptr<QFile> openRegular(const QString& path) {
    auto file = std::make_unique<QFile>();
    try {
        openRegularFile(*file, path);
    } catch (const Failure&) {
        return nullptr;
    }
    return file;
}

QString storeFileName(const QString& configFolder, const QString& appName) {
    // Where QSettings' native format keeps a user's settings of that organization on Linux; the
    // name is needed before the file is opened.
    QString folder = configFolder.isEmpty()
                         ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                         : configFolder;
    // The XDG base directory rules make a relative $XDG_CONFIG_HOME invalid, to be ignored; Qt
    // 6.4 takes it relative to the working folder, where a start from elsewhere would not look.
    if (configFolder.isEmpty() && QDir::isRelativePath(folder))
        folder = QDir::homePath() + QStringLiteral("/.config");
    return folder + u'/' + appName + QStringLiteral(".conf");
}

// The file's identity as an open handle on it sees it.
QtSettingsStore::Seen seenOf(int fd, const QString& section, const QString& key) {
    struct stat st = {};
    return seenAs(::fstat(fd, &st) == 0, st, section, key);
}

// What the look ahead found: the file it looked at, unchanged all the while, and its value
// when it has the writer's shape.
struct Look {
    QtSettingsStore::Seen seen;
    std::optional<StoredValue> value;
};

Look lookAt(const QString& path, const QString& section, const QString& key) {
    // A plain descriptor, opened as openRegularFile opens: no QObject such as a QFile may be
    // made here, as the first thread to make one before the application object becomes Qt's
    // main thread.
    const QByteArray native = QFile::encodeName(path);
    struct stat named = {};
    if (::stat(native.constData(), &named) != 0 || !S_ISREG(named.st_mode)) return {};
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return {};
    Look look{seenOf(fd, section, key), std::nullopt};
    struct stat st = {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        look.value = StoredValue::find(bytesOf(fd), section, key);
        if (!sameFile(look.seen, seenOf(fd, section, key))) look = {};
    } else {
        look = {};
    }
    ::close(fd);
    return look;
}

struct PendingLook {
    QString path;
    QString section;
    QString key;
    std::future<Look> look;
};
// Begun and taken on the main thread; only the look itself runs on another.
std::optional<PendingLook> pending;

// The look ahead at that file and value, once done, when one was begun; taken once.
std::optional<Look> takeLook(const QString& path, const QString& section, const QString& key) {
    if (!pending || pending->path != path || pending->section != section || pending->key != key)
        return std::nullopt;
    std::optional<PendingLook> taken = std::move(pending);
    pending.reset();
    try {
        return taken->look.get();
    } catch (...) {
        return std::nullopt;  // the read looks for itself
    }
}

}  // namespace

QtSettingsStore::QtSettingsStore() = default;
QtSettingsStore::QtSettingsStore(QString configFolder) : configFolder_(std::move(configFolder)) {}
QtSettingsStore::~QtSettingsStore() = default;

void lookAheadAtStore(const QString& appName, const QString& section, const QString& key) {
    PendingLook look{storeFileName(QString(), appName), section, key, {}};
    try {
        look.look = std::async(std::launch::async, lookAt, look.path, section, key);
    } catch (const std::system_error&) {
        return;  // no thread to be had: the first read looks for itself
    }
    pending = std::move(look);
}

QString QtSettingsStore::fileName(const QString& appName) const {
    return storeFileName(configFolder_, appName);
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

std::unique_ptr<StoredText> SettingsStore::readSetting(const QString& appName,
                                                       const QString& section, const QString& key) {
    return std::make_unique<WholeText>(GetSetting(appName, section, key));
}

void SettingsStore::saveSetting(const QString& appName, const QString& section, const QString& key,
                                const TextPieces& value, qsizetype sizeHint) {
    SaveSetting(appName, section, key, joined(value, sizeHint));
}

std::unique_ptr<StoredText> QtSettingsStore::readOwnShape(const QString& appName,
                                                          const QString& section,
                                                          const QString& key) {
    if (open_.count(appName) || notReplaceable_.count(fileName(appName))) return nullptr;
    const QString path = fileName(appName);
    const FileKind kind = fileKind(path);
    if (kind == FileKind::Missing) {
        seen_[appName] = Seen{section, key};
        return std::make_unique<OwnShapeText>();
    }
    if (kind != FileKind::Regular) return nullptr;
    // No lock: a write replaces the file by a rename, so a read sees the old or the new; only a
    // file that a rename would strip of its owner or links is written in place, all at once.
    const Seen before = seenNow(path, section, key);
    std::unique_ptr<QFile> file = openRegular(path);
    if (!file) return nullptr;
    std::optional<StoredValue> value;
    const std::optional<Look> look = takeLook(path, section, key);
    // A look that failed holds no size (-1), so it is never the same file as one opened.
    if (look && sameFile(look->seen, seenOf(file->handle(), section, key))) {
        value = look->value;
        if (value) value->readFrom(bytesOf(*file));
    } else {
        value = StoredValue::find(bytesOf(*file), section, key);
    }
    if (!value) return nullptr;
    const Seen after = seenNow(path, section, key);
    if (sameFile(before, after)) seen_[appName] = after;
    return std::make_unique<OwnShapeText>(path, std::move(file), *value);
}

bool QtSettingsStore::stillOwnShape(const QString& appName, const QString& section,
                                    const QString& key) const {
    const QString path = fileName(appName);
    const Seen now = seenNow(path, section, key);
    if (now.size <= 0) return true;  // nothing to keep
    const auto seen = seen_.find(appName);
    if (seen != seen_.end() && sameFile(seen->second, now)) return true;
    // Another program wrote it since: what it holds now decides.
    const std::unique_ptr<QFile> file = openRegular(path);
    return file && StoredValue::find(bytesOf(*file), section, key).has_value();
}

QString QtSettingsStore::GetSetting(const QString& appName, const QString& section,
                                    const QString& key, const QString& defaultValue) {
    if (const std::unique_ptr<StoredText> own = readOwnShape(appName, section, key)) {
        if (!static_cast<const OwnShapeText&>(*own).present()) return defaultValue;
        JoinedText text(0);
        own->read(text);
        return std::move(text.text);
    }
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

std::unique_ptr<StoredText> QtSettingsStore::readSetting(const QString& appName,
                                                         const QString& section,
                                                         const QString& key) {
    if (std::unique_ptr<StoredText> own = readOwnShape(appName, section, key)) return own;
    return SettingsStore::readSetting(appName, section, key);
}

void QtSettingsStore::SaveSetting(const QString& appName, const QString& section,
                                  const QString& key, const QString& value) {
    saveSetting(
        appName, section, key, [&](TextSink& text) { text.put(QStringView(value)); }, value.size());
}

void QtSettingsStore::saveSetting(const QString& appName, const QString& section,
                                  const QString& key, const TextPieces& value, qsizetype sizeHint) {
    const QString path = fileName(appName);
    if (notReplaceable_.count(path))
        throw Failure(
            QStringLiteral("The settings file %1 could not be read, so it was kept as it is.")
                .arg(path));
    // Qt's save file would replace a device node that the name links to, and reading a pipe
    // blocks; only a regular file is written over.
    if (fileKind(path) == FileKind::Other)
        throw cannotWrite(path, sizeHint, QStringLiteral("it is not a regular file"));
    if (open_.count(appName))
        return saveThroughQSettings(appName, section, key, joined(value, sizeHint));
    writeOwnShape(appName, section, key, value, sizeHint);
}

void QtSettingsStore::writeOwnShape(const QString& appName, const QString& section,
                                    const QString& key, const TextPieces& value,
                                    qsizetype sizeHint) {
    const QString path = fileName(appName);
    // What QSettings asks before it writes: the file may be written, or its folder (made when
    // missing) may take a new one.
    const QFileInfo file(path);
    const bool writable = file.exists() ? ::access(QFile::encodeName(path).constData(), W_OK) == 0
                                        : QDir().mkpath(file.absolutePath()) &&
                                              QFileInfo(file.absolutePath()).isWritable();
    if (!writable) throw cannotWrite(path, sizeHint);
    // QSettings' own lock, so that other instances writing through QSettings wait for us and we
    // for them.
    const QString lockPath = path + QStringLiteral(".lock");
    if (!lockFilesCanBeCleared(lockPath)) throw lockHeld(path, sizeHint);
    QLockFile lock(lockPath);
    lock.setStaleLockTime(kLockStaleMs);
    if (!lock.tryLock(kLockWaitMs)) {
        if (lock.error() == QLockFile::LockFailedError) throw lockHeld(path, sizeHint);
        throw cannotWrite(path, sizeHint);
    }
    if (!stillOwnShape(appName, section, key)) {
        // Another program put more in the file: QSettings keeps all of it.
        lock.unlock();
        return saveThroughQSettings(appName, section, key, joined(value, sizeHint));
    }
    // The file is made and written half a megabyte at a time. A value with ';', ',' or '=' is
    // quoted, and the quote comes first: such a value is made again from the start with it.
    bool quoted = false;
    qint64 written = 0;
    const ReplaceResult replaced = replaceFileContent(path, [&](const ContentWrite& write) {
        written = 0;
        StoreFileWriter writer(section, key, quoted, [&](QByteArrayView part) {
            written += part.size();
            return write(part);
        });
        value(writer);
        writer.finish();
        quoted = quoted || writer.quotesMissing();
        return !writer.quotesMissing();
    });
    if (!replaced.ok())
        throw cannotWrite(path, std::max<qint64>(written, sizeHint), replaced.reason);
    seen_[appName] = seenNow(path, section, key);
}

void QtSettingsStore::saveThroughQSettings(const QString& appName, const QString& section,
                                           const QString& key, const QString& value) {
    const QString path = fileName(appName);
    // The whole file is written again, and the value is most of it.
    const qint64 bytesNeeded = value.size() + key.size() + section.size();
    QSettings* settings = &open(appName);
    if (settings->status() == QSettings::FormatError) throw damaged(path);
    if (!settings->isWritable()) throw cannotWrite(path, bytesNeeded);
    if (!lockCanBeTaken(path)) throw lockHeld(path, bytesNeeded);
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
