#include "platform/files/file_replace.h"

#include "platform/files/file_kind.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// ".qws-save-<pid, 10 digits>-<4 hex digits>": the same length beside a name of any length,
// and the process id tells the next save whether the file is a leftover.
constexpr char kPartPrefix[] = ".qws-save-";
constexpr size_t kPartPrefixLength = sizeof kPartPrefix - 1;
constexpr size_t kPartNameLength = kPartPrefixLength + 10 + 1 + 4;

ReplaceResult failed(ReplaceFailure failure, const QString& reason) { return {failure, reason}; }

QString errorText(int error) {
    switch (error) {
        case ENOSPC:
            return QStringLiteral("the disk is full");
        case EDQUOT:
            return QStringLiteral("the disk quota is used up");
        case EFBIG:
            return QStringLiteral("the file would pass the file size limit");
        case EROFS:
            return QStringLiteral("its file system is read-only");
        case ENOENT:
        case ENOTDIR:
            return QStringLiteral("its folder does not exist");
        case EISDIR:
            return QStringLiteral("a folder of that name is in its place");
        default:
            return QString::fromLocal8Bit(std::strerror(error)).toLower();
    }
}

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Closes it, and says whether the close reported an error (NFS reports late writes here).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool writeAt(int fd, const char* at, qint64 size, qint64 offset) {
    for (qint64 left = size; left > 0;) {
        const ssize_t written = ::pwrite(fd, at, size_t(left), offset);
        if (written < 0 && errno == EINTR) continue;
        // A short write is the disk or the size limit running out; the next call says which.
        if (written <= 0) {
            if (written == 0) errno = ENOSPC;
            return false;
        }
        at += written;
        offset += written;
        left -= written;
    }
    return true;
}

// The content to write: one array, or parts made as they are written.
struct Content {
    const QByteArray* whole = nullptr;
    const ContentParts* parts = nullptr;
};

// Writes parts one after the other on a second thread while the caller makes the next: on a
// long content the copying into the file takes about half as long as making it. A few parts at
// most wait, copied, so the content is still never held whole. Without a thread to be had, each
// part is written as it comes.
class WritesAhead {
  public:
    explicit WritesAhead(int fd) : fd_(fd) {
        try {
            worker_ = std::thread([this] { writeAll(); });
        } catch (const std::system_error&) {
        }
    }
    // Parts still waiting when the content gave up are not written.
    ~WritesAhead() { stop(true); }

    // False once a write has failed; the rest is not wanted.
    bool add(QByteArrayView part) {
        if (!worker_.joinable()) return error_ == 0 && (error_ = write(part)) == 0;
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return waiting_.size() < kPartsAhead || error_; });
        if (error_) return false;
        QByteArray copy;
        if (!spare_.empty()) {
            copy = std::move(spare_.back());
            spare_.pop_back();
        }
        lock.unlock();
        copy.resize(part.size());
        std::memcpy(copy.data(), part.data(), size_t(part.size()));
        lock.lock();
        waiting_.push_back(std::move(copy));
        changed_.notify_all();
        return true;
    }
    // Once every part is written: 0, or the errno of the write that failed.
    int finish() {
        stop(false);
        return error_;
    }

  private:
    static constexpr size_t kPartsAhead = 4;

    // 0, or why the write failed.
    int write(QByteArrayView part) {
        if (!writeAt(fd_, part.data(), part.size(), offset_)) return errno;
        offset_ += part.size();
        return 0;
    }
    void writeAll() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return !waiting_.empty() || done_; });
            if (waiting_.empty()) return;
            QByteArray part = std::move(waiting_.front());
            waiting_.pop_front();
            lock.unlock();
            const int error = write(part);
            lock.lock();
            spare_.push_back(std::move(part));
            if (error) {
                error_ = error;
                waiting_.clear();
            }
            changed_.notify_all();
        }
    }
    void stop(bool dropWaiting) {
        if (!worker_.joinable()) return;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (dropWaiting) waiting_.clear();
            done_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }

    const int fd_;
    qint64 offset_ = 0;  // the worker's alone while it runs
    int error_ = 0;      // under the lock while the worker runs
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<QByteArray> waiting_;
    std::vector<QByteArray> spare_;
    bool done_ = false;
    std::thread worker_;
};

