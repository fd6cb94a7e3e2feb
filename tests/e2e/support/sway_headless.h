#pragma once
// A headless sway for end-to-end tests on Wayland: a compositor with a seat, where wtype types
// through a virtual keyboard, grim takes pictures and swaymsg tells window geometry and asks
// windows to close. Sway refuses to run as root, so under root it runs as "nobody" with its own
// runtime folder; the tools and the program reach its socket by its full path.

#include <sys/types.h>
#include <QJsonObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>

class SwayHeadless {
  public:
    SwayHeadless();  // socket() is empty when sway could not start
    ~SwayHeadless();
    SwayHeadless(const SwayHeadless&) = delete;
    SwayHeadless& operator=(const SwayHeadless&) = delete;

    // The full path of the Wayland socket, for WAYLAND_DISPLAY.
    const QString& socket() const { return socket_; }

    // Runs one of the tools against this compositor; its standard output, trimmed.
    QString run(const QStringList& command, int* exitCode = nullptr) const;
    // The windows sway shows, as swaymsg's tree gives them: every node with a name.
    QList<QJsonObject> windows() const;
    // The id and geometry of the windows whose title is the name, in the order sway lists them;
    // waits until at least `count` exist.
    QList<std::pair<qint64, QRect>> waitForWindows(
        const QString& name, int count = 1,
        std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // The compositor's close request for a window (what its close button would send).
    void close(qint64 id) const;
    // Types text, or presses keys ("-k Return"), through the virtual keyboard.
    void type(const QStringList& wtypeArguments) const;
    // A picture of the whole output.
    bool screenshot(const QString& pngPath) const;

  private:
    QTemporaryDir runtime_;
    pid_t pid_ = -1;
    QString socket_;
    QString ipc_;
};
