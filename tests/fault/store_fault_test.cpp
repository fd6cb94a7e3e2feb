// The settings store when the world works against it: a read-only file, a read-only folder, an
// immutable file, a full file system, a file size limit, a lock, a store that is no file or
// cannot be read, and the process killed in the middle of a write; the JPEG save likewise. Each
// write is the real close sequence (or save) in a helper process (store_writer), so a fault can
// be set up for that process alone: another user, a resource limit, a signal.
#include "store_lists.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <poll.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;

const QString kSection = QStringLiteral("Quorvel Wedge Studio Deluxe");

struct User {
    uid_t uid;
    gid_t gid;
};

// Root writes through file modes, so the writer of the read-only cases drops to "nobody" then.
std::optional<User> unprivilegedUser() {
    if (::geteuid() != 0) return User{::geteuid(), ::getegid()};
    if (const passwd* nobody = ::getpwnam("nobody")) return User{nobody->pw_uid, nobody->pw_gid};
    return std::nullopt;
}

// A home of the writer's own: HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR under one folder.
class StoreHome {
  public:
    StoreHome() {
        ::chmod(dir_.path().toLocal8Bit().constData(), 0755);
        QDir().mkpath(config());
        QDir().mkpath(run());
        ::chmod(run().toLocal8Bit().constData(), 0700);
    }
    QString path() const { return dir_.path(); }
    QString config() const { return dir_.path() + QStringLiteral("/config"); }
    QString run() const { return dir_.path() + QStringLiteral("/run"); }
    QString storeFile() const { return config() + QStringLiteral("/Brakenwel.conf"); }

    void giveTo(const User& user) {
        for (const QString& p : {path(), config(), run(), storeFile()})
            [[maybe_unused]] const int r = ::chown(p.toLocal8Bit().constData(), user.uid, user.gid);
    }
    void store(const QString& data) {
        QSettings settings(storeFile(), QSettings::IniFormat);
        settings.setValue(kSection + QStringLiteral("/Data"), data);
        settings.sync();
        ASSERT_EQ(settings.status(), QSettings::NoError);
    }
    std::optional<QString> stored() const {
        QSettings settings(storeFile(), QSettings::IniFormat);
        const QVariant value = settings.value(kSection + QStringLiteral("/Data"));
        if (settings.status() != QSettings::NoError || !value.isValid()) return std::nullopt;
        return value.toString();
    }
    // Everything in the config folder besides the store and its lock: leftovers of a write.
    QStringList strayFiles() const {
        QStringList stray = QDir(config()).entryList(QDir::Files | QDir::Hidden | QDir::Dirs |
                                                     QDir::System | QDir::NoDotAndDotDot);
        stray.removeAll(QStringLiteral("Brakenwel.conf"));
        stray.removeAll(QStringLiteral("Brakenwel.conf.lock"));
        return stray;
    }

  private:
    QTemporaryDir dir_;
};

struct WriterLimits {
    std::optional<User> user;
    std::optional<rlim_t> fileSizeLimit;
};

