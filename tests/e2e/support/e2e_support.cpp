#include "e2e_support.h"

// Before Xlib, whose None macro breaks it.
#include <QUrl>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSize>
#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;

std::vector<std::string> environmentWith(
    const std::vector<std::pair<std::string, std::string>>& set) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        bool replaced = false;
        for (const auto& [k, v] : set)
            if (entry.rfind(k + "=", 0) == 0) replaced = true;
        if (!replaced) env.push_back(entry);
    }
    for (const auto& [k, v] : set) env.push_back(k + "=" + v);
    return env;
}

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            int stdoutFd = -1, const char* workingDir = nullptr, int stderrFd = -1) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (workingDir && ::chdir(workingDir) != 0) ::_exit(126);
        if (stdoutFd >= 0) ::dup2(stdoutFd, 1);
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, 0);
        if (stdoutFd < 0) ::dup2(devnull, 1);
        if (stderrFd >= 0) ::dup2(stderrFd, 2);
        ::execvpe(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

// The most resident memory the running program has held (VmHWM), in KiB; 0 once it has ended.
// wait4's ru_maxrss is no measure of it: that counts the memory this process held when it forked
// the program too, which the kernel carries over the exec.
long highWaterKiB(pid_t pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

// peakKiB: the program's high-water mark seen while waiting, kept as the largest so far; an
// exit before any was seen leaves ru_maxrss, which may be too large.
bool waitPid(pid_t pid, int* status, std::chrono::milliseconds timeout, double* cpu = nullptr,
             long* peakKiB = nullptr) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (peakKiB) *peakKiB = std::max(*peakKiB, highWaterKiB(pid));
        rusage usage = {};
        const pid_t r = ::wait4(pid, status, WNOHANG, &usage);
        if (r == pid) {
            if (cpu)
                *cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
            if (peakKiB && *peakKiB == 0) *peakKiB = usage.ru_maxrss;
            return true;
        }
        if (r < 0 && errno != EINTR) return false;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

const char kSection[] = "Quorvel Wedge Studio Deluxe";

}  // namespace

QString programPath() { return QStringLiteral(QWS_PROGRAM); }

XvfbServer::XvfbServer() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    // Without -noreset the server resets whenever its last client leaves, as the tests' short
    // xdotool runs do all the time, and a program connecting during a reset is turned away.
    const std::vector<std::string> argv = {"Xvfb",      "-displayfd", std::to_string(fds[1]),
                                           "-screen",   "0",          "1280x1024x24",
                                           "-nolisten", "tcp",        "-noreset"};
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(fds[0]);
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, 0);
        ::dup2(devnull, 1);
        ::dup2(devnull, 2);
        ::execvp("Xvfb", args.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string number;
    pollfd pfd{fds[0], POLLIN, 0};
    while (::poll(&pfd, 1, 10000) > 0) {
        char c;
        if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
        number.push_back(c);
    }
    ::close(fds[0]);
    if (!number.empty()) display_ = QStringLiteral(":") + QString::fromStdString(number);
}

void XvfbServer::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        if (!waitPid(pid_, &status, 5s)) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
    }
}

