#pragma once
// End-to-end tests drive the real executable in a real X server: each test starts its own Xvfb
// on a free display, starts the program with HOME and XDG_CONFIG_HOME in a temporary folder,
// and talks to its windows through xdotool and Xlib.

#include <sys/types.h>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

class XvfbServer {
  public:
    XvfbServer();  // starts Xvfb; display() is empty when it could not start
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    const QString& display() const { return display_; }
    void kill();  // SIGKILL, as a crash

  private:
    pid_t pid_ = -1;
    QString display_;
};

// A command run to its end with DISPLAY set; its standard output, trimmed.
QString runTool(const QString& display, const QStringList& command, int* exitCode = nullptr);

class ProgramRun {
  public:
    // A home folder for the program that lives as long as this object.
    explicit ProgramRun(const XvfbServer& x);
    ~ProgramRun();

    QString home() const { return home_.path(); }
    QString configFolder() const { return home_.path() + QStringLiteral("/config"); }
    QString storeFile() const { return configFolder() + QStringLiteral("/Brakenwel.conf"); }

    // Starts the executable (by default the program under test) from its own folder, with the
    // variables set here on top of the usual ones.
    void start(const QString& executable = QString(), const QStringList& arguments = {});
    void setEnvironment(const std::string& name, const std::string& value);
    // Its standard error goes to a file from the next start on; what it has written there.
    void captureStandardError() { captureStderr_ = true; }
    QString standardError();
    // Starts the program and waits until its first top-level window is mapped; the time from
    // the start to the map, or a negative duration when no window came.
    std::chrono::microseconds startAndTimeUntilMapped(
        std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // The X window id of the first mapped window whose name matches, or 0 after the timeout.
    unsigned long waitForWindow(const QString& name,
                                std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Sends a signal; then waits for the exit and returns its code (-1 when it did not end or
    // ended by a signal).
    int signalAndWait(int signal, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    int waitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    bool running();
    // CPU seconds (user + system) the program has used so far, or in all once it has ended.
    double cpuSeconds();
    // Waits until the program has used no CPU for a while (it has finished what the start
    // began), at most the timeout.
    void waitUntilIdle(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // The most memory the program held at once (resident, in KiB), known once it has ended.
    long peakMemoryKiB() const { return peakKiBAtExit_; }

    // Clicks at a point given in pixels of a window's client area.
    void click(unsigned long window, int x, int y);
    void typeText(unsigned long window, const QString& text);
    void key(unsigned long window, const QString& keys);
    // Asks the window to close the way a close box does (WM_DELETE_WINDOW).
    void closeBox(unsigned long window);
    // Drags local files onto a point of a window's client area and drops them there, as a file
    // manager does (XDND, a text/uri-list offer); whether the window took the drop.
    bool dropFiles(unsigned long window, int x, int y, const QStringList& paths);
    // Size of the window's client area in pixels.
    QSize clientSize(unsigned long window);
    QString windowTitle(unsigned long window);
    // A PNG screenshot of the whole screen.
    bool screenshot(const QString& pngPath);

    QString storedData();  // the stored list as written in the settings file, or a null string
    void writeStoredData(const QString& data);

    const XvfbServer& x;

  private:
    QTemporaryDir home_;
    std::vector<std::pair<std::string, std::string>> environment_;
    bool captureStderr_ = false;
    pid_t pid_ = -1;
    int status_ = 0;
    bool exited_ = false;
    double cpuAtExit_ = 0;
    long peakKiBAtExit_ = 0;
};

QString programPath();