// One run of store_writer, its standard output read through a pipe.
class Writer {
  public:
    Writer(const StoreHome& home, const QStringList& args, const WriterLimits& limits = {}) {
        std::vector<std::string> argv = {QWS_STORE_WRITER};
        for (const QString& a : args) argv.push_back(a.toStdString());
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry(*e);
            if (entry.rfind("HOME=", 0) && entry.rfind("XDG_CONFIG_HOME=", 0) &&
                entry.rfind("XDG_RUNTIME_DIR=", 0))
                env.push_back(entry);
        }
        env.push_back("HOME=" + home.path().toStdString());
        env.push_back("XDG_CONFIG_HOME=" + home.config().toStdString());
        env.push_back("XDG_RUNTIME_DIR=" + home.run().toStdString());
        std::vector<char*> args_;
        for (std::string& a : argv) args_.push_back(a.data());
        args_.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);

        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            ::close(fds[1]);
            if (limits.fileSizeLimit) {
                // Past the limit a write fails with EFBIG instead of ending the process.
                ::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{*limits.fileSizeLimit, *limits.fileSizeLimit};
                if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(125);
            }
            if (limits.user && limits.user->uid != ::geteuid()) {
                if (::setgroups(0, nullptr) != 0 || ::setgid(limits.user->gid) != 0 ||
                    ::setuid(limits.user->uid) != 0)
                    ::_exit(126);
            }
            ::execve(args_[0], args_.data(), envp.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~Writer() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }

    // The next line of output, or nothing at its end or after the timeout.
    std::optional<QString> readLine(std::chrono::milliseconds timeout = 60s) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const qsizetype at = buffer_.indexOf('\n');
            if (at >= 0) {
                const QString line = QString::fromUtf8(buffer_.left(at));
                buffer_.remove(0, at + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !readMore(left)) return std::nullopt;
        }
    }
    QString readAll(std::chrono::milliseconds timeout = 60s) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end &&
               readMore(std::chrono::duration_cast<std::chrono::milliseconds>(
                   end - std::chrono::steady_clock::now()))) {
        }
        return QString::fromUtf8(buffer_);
    }
    // The exit code, or -1 when it ended by a signal or not in time.
    int wait(std::chrono::milliseconds timeout = 60s) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!exited_ && std::chrono::steady_clock::now() < end) {
            if (::waitpid(pid_, &status_, WNOHANG) == pid_)
                exited_ = true;
            else
                std::this_thread::sleep_for(5ms);
        }
        return exited_ && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }
    void kill() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status_, 0);
        exited_ = true;
    }

  private:
    bool readMore(std::chrono::milliseconds timeout) {
        pollfd pfd{out_, POLLIN, 0};
        if (::poll(&pfd, 1, int(timeout.count())) <= 0) return false;
        char chunk[4096];
        const ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n <= 0) return false;
        buffer_.append(chunk, n);
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int status_ = 0;
    bool exited_ = false;
    QByteArray buffer_;
};