QString runTool(const QString& display, const QStringList& command, int* exitCode) {
    char path[] = "/tmp/qws-e2e-outXXXXXX";
    const int fd = ::mkstemp(path);
    std::vector<std::string> argv;
    for (const QString& part : command) argv.push_back(part.toStdString());
    const pid_t pid = spawn(argv, environmentWith({{"DISPLAY", display.toStdString()}}), fd);
    int status = 0;
    if (!waitPid(pid, &status, 30s)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    QFile out(QString::fromLocal8Bit(path));
    out.open(QIODevice::ReadOnly);
    const QString text = QString::fromLocal8Bit(out.readAll()).trimmed();
    ::close(fd);
    ::unlink(path);
    if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return text;
}

ProgramRun::ProgramRun(const XvfbServer& server) : x(server) {
    QDir().mkpath(configFolder());
    QDir().mkpath(home() + QStringLiteral("/run"));
    QFile::setPermissions(home() + QStringLiteral("/run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

ProgramRun::~ProgramRun() {
    if (pid_ > 0 && !exited_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status_, 0);
    }
}

void ProgramRun::start(const QString& executable, const QStringList& arguments) {
    const QString program = executable.isEmpty() ? programPath() : executable;
    const std::string folder = QFileInfo(program).absolutePath().toStdString();
    std::vector<std::pair<std::string, std::string>> set = {
        {"DISPLAY", x.display().toStdString()},
        {"HOME", home().toStdString()},
        {"XDG_CONFIG_HOME", configFolder().toStdString()},
        {"XDG_RUNTIME_DIR", (home() + "/run").toStdString()},
        {"QT_QPA_PLATFORM", "xcb"},
        {"LANG", "C.UTF-8"},
        {"LC_ALL", "C.UTF-8"}};
    for (const auto& variable : environment_) {
        std::erase_if(set, [&](const auto& entry) { return entry.first == variable.first; });
        set.push_back(variable);
    }
    const std::string errors = (home() + "/stderr").toStdString();
    const int stderrFd =
        captureStderr_ ? ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600) : -1;
    std::vector<std::string> argv = {program.toStdString()};
    for (const QString& argument : arguments) argv.push_back(argument.toStdString());
    pid_ = spawn(argv, environmentWith(set), -1, folder.c_str(), stderrFd);
    if (stderrFd >= 0) ::close(stderrFd);
    exited_ = false;
    peakKiBAtExit_ = 0;
}

std::chrono::microseconds ProgramRun::startAndTimeUntilMapped(std::chrono::milliseconds timeout) {
    Display* display = XOpenDisplay(x.display().toLocal8Bit().constData());
    if (!display) return std::chrono::microseconds(-1);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    const auto started = std::chrono::steady_clock::now();
    start();
    const auto end = started + timeout;
    std::chrono::microseconds result(-1);
    const int fd = ConnectionNumber(display);
    while (std::chrono::steady_clock::now() < end && result.count() < 0) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify) {
                result = std::chrono::duration_cast<std::chrono::microseconds>(
                    std::chrono::steady_clock::now() - started);
                break;
            }
        }
        if (result.count() >= 0 || !running()) break;
        pollfd pfd{fd, POLLIN, 0};
        ::poll(&pfd, 1, 20);
    }
    XCloseDisplay(display);
    return result;
}

unsigned long ProgramRun::waitForWindow(const QString& name, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        const QString found = runTool(
            x.display(), {"xdotool", "search", "--onlyvisible", "--name", "^" + name + "$"});
        if (!found.isEmpty()) return found.split(u'\n').first().toULong();
        if (!running()) return 0;
        std::this_thread::sleep_for(50ms);
    }
    return 0;
}

void ProgramRun::setEnvironment(const std::string& name, const std::string& value) {
    environment_.emplace_back(name, value);
}

QString ProgramRun::standardError() {
    QFile file(home() + QStringLiteral("/stderr"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

bool ProgramRun::running() {
    if (pid_ <= 0 || exited_) return false;
    exited_ = waitPid(pid_, &status_, 0ms, &cpuAtExit_, &peakKiBAtExit_) ||
              (::kill(pid_, 0) != 0 && waitPid(pid_, &status_, 1s, &cpuAtExit_, &peakKiBAtExit_));
    return !exited_;
}

double ProgramRun::cpuSeconds() {
    if (exited_) return cpuAtExit_;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid_));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    const QByteArray line = stat.readAll();
    // Fields after the command's closing parenthesis; utime and stime are the 12th and 13th.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return 0;
    return double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) /
           double(::sysconf(_SC_CLK_TCK));
}

void ProgramRun::waitUntilIdle(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    double before = cpuSeconds();
    for (int quiet = 0; quiet < 5 && std::chrono::steady_clock::now() < end;) {
        std::this_thread::sleep_for(20ms);
        const double now = cpuSeconds();
        quiet = now == before ? quiet + 1 : 0;
        before = now;
    }
}