// Writes the parts one after the other, from the start again when content asks to.
bool writeParts(int fd, const ContentParts& parts) {
    for (;;) {
        WritesAhead writes(fd);
        const bool whole = parts([&](QByteArrayView part) { return writes.add(part); });
        const int error = writes.finish();
        errno = error;
        if (error) return false;
        if (whole) return true;
        if (::ftruncate(fd, 0) != 0) return false;
    }
}

// Takes the room for size bytes now, so a full disk or a size limit shows before anything is
// written. A file system that cannot reserve room is checked by the writes alone.
bool reserveRoom(int fd, qint64 size) {
    if (size == 0) return true;
    int result;
    do result = ::posix_fallocate(fd, 0, off_t(size));
    while (result == EINTR);
    if (result == 0 || result == EOPNOTSUPP || result == ENOSYS) return true;
    errno = result;
    return false;
}

// Past the largest process id there is no process.
bool processGone(long pid) {
    return pid > 0 && (pid > INT_MAX || (::kill(pid_t(pid), 0) != 0 && errno == ESRCH));
}

bool allDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The process id in the name of one of our temporary files, or -1 when the name is none. Older
// saves wrote "<name>.<pid>-<n>.part"; their leftovers go too.
long leftoverPid(const std::string& entry, const std::string& targetName) {
    if (entry.size() == kPartNameLength && entry.compare(0, kPartPrefixLength, kPartPrefix) == 0 &&
        entry[kPartPrefixLength + 10] == '-') {
        const std::string pid = entry.substr(kPartPrefixLength, 10);
        return allDigits(pid) ? std::stol(pid) : -1;
    }
    const std::string oldPrefix = targetName + '.';
    const std::string oldSuffix = ".part";
    if (entry.size() <= oldPrefix.size() + oldSuffix.size() ||
        entry.compare(0, oldPrefix.size(), oldPrefix) != 0 ||
        entry.compare(entry.size() - oldSuffix.size(), oldSuffix.size(), oldSuffix) != 0)
        return -1;
    const std::string middle =
        entry.substr(oldPrefix.size(), entry.size() - oldPrefix.size() - oldSuffix.size());
    const size_t dash = middle.find('-');
    if (dash == std::string::npos || !allDigits(middle.substr(0, dash)) ||
        !allDigits(middle.substr(dash + 1)) || dash > 10)
        return -1;
    return std::stol(middle.substr(0, dash));
}

// Removes what killed saves of ours left in the folder: our own regular files under our
// temporary names whose process has gone. This process makes one at a time, so one bearing its
// own id now is a leftover of an earlier process with the same id.
void removeLeftovers(int folder, const std::string& targetName) {
    const int listFd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return;
    }
    std::vector<std::string> gone;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const long pid = leftoverPid(name, targetName);
        if (pid <= 0 || !(pid == long(::getpid()) || processGone(pid))) continue;
        struct stat status;
        if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode) && status.st_uid == ::geteuid())
            gone.push_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : gone) ::unlinkat(folder, name.c_str(), 0);
}

std::vector<std::string> attributeNames(int fd) {
    std::vector<char> names;
    for (;;) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size <= 0) return {};
        names.resize(size_t(size));
        const ssize_t got = ::flistxattr(fd, names.data(), names.size());
        if (got >= 0) {
            names.resize(size_t(got));
            break;
        }
        if (errno != ERANGE) return {};
    }
    std::vector<std::string> result;
    for (size_t at = 0; at < names.size();) {
        const std::string name(names.data() + at);
        at += name.size() + 1;
        if (!name.empty()) result.push_back(name);
    }
    return result;
}

bool attributeValue(int fd, const std::string& name, std::vector<char>& value) {
    for (;;) {
        const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
        if (size < 0) return false;
        value.resize(size_t(size));
        const ssize_t got = ::fgetxattr(fd, name.c_str(), value.data(), value.size());
        if (got >= 0) {
            value.resize(size_t(got));
            return true;
        }
        if (errno != ERANGE) return false;
    }
}