bool setImmutable(const QString& path, bool on) {
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

// A fault set up around one close: how to make the write fail, what the report must say, and
// how to take the fault away again. A text from prepare or arrange says why the fault cannot be
// set up on this machine.
using SetUp = std::function<std::optional<std::string>(StoreHome&, WriterLimits&)>;
struct Fault {
    const char* name;
    SetUp prepare;  // before the old list is stored: the writer, the file system
    SetUp arrange;  // after: what breaks the store
    std::function<void(StoreHome&)> repair;
    const char* reason;  // in the report
};

void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

// Set-up steps as one would type them, run in the home folder. A device is always one of our
// own (never a link to the system's), so a save that replaced it would do no harm.
std::optional<std::string> sh(const StoreHome& home, const std::string& command) {
    const std::string line = "cd '" + home.path().toStdString() + "' && " + command;
    if (std::system(line.c_str()) == 0) return std::nullopt;
    return "cannot set up: " + command;
}
SetUp shell(const std::string& command) {
    return [command](StoreHome& home, WriterLimits&) { return sh(home, command); };
}
std::function<void(StoreHome&)> shellRepair(const std::string& command) {
    return [command](StoreHome& home) { EXPECT_EQ(sh(home, command), std::nullopt); };
}
const std::string kStaleLock = "printf '999999999\\nx\\nlocalhost\\n' > config/Brakenwel.conf.lock";

const std::string kLinkStore =
    "mv config/Brakenwel.conf dot/ && ln -s \"$PWD/dot/Brakenwel.conf\" config/Brakenwel.conf";
const std::string kLinkKept =
    "test -L config/Brakenwel.conf && test \"$(ls -A dot)\" = Brakenwel.conf";

constexpr int kOldRows = 10;
constexpr int kNewRows = 20000;  // about 400 KB stored

std::optional<std::string> asUnprivilegedUser(StoreHome&, WriterLimits& limits) {
    limits.user = unprivilegedUser();
    if (!limits.user) return "no unprivileged user to write as";
    return std::nullopt;
}

std::optional<std::string> nothing(StoreHome&, WriterLimits&) { return std::nullopt; }

const Fault kFaults[] = {
    {"ReadOnlyFile", asUnprivilegedUser,
     [](StoreHome& home, WriterLimits&) -> std::optional<std::string> {
         ::chmod(home.storeFile().toLocal8Bit().constData(), 0444);
         return std::nullopt;
     },
     [](StoreHome& home) { ::chmod(home.storeFile().toLocal8Bit().constData(), 0644); },
     "cannot be written: the file is read-only."},
    {"ReadOnlyFolder", asUnprivilegedUser,
     [](StoreHome& home, WriterLimits&) -> std::optional<std::string> {
         ::chmod(home.config().toLocal8Bit().constData(), 0555);
         return std::nullopt;
     },
     [](StoreHome& home) { ::chmod(home.config().toLocal8Bit().constData(), 0755); },
     "cannot be written: its folder is read-only."},
    {"ImmutableFile",
     [](StoreHome&, WriterLimits&) -> std::optional<std::string> {
         if (::geteuid() != 0) return "only root can make a file immutable";
         return std::nullopt;
     },
     [](StoreHome& home, WriterLimits&) -> std::optional<std::string> {
         if (!setImmutable(home.storeFile(), true))
             return std::string("this file system cannot make a file immutable: ") +
                    std::strerror(errno);
         return std::nullopt;
     },
     [](StoreHome& home) { setImmutable(home.storeFile(), false); },
     "cannot be written: the file is read-only."},
    {"FullFileSystem",
     [](StoreHome& home, WriterLimits&) -> std::optional<std::string> {
         // 128 KiB: room for the old list, not for the new one.
         if (::mount("tmpfs", home.config().toLocal8Bit().constData(), "tmpfs",
                     MS_NOSUID | MS_NODEV, "size=128k,mode=0755") != 0)
             return std::string("cannot mount a small tmpfs here (it needs CAP_SYS_ADMIN): ") +
                    std::strerror(errno);
         return std::nullopt;
     },
     nothing, [](StoreHome&) {}, "cannot be written: the disk is full."},
    {"FileSizeLimit", nothing,
     [](StoreHome&, WriterLimits& limits) -> std::optional<std::string> {
         // Files may not grow past 64 KiB: the write runs out of room as on a full disk.
         limits.fileSizeLimit = 64 * 1024;
         return std::nullopt;
     },
     [](StoreHome&) {}, "cannot be written"},
    {"StaleLockInAReadOnlyFolder", asUnprivilegedUser, shell(kStaleLock + " && chmod 555 config"),
     shellRepair("chmod 755 config && rm config/Brakenwel.conf.lock"),
     "cannot be written: its folder is read-only."},
    {"FolderForTheLock", nothing, shell("mkdir config/Brakenwel.conf.lock"),
     shellRepair("rmdir config/Brakenwel.conf.lock"), "lock is held or cannot be cleared."},
    // The folder is root's, so only the lock's owner, root, may remove the lock.
    {"LockOfAnotherUserInAStickyFolder", asUnprivilegedUser,
     shell("test $(id -u) = 0 && chown 0:0 config && chmod 1777 config && " + kStaleLock),
     shellRepair("rm config/Brakenwel.conf.lock"), "lock is held or cannot be cleared."},
    // A store kept in a folder of dotfiles and linked in: the file behind the link, on its own
    // disk, is what must stay whole, and the link stays a link.
    {"LinkedStoreOnAFullFileSystem", nothing,
     shell("mkdir dot && mount -t tmpfs -o size=128k tmpfs dot && " + kLinkStore),
     shellRepair(kLinkKept), "cannot be written: the disk is full."},
    {"LinkedStoreUnderAFileSizeLimit", nothing,
     [](StoreHome& home, WriterLimits& limits) {
         limits.fileSizeLimit = 64 * 1024;
         return sh(home, "mkdir dot && " + kLinkStore);
     },
     shellRepair(kLinkKept), "cannot be written"},
    {"LinkToADevice", nothing,
     shell("mv config/Brakenwel.conf kept.conf && mknod device c 1 3 && "
           "ln -s \"$PWD/device\" config/Brakenwel.conf"),
     shellRepair(
         "test -c device && rm config/Brakenwel.conf && mv kept.conf config/Brakenwel.conf"),
     "it is not a regular file."},
};

class StoreFaultTest : public ::testing::TestWithParam<Fault> {
  protected:
    void TearDown() override {
        if (repair_) repair_(home_);
        for (const QString& folder : {home_.config(), home_.path() + QStringLiteral("/dot")})
            ::umount2(folder.toLocal8Bit().constData(), MNT_DETACH);
    }

    StoreHome home_;
    std::function<void(StoreHome&)> repair_;
};

TEST_P(StoreFaultTest, AFailedWriteIsReportedAndTheStoredListStaysWhole) {
    const Fault& fault = GetParam();
    WriterLimits limits;
    if (std::optional<std::string> why = fault.prepare(home_, limits)) GTEST_SKIP() << *why;
    const QString old = encodedStoreList("old", kOldRows);
    home_.store(old);
    if (limits.user) home_.giveTo(*limits.user);
    if (std::optional<std::string> why = fault.arrange(home_, limits)) GTEST_SKIP() << *why;
    repair_ = fault.repair;

    Writer writer(home_, {"save", "new", QString::number(kNewRows)}, limits);
    const QString output = writer.readAll();
    const std::string shown = output.toStdString();
    EXPECT_EQ(writer.wait(), 1) << "a list not stored is no success: " << shown;
    EXPECT_TRUE(output.contains(u"message: Application Error")) << shown;
    EXPECT_TRUE(output.contains(u"Form_QueryUnload at line 108")) << shown;
    EXPECT_TRUE(output.contains(QLatin1String(fault.reason))) << shown;
    EXPECT_TRUE(output.endsWith(u"ended\n")) << "the program still ends: " << shown;
    EXPECT_EQ(home_.strayFiles(), QStringList()) << "a failed write leaves nothing behind";
    std::printf("%s", qPrintable(output));

    // Without the fault the old list is there, whole, and the next close stores its list.
    std::exchange(repair_, nullptr)(home_);
    EXPECT_EQ(home_.stored(), old) << "the old list stays, whole";
    WriterLimits after;
    after.user = limits.user;
    Writer next(home_, {"save", "after", "5"}, after);
    EXPECT_EQ(next.readAll(), u"ended\n");
    EXPECT_EQ(home_.stored(), encodedStoreList("after", 5));
}

INSTANTIATE_TEST_SUITE_P(Faults, StoreFaultTest, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// A store the start cannot read costs nothing: the very file is kept aside under a name that
// says so (a pipe unopened), the start names it once, and the close stores the list. A lock file
// of garbage is cleared, and nothing is said. The reason is the start's message here.
const char* const kKept =
    "The stored list could not be read, so the list starts empty. The file was kept as";
Fault setAside(const char* name, const std::string& command) {
    return {name, nothing, shell("mv config/Brakenwel.conf old.conf && " + command), {}, kKept};
}
const Fault kUnreadableStores[] = {
    setAside("NamedPipe", "mkfifo config/Brakenwel.conf"),
    setAside("Folder", "mkdir config/Brakenwel.conf"),
    setAside("Utf16Text", "iconv -t UTF-16 old.conf > config/Brakenwel.conf"),
    setAside("Garbage", "truncate -s 4K config/Brakenwel.conf"),
    {"LockOfGarbage", nothing, shell("truncate -s 4K config/Brakenwel.conf.lock"), {}, nullptr},
};

class UnreadableStoreTest : public StoreFaultTest {};

TEST_P(UnreadableStoreTest, IsKeptAsideAndTheCloseStoresTheList) {
    WriterLimits limits;
    home_.store(encodedStoreList("old", kOldRows));
    ASSERT_EQ(GetParam().arrange(home_, limits), std::nullopt);
    ASSERT_EQ(sh(home_, "stat -c %i config/Brakenwel.conf > inode"), std::nullopt);
    Writer writer(home_, {"start", "new", "5"});
    const QString output = writer.readAll();
    EXPECT_EQ(writer.wait(), 0);
    EXPECT_EQ(home_.stored(), encodedStoreList("new", 5));
    const QString keptAs = home_.config() + u'/' + home_.strayFiles().join(u' ');
    const QString said = QStringLiteral("message: Quorvel Wedge Studio\n%1 %2.\n")
                             .arg(QLatin1String(GetParam().reason), keptAs);
    EXPECT_EQ(output, (GetParam().reason ? said : QString()) + QStringLiteral("ended\n"));
    // The very file is kept, under a name that says so; beside a lock of garbage, nothing is.
    const std::string kept = GetParam().reason ? "$(cat inode)" : "";
    EXPECT_EQ(sh(home_, "test \"$(stat -c %i config/*.unreadable-* 2>&-)\" = \"" + kept + '"'),
              std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Stores, UnreadableStoreTest, ::testing::ValuesIn(kUnreadableStores),
                         [](const auto& info) { return std::string(info.param.name); });

// A "Save Pie Chart As JPG" that cannot write the picture whole is reported at line 118 with a
// nonzero status, and config/ stays as it was: an old c.jpg keeps its bytes, a new name stays
// absent, nothing is left half-written, a device stays. The reason is the name saved to.
const SetUp smallFileSystem = shell("mount -t tmpfs -o size=64k tmpfs config");
std::optional<std::string> fourKiBFiles(StoreHome&, WriterLimits& limits) {
    limits.fileSizeLimit = 4096;
    return std::nullopt;
}
const Fault kSaveFaults[] = {
    {"FullFileSystem", smallFileSystem, shell("yes > config/f"), {}, "c.jpg"},
    {"FullFileSystemNewName", smallFileSystem, shell("yes > config/f"), {}, "new.jpg"},
    {"LittleRoom", smallFileSystem, shell("yes > config/f; truncate -s -4K config/f"), {}, "c.jpg"},
    {"FileSizeLimit", fourKiBFiles, nothing, {}, "c.jpg"},
    {"ReadOnlyFolder", asUnprivilegedUser, shell("chmod 555 config"), {}, "new.jpg"},
    {"MissingFolder", nothing, nothing, {}, "missing/c.jpg"},
    {"LinkToADevice", nothing, shell("mknod d c 1 3 && ln -s $PWD/d config/l.jpg"), {}, "l.jpg"},
};

class JpegSaveFaultTest : public StoreFaultTest {};

TEST_P(JpegSaveFaultTest, IsReportedAndLeavesTheFolderAsItWas) {
    WriterLimits limits;
    if (std::optional<std::string> why = GetParam().prepare(home_, limits)) GTEST_SKIP() << *why;
    sh(home_, "echo old > config/c.jpg");
    GetParam().arrange(home_, limits);  // a filler ends when the disk is full
    if (limits.user) home_.giveTo(*limits.user);
    // The names, kinds and bytes of what the folder holds.
    const std::string folder = "(ls -lA --time-style=+ config; cat config/*) 2>&1";
    ASSERT_EQ(sh(home_, folder + " > before"), std::nullopt);

    Writer writer(home_, {"jpeg", home_.config() + u'/' + QLatin1String(GetParam().reason)},
                  limits);
    const QString output = writer.readAll();
    EXPECT_EQ(writer.wait(), 0);
    static const QRegularExpression report(
        QStringLiteral("Cannot save the image. GDI\\+ Error:[1-9][0-9]*\r\n"
                       "in Quorvel2021/08/31\\.Form2\\.PushButton5_Click at line 118\r"));
    EXPECT_TRUE(output.contains(report)) << output.toStdString();
    EXPECT_EQ(sh(home_, folder + " | cmp before"), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Saves, JpegSaveFaultTest, ::testing::ValuesIn(kSaveFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// A save over a file that is more than a name keeps what the file was: the picture lands in the
// very file, which keeps its owner, mode, ACL, attributes and other names; a link stays a link.
// The reason is the name saved to, the repair a check of the folder afterwards.
const std::string kJpeg = "test \"$(head -c3 config/c.jpg | od -An -tx1)\" = ' ff d8 ff'";
const std::string kLongestName = std::string(251, 'n') + ".jpg";
const Fault kSaveKeeps[] = {
    {"AnotherUsersFile", nothing,
     shell("chown nobody:nogroup config/c.jpg && chmod 640 config/c.jpg"),
     shellRepair(kJpeg + " && test $(stat -c %U:%a config/c.jpg) = nobody:640"), "c.jpg"},
    {"AnotherUsersFileInAStickyFolder", asUnprivilegedUser,
     shell("chown 0:0 config config/c.jpg && chmod 1777 config && chmod 666 config/c.jpg"),
     shellRepair(kJpeg + " && test $(stat -c %u:%a config/c.jpg) = 0:666"), "c.jpg"},
    {"WritableFileInAReadOnlyFolder", asUnprivilegedUser,
     shell("chown nobody:nogroup config/c.jpg && chmod 555 config"),
     shellRepair(kJpeg + " && chmod 755 config"), "c.jpg"},
    {"ModeExactly", nothing, shell("chmod 604 config/c.jpg"),
     shellRepair(kJpeg + " && test $(stat -c %a config/c.jpg) = 604"), "c.jpg"},
    {"AclUnderAMask", nothing,
     shell("setfacl -m u:nobody:rw,g::r,m::r config/c.jpg && getfacl config/c.jpg > acl"),
     shellRepair(kJpeg + " && getfacl config/c.jpg | cmp acl"), "c.jpg"},
    {"ExtendedAttribute", nothing, shell("setfattr -n user.note -v kept config/c.jpg"),
     shellRepair(kJpeg + " && test \"$(getfattr --only-values -n user.note config/c.jpg)\" = kept"),
     "c.jpg"},
    {"HardLink", nothing, shell("ln config/c.jpg other.jpg"),
     shellRepair(kJpeg + " && cmp config/c.jpg other.jpg"), "c.jpg"},
    {"LinkToAPictureElsewhere", nothing,
     shell("mkdir pics && mv config/c.jpg pics/ && ln -s ../pics/c.jpg config/l.jpg"),
     shellRepair("test -L config/l.jpg && mv pics/c.jpg config/ && " + kJpeg), "l.jpg"},
    // A killed save of ours left its file (its process is gone), another's save runs (pid 1).
    {"LeftoversOfKilledSaves", nothing,
     shell("touch config/.qws-save-0999999999-beef config/c.jpg.999999999-0.part "
           "config/.qws-save-0000000001-0000"),
     shellRepair(kJpeg + " && test \"$(LC_ALL=C ls -A config)\" = \"$(printf "
                         "'.qws-save-0000000001-0000\\nc.jpg')\""),
     "c.jpg"},
    {"LongestName", nothing, nothing,
     shellRepair("mv config/$(printf 'n%.0s' $(seq 251)).jpg config/c.jpg && " + kJpeg),
     kLongestName.c_str()},
};

class JpegSaveKeepTest : public StoreFaultTest {};

TEST_P(JpegSaveKeepTest, ReplacesTheVeryFileAndKeepsWhatItWas) {
    WriterLimits limits;
    if (std::optional<std::string> why = GetParam().prepare(home_, limits)) GTEST_SKIP() << *why;
    sh(home_, "test -e config/c.jpg || echo old > config/c.jpg");
    if (limits.user) home_.giveTo(*limits.user);
    if (std::optional<std::string> why = GetParam().arrange(home_, limits)) GTEST_SKIP() << *why;
    Writer writer(home_, {"jpeg", home_.config() + u'/' + QLatin1String(GetParam().reason)},
                  limits);
    EXPECT_EQ(writer.readAll(), QString()) << "no report";
    EXPECT_EQ(writer.wait(), 0);
    GetParam().repair(home_);
}

INSTANTIATE_TEST_SUITE_P(Saves, JpegSaveKeepTest, ::testing::ValuesIn(kSaveKeeps),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StoreKilledDuringAWrite, LeavesTheOldOrTheNewListNeverAMix) {
    StoreHome home;
    constexpr int kRows = 40000;  // a megabyte: each write takes a while
    const QString a = encodedStoreList("a", kRows);
    const QString b = encodedStoreList("b", kRows);
    home.store(a);

    int duringAWrite = 0;
    int found[2] = {0, 0};
    constexpr int kRounds = 6;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        Writer writer(home, {"loop", QString::number(kRows)});
        // Time one close from "writing" to "saved", then kill at a different point of the next
        // one each round.
        ASSERT_TRUE(writer.readLine(120s).has_value());
        const auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(writer.readLine(120s).has_value());
        const auto period = std::chrono::steady_clock::now() - started;
        ASSERT_TRUE(writer.readLine(120s).has_value());
        std::this_thread::sleep_for(period * (round + 1) / (kRounds + 1));
        writer.kill();
        // QSettings holds its lock file for the whole write, so a lock left means the kill
        // caught it writing.
        if (QFile::exists(home.storeFile() + QStringLiteral(".lock"))) ++duringAWrite;
        const std::optional<QString> stored = home.stored();
        ASSERT_TRUE(stored.has_value()) << "the store file is readable after the kill";
        ASSERT_TRUE(*stored == a || *stored == b) << "a mix of " << stored->size() << " characters";
        ++found[*stored == a ? 0 : 1];
    }
    std::printf("%d kills, %d of them during a write: list a %d times, list b %d times\n", kRounds,
                duringAWrite, found[0], found[1]);

    // The lock of a killed writer is stale: the next close stores its list, and clears away
    // what the killed ones left.
    Writer next(home, {"save", "c", "10"});
    EXPECT_EQ(next.readAll(), u"ended\n");
    EXPECT_EQ(home.stored(), encodedStoreList("c", 10));
    EXPECT_EQ(home.strayFiles(), QStringList());
}

}  // namespace