int ProgramRun::waitForExit(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return -1;
    if (!exited_) exited_ = waitPid(pid_, &status_, timeout, &cpuAtExit_, &peakKiBAtExit_);
    if (!exited_) return -1;
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

int ProgramRun::signalAndWait(int signal, std::chrono::milliseconds timeout) {
    if (pid_ > 0 && !exited_) ::kill(pid_, signal);
    return waitForExit(timeout);
}

void ProgramRun::click(unsigned long window, int px, int py) {
    // A synchronous move to where the pointer already is waits for a move that never comes.
    runTool(x.display(), {"xdotool", "mousemove", "0", "0"});
    runTool(x.display(), {"xdotool", "mousemove", "--sync", "--window", QString::number(window),
                          QString::number(px), QString::number(py)});
    runTool(x.display(), {"xdotool", "click", "1"});
}

void ProgramRun::typeText(unsigned long window, const QString& text) {
    runTool(x.display(),
            {"xdotool", "type", "--window", QString::number(window), "--delay", "20", text});
}

void ProgramRun::key(unsigned long window, const QString& keys) {
    runTool(x.display(), {"xdotool", "key", "--window", QString::number(window), keys});
}

void ProgramRun::closeBox(unsigned long window) {
    Display* display = XOpenDisplay(x.display().toLocal8Bit().constData());
    if (!display) return;
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
}

namespace {

// Waits for the next client message of a type sent to our window, answering the target's
// requests for the dragged data meanwhile; false after the timeout.
bool awaitDndMessage(Display* display, Window source, Atom type, const QByteArray& uris,
                     XEvent* reply, std::chrono::milliseconds timeout) {
    const Atom uriList = XInternAtom(display, "text/uri-list", False);
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == SelectionRequest) {
                const XSelectionRequestEvent& request = event.xselectionrequest;
                XEvent notify = {};
                notify.xselection.type = SelectionNotify;
                notify.xselection.requestor = request.requestor;
                notify.xselection.selection = request.selection;
                notify.xselection.target = request.target;
                notify.xselection.time = request.time;
                notify.xselection.property = None;
                if (request.target == uriList) {
                    XChangeProperty(
                        display, request.requestor, request.property, uriList, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(uris.constData()), int(uris.size()));
                    notify.xselection.property = request.property;
                }
                XSendEvent(display, request.requestor, False, NoEventMask, &notify);
                XFlush(display);
            } else if (event.type == ClientMessage && event.xclient.window == source &&
                       event.xclient.message_type == type) {
                *reply = event;
                return true;
            }
        }
        pollfd pfd{ConnectionNumber(display), POLLIN, 0};
        ::poll(&pfd, 1, 20);
    }
    return false;
}

void sendDndMessage(Display* display, Window target, Atom type, const std::array<long, 5>& data) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    for (size_t i = 0; i < data.size(); ++i) event.xclient.data.l[i] = data[i];
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

}  // namespace

bool ProgramRun::dropFiles(unsigned long window, int px, int py, const QStringList& paths) {
    Display* display = XOpenDisplay(x.display().toLocal8Bit().constData());
    if (!display) return false;
    const auto atom = [display](const char* name) { return XInternAtom(display, name, False); };
    QByteArray uris;
    for (const QString& path : paths) uris += QUrl::fromLocalFile(path).toEncoded() + "\r\n";
    const Window root = DefaultRootWindow(display);
    const Window source = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, atom("XdndSelection"), source, CurrentTime);
    int rootX = 0;
    int rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, root, px, py, &rootX, &rootY, &child);
    const long from = long(source);
    sendDndMessage(display, window, atom("XdndEnter"),
                   {from, 5L << 24, long(atom("text/uri-list")), 0, 0});
    sendDndMessage(
        display, window, atom("XdndPosition"),
        {from, 0, (long(rootX) << 16) | rootY, CurrentTime, long(atom("XdndActionCopy"))});
    XEvent status = {};
    bool accepted = awaitDndMessage(display, source, atom("XdndStatus"), uris, &status, 5s) &&
                    (status.xclient.data.l[1] & 1);
    if (accepted) {
        sendDndMessage(display, window, atom("XdndDrop"), {from, 0, CurrentTime, 0, 0});
        XEvent finished = {};
        accepted = awaitDndMessage(display, source, atom("XdndFinished"), uris, &finished, 5s) &&
                   (finished.xclient.data.l[1] & 1);
    } else {
        sendDndMessage(display, window, atom("XdndLeave"), {from, 0, 0, 0, 0});
    }
    XDestroyWindow(display, source);
    XCloseDisplay(display);
    return accepted;
}

QSize ProgramRun::clientSize(unsigned long window) {
    Display* display = XOpenDisplay(x.display().toLocal8Bit().constData());
    if (!display) return {};
    XWindowAttributes attributes = {};
    XGetWindowAttributes(display, window, &attributes);
    XCloseDisplay(display);
    return QSize(attributes.width, attributes.height);
}

QString ProgramRun::windowTitle(unsigned long window) {
    return runTool(x.display(), {"xdotool", "getwindowname", QString::number(window)});
}

bool ProgramRun::screenshot(const QString& pngPath) {
    int code = -1;
    runTool(x.display(), {"import", "-window", "root", pngPath}, &code);
    return code == 0;
}

QString ProgramRun::storedData() {
    if (!QFileInfo::exists(storeFile())) return QString();
    QSettings settings(storeFile(), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kSection));
    const QVariant value = settings.value(QStringLiteral("Data"));
    return value.isValid() ? value.toString() : QString();
}

void ProgramRun::writeStoredData(const QString& data) {
    QSettings settings(storeFile(), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kSection));
    settings.setValue(QStringLiteral("Data"), data);
    settings.endGroup();
    settings.sync();
}
