#include "sway_headless.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <csignal>
#include <cstdlib>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Every window keeps the size it asks for, as on a floating desktop: the main window is laid out
// at a fixed size and the tests click and read by its layout.
const char kConfig[] =
    "xwayland disable\n"
    "output HEADLESS-1 resolution 1280x1024 position 0 0\n"
    "for_window [title=\".*\"] floating enable\n";

constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

void collectWindows(const QJsonObject& node, QList<QJsonObject>& out) {
    if (node.value(QStringLiteral("type")).toString().endsWith(QStringLiteral("con")) &&
        node.contains(QStringLiteral("pid")))
        out.append(node);
    for (const char* children : {"nodes", "floating_nodes"})
        for (const QJsonValue child : node.value(QLatin1String(children)).toArray())
            collectWindows(child.toObject(), out);
}

}  // namespace

SwayHeadless::SwayHeadless() {
    if (!runtime_.isValid()) return;
    const QByteArray folder = QFile::encodeName(runtime_.path());
    const bool root = ::geteuid() == 0;
    if (root && ::chown(folder.constData(), kNobody, kNoGroup) != 0) return;
    ::chmod(folder.constData(), 0700);
    QFile config(runtime_.filePath(QStringLiteral("config")));
    if (!config.open(QIODevice::WriteOnly) || config.write(kConfig) < 0) return;
    config.close();
    config.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    const QByteArray log = folder + "/sway.log";
    const QByteArray configPath = QFile::encodeName(config.fileName());
    pid_ = ::fork();
    if (pid_ == 0) {
        const int out = ::open(log.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int devnull = ::open("/dev/null", O_RDONLY);
        ::dup2(devnull, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        // Its own process group, so the end takes sway's helpers (swaybg, swaybar) with it.
        ::setpgid(0, 0);
        if (root &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNoGroup) != 0 || ::setuid(kNobody) != 0))
            ::_exit(126);
        ::clearenv();
        ::setenv("PATH", "/usr/local/bin:/usr/bin:/bin", 1);
        ::setenv("HOME", folder.constData(), 1);
        ::setenv("XDG_RUNTIME_DIR", folder.constData(), 1);
        ::setenv("WLR_BACKENDS", "headless", 1);
        ::setenv("WLR_LIBINPUT_NO_DEVICES", "1", 1);
        ::setenv("WLR_RENDERER", "pixman", 1);
        ::execlp("sway", "sway", "-c", configPath.constData(), nullptr);
        ::_exit(127);
    }
    if (pid_ < 0) return;
    const auto end = std::chrono::steady_clock::now() + 15s;
    while (std::chrono::steady_clock::now() < end && (socket_.isEmpty() || ipc_.isEmpty())) {
        std::this_thread::sleep_for(50ms);
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        const QDir dir(runtime_.path());
        for (const QString& name : dir.entryList(QDir::System)) {
            if (name.startsWith(QStringLiteral("wayland-")) &&
                !name.endsWith(QStringLiteral(".lock")))
                socket_ = dir.filePath(name);
            if (name.startsWith(QStringLiteral("sway-ipc."))) ipc_ = dir.filePath(name);
        }
    }
    // Ready once it answers on its IPC socket.
    int code = -1;
    if (!ipc_.isEmpty()) run({"swaymsg", "-t", "get_outputs"}, &code);
    if (code != 0) socket_.clear();
}

SwayHeadless::~SwayHeadless() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
        std::this_thread::sleep_for(50ms);
    }
    ::kill(-pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

QString SwayHeadless::run(const QStringList& command, int* exitCode) const {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), socket_);
    env.insert(QStringLiteral("SWAYSOCK"), ipc_);
    process.setProcessEnvironment(env);
    process.start(command.first(), command.mid(1));
    const bool ended = process.waitForFinished(30000);
    if (exitCode)
        *exitCode = ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QList<QJsonObject> SwayHeadless::windows() const {
    QList<QJsonObject> found;
    const QByteArray tree = run({"swaymsg", "-r", "-t", "get_tree"}).toUtf8();
    collectWindows(QJsonDocument::fromJson(tree).object(), found);
    return found;
}

QList<std::pair<qint64, QRect>> SwayHeadless::waitForWindows(
    const QString& name, int count, std::chrono::milliseconds timeout) const {
    const auto end = std::chrono::steady_clock::now() + timeout;
    QList<std::pair<qint64, QRect>> found;
    do {
        found.clear();
        for (const QJsonObject& window : windows()) {
            if (window.value(QStringLiteral("name")).toString() != name) continue;
            const QJsonObject r = window.value(QStringLiteral("rect")).toObject();
            found.append(
                {window.value(QStringLiteral("id")).toInteger(),
                 QRect(r.value(QStringLiteral("x")).toInt(), r.value(QStringLiteral("y")).toInt(),
                       r.value(QStringLiteral("width")).toInt(),
                       r.value(QStringLiteral("height")).toInt())});
        }
        if (found.size() >= count) return found;
        std::this_thread::sleep_for(100ms);
    } while (std::chrono::steady_clock::now() < end);
    return found;
}

void SwayHeadless::close(qint64 id) const {
    run({"swaymsg", QStringLiteral("[con_id=%1] kill").arg(id)});
}

void SwayHeadless::type(const QStringList& wtypeArguments) const {
    // A pause first: a new virtual keyboard's keymap must reach the client before its keys.
    run(QStringList{"wtype", "-s", "150", "-d", "20"} + wtypeArguments);
    std::this_thread::sleep_for(200ms);
}

bool SwayHeadless::screenshot(const QString& pngPath) const {
    int code = -1;
    run({"grim", pngPath}, &code);
    return code == 0;
}