// Gives the new file the old one's owner, extended attributes (ACLs among them) and mode, in an
// order where none undoes another: a change of owner clears set-id bits, and the mode sets the
// ACL mask. False when any of it cannot be done; the new file must not take the name then.
bool carryOver(int from, const struct stat& old, int to) {
    struct stat made;
    if (::fstat(to, &made) != 0) return false;
    if ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) &&
        ::fchown(to, old.st_uid, old.st_gid) != 0)
        return false;
    const std::vector<std::string> kept = attributeNames(from);
    // What the folder's default ACL gave the new file, the old one may not have had.
    for (const std::string& name : attributeNames(to)) {
        bool onOld = false;
        for (const std::string& k : kept) onOld = onOld || k == name;
        if (!onOld && ::fremovexattr(to, name.c_str()) != 0) return false;
    }
    std::vector<char> value;
    for (const std::string& name : kept) {
        if (!attributeValue(from, name, value) ||
            ::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0)
            return false;
    }
    return ::fchmod(to, old.st_mode & 07777) == 0;
}

void syncFolder(int folder) {
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

enum class Outcome { Done, Failed, WriteInPlace };

// The new content under a temporary name beside the file, then renamed over it.
Outcome replaceByRename(int folder, const std::string& name, const struct stat* old,
                        const Content& content, mode_t newFileMode, ReplaceResult& result) {
    Fd oldFile(old ? ::openat(folder, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1);
    if (old && oldFile.get() < 0) return Outcome::WriteInPlace;
    std::string part;
    Fd fd;
    for (int attempt = 0; fd.get() < 0 && attempt < 100; ++attempt) {
        // Both numbers fit their widths, so the name is always kPartNameLength long.
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%s%010u-%04x", kPartPrefix, unsigned(::getpid()),
                      unsigned(QRandomGenerator::global()->bounded(0x10000)));
        part = buffer;
        // Private until it is whole: the old file's mode comes last.
        fd.reset(::openat(folder, part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          old ? 0600 : newFileMode));
        if (fd.get() < 0 && errno != EEXIST) break;
    }
    if (fd.get() < 0) {
        // A folder we may not write may still hold a file we may.
        if (old && (errno == EACCES || errno == EPERM)) return Outcome::WriteInPlace;
        result =
            failed(ReplaceFailure::CannotCreate, errno == EACCES || errno == EPERM
                                                     ? QStringLiteral("its folder is read-only")
                                                     : errorText(errno));
        return Outcome::Failed;
    }
    const auto discard = [&](ReplaceFailure failure, int error) {
        ::unlinkat(folder, part.c_str(), 0);
        result = failed(failure, errorText(error));
        return Outcome::Failed;
    };
    if (old && !carryOver(oldFile.get(), *old, fd.get())) {
        ::unlinkat(folder, part.c_str(), 0);
        return Outcome::WriteInPlace;
    }
    {
        const FileSizeSignalIgnored sizeLimitFails;
        bool written = false;
        try {
            // Parts are not reserved for: their size is not known before they are made, and a
            // full disk fails their writes as well.
            written = content.whole ? reserveRoom(fd.get(), content.whole->size()) &&
                                          writeAt(fd.get(), content.whole->constData(),
                                                  content.whole->size(), 0)
                                    : writeParts(fd.get(), *content.parts);
        } catch (...) {
            ::unlinkat(folder, part.c_str(), 0);
            throw;
        }
        if (!written || ::fsync(fd.get()) != 0) return discard(ReplaceFailure::CannotWrite, errno);
    }
    if (!fd.close()) return discard(ReplaceFailure::CannotWrite, errno);
    if (::renameat(folder, part.c_str(), folder, name.c_str()) != 0) {
        const int error = errno;
        ::unlinkat(folder, part.c_str(), 0);
        // A sticky folder keeps others' files from being renamed over, not from being written.
        if (old && (error == EPERM || error == EACCES)) return Outcome::WriteInPlace;
        result = failed(ReplaceFailure::CannotReplace, errorText(error));
        return Outcome::Failed;
    }
    syncFolder(folder);
    return Outcome::Done;
}

// The new content written over the old in the same file, which so keeps its inode and all that
// hangs on it. The room is taken first: after that only a failing disk or a kill can stop the
// write half-way.
ReplaceResult replaceInPlace(int folder, const std::string& name, const Content& given) {
    QByteArray gathered;
    const auto gather = [&](QByteArrayView part) {
        gathered.append(part);
        return true;
    };
    while (given.parts && !(*given.parts)(gather)) gathered.clear();
    const QByteArray& content = given.whole ? *given.whole : gathered;
    Fd fd(::openat(folder, name.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return failed(ReplaceFailure::CannotCreate, errno == EACCES || errno == EPERM
                                                        ? QStringLiteral("the file is read-only")
                                                        : errorText(errno));
    struct stat opened;
    if (::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode))
        return failed(ReplaceFailure::NotARegularFile, QStringLiteral("it is not a regular file"));
    const FileSizeSignalIgnored sizeLimitFails;
    if (!reserveRoom(fd.get(), content.size()))
        return failed(ReplaceFailure::CannotWrite, errorText(errno));
    if (!writeAt(fd.get(), content.constData(), content.size(), 0) ||
        ::ftruncate(fd.get(), off_t(content.size())) != 0 || ::fsync(fd.get()) != 0 || !fd.close())
        return failed(ReplaceFailure::CannotWrite, errorText(errno));
    return {};
}

ReplaceResult replace(const QString& path, const Content& content, mode_t newFileMode) {
    if (path.isEmpty()) return failed(ReplaceFailure::CannotCreate, QStringLiteral("no name"));
    const QByteArray given = QFile::encodeName(path);
    // Through a link, the file it names is replaced and the link stays.
    std::string target = given.toStdString();
    struct stat status;
    if (::lstat(given.constData(), &status) == 0 && S_ISLNK(status.st_mode)) {
        char* resolved = ::realpath(given.constData(), nullptr);
        if (!resolved)
            return failed(ReplaceFailure::NotARegularFile,
                          QStringLiteral("it is not a regular file"));
        target = resolved;
        ::free(resolved);
    }
    const struct stat* old = nullptr;
    if (::stat(target.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            return failed(ReplaceFailure::CannotCreate,
                          QStringLiteral("a folder of that name is in its place"));
        if (!S_ISREG(status.st_mode))
            return failed(ReplaceFailure::NotARegularFile,
                          QStringLiteral("it is not a regular file"));
        if (::access(target.c_str(), W_OK) != 0)
            return failed(ReplaceFailure::CannotCreate, QStringLiteral("the file is read-only"));
        old = &status;
    } else if (errno != ENOENT) {
        return failed(ReplaceFailure::CannotCreate, errorText(errno));
    }

    const size_t slash = target.rfind('/');
    const std::string folderPath = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : target.substr(0, slash);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty())
        return failed(ReplaceFailure::CannotCreate,
                      QStringLiteral("a folder of that name is in its place"));
    Fd folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        folder.reset(::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) return failed(ReplaceFailure::CannotCreate, errorText(errno));
    removeLeftovers(folder.get(), name);

    // Renaming keeps nothing of the old inode but what carryOver copies, and nothing of a
    // second name that links to it.
    if (old && (old->st_nlink > 1 || (old->st_uid != ::geteuid() && ::geteuid() != 0)))
        return replaceInPlace(folder.get(), name, content);
    ReplaceResult result;
    switch (replaceByRename(folder.get(), name, old, content, newFileMode, result)) {
        case Outcome::Done:
            return {};
        case Outcome::Failed:
            return result;
        case Outcome::WriteInPlace:
            return replaceInPlace(folder.get(), name, content);
    }
    return result;
}

}  // namespace

ReplaceResult replaceFileContent(const QString& path, const QByteArray& content,
                                 mode_t newFileMode) {
    return replace(path, Content{&content, nullptr}, newFileMode);
}

ReplaceResult replaceFileContent(const QString& path, const ContentParts& content,
                                 mode_t newFileMode) {
    return replace(path, Content{nullptr, &content}, newFileMode);
}
