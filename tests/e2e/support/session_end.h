#pragma once
// What ends a desktop session under the program, for the end-to-end tests: a headless Weston
// compositor to run it natively on Wayland and then kill, and an X session manager of the
// smallest kind (XSMP through libSM) that logs it out or goes away.

#include <sys/types.h>
#include <QString>
#include <chrono>
#include <memory>

class WestonServer {
  public:
    // Its socket in runtimeDir (XDG_RUNTIME_DIR); name() is empty when it did not start.
    explicit WestonServer(const QString& runtimeDir);
    ~WestonServer();
    const QString& name() const { return name_; }
    void kill();  // SIGKILL, as a crash

  private:
    pid_t pid_ = -1;
    QString name_;
};

class XsmpSessionManager {
  public:
    XsmpSessionManager();  // address() is empty when it cannot listen
    ~XsmpSessionManager();
    // The value of SESSION_MANAGER that leads a client here.
    const QString& address() const { return address_; }
    // Serves until a client has registered.
    bool waitForClient(std::chrono::milliseconds timeout);
    // Asks the client to save itself for a shutdown, as a logout does, and serves until it has
    // closed its connection.
    bool logOut(std::chrono::milliseconds timeout);
    // Closes every connection, as a session manager that ends or crashes.
    void goAway();

    struct State;

  private:
    std::unique_ptr<State> state_;
    QString address_;
};
