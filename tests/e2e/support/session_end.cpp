#include "session_end.h"

#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QFileInfo>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

// libSM after Qt: its macros (Status, Bool) would clash with Qt's names.
#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>

extern char** environ;

using namespace std::chrono_literals;

WestonServer::WestonServer(const QString& runtimeDir) {
    const QString name = QStringLiteral("qws-weston-%1").arg(::getpid());
    const std::string run = "XDG_RUNTIME_DIR=" + runtimeDir.toStdString();
    const std::string socket = "--socket=" + name.toStdString();
    const std::string log = "--log=" + runtimeDir.toStdString() + "/weston.log";
    std::vector<char*> env;
    for (char** e = environ; *e; ++e) env.push_back(*e);
    env.push_back(const_cast<char*>(run.c_str()));
    env.push_back(nullptr);
    const char* argv[] = {"weston",        "--backend=headless-backend.so",
                          "--idle-time=0", socket.c_str(),
                          log.c_str(),     nullptr};
    if (::posix_spawnp(&pid_, "weston", nullptr, nullptr, const_cast<char**>(argv), env.data()))
        pid_ = -1;
    for (int i = 0; pid_ > 0 && i < 200; ++i, std::this_thread::sleep_for(50ms))
        if (QFileInfo(runtimeDir + u'/' + name).exists()) {
            name_ = name;
            return;
        }
}

WestonServer::~WestonServer() { kill(); }

void WestonServer::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

struct XsmpSessionManager::State {
    int listenCount = 0;
    IceListenObj* listen = nullptr;
    std::vector<IceConn> connections;
    SmsConn client = nullptr;
    bool registered = false;
};

namespace {

XsmpSessionManager::State* g_state = nullptr;

Status newClient(SmsConn conn, SmPointer, unsigned long* mask, SmsCallbacks* cb, char**) {
    g_state->client = conn;
    *mask = ~0ul;
    cb->register_client.callback = [](SmsConn c, SmPointer, char* previousId) {
        std::free(previousId);
        g_state->registered = true;
        return SmsRegisterClientReply(c, SmsGenerateClientID(c));
    };
    cb->interact_request.callback = [](SmsConn, SmPointer, int) {};
    cb->interact_done.callback = [](SmsConn, SmPointer, Bool) {};
    cb->save_yourself_request.callback = [](SmsConn, SmPointer, int, Bool, int, Bool, Bool) {};
    cb->save_yourself_phase2_request.callback = [](SmsConn, SmPointer) {};
    cb->save_yourself_done.callback = [](SmsConn, SmPointer, Bool) {};
    cb->close_connection.callback = [](SmsConn, SmPointer, int n, char** reasons) {
        SmFreeReasons(n, reasons);
    };
    cb->set_properties.callback = [](SmsConn, SmPointer, int n, SmProp** props) {
        for (int i = 0; i < n; ++i) SmFreeProperty(props[i]);
        std::free(props);
    };
    cb->delete_properties.callback = [](SmsConn, SmPointer, int n, char** names) {
        for (int i = 0; i < n; ++i) std::free(names[i]);
        std::free(names);
    };
    cb->get_properties.callback = [](SmsConn, SmPointer) {};
    return 1;
}

Bool anyHost(char*) { return True; }

// Accepts and reads until done() holds or every client has gone; false after the timeout.
bool serve(XsmpSessionManager::State& s, const std::function<bool()>& done,
           std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done() && std::chrono::steady_clock::now() < end) {
        std::vector<pollfd> fds;
        for (int i = 0; i < s.listenCount; ++i)
            fds.push_back({IceGetListenConnectionNumber(s.listen[i]), POLLIN, 0});
        for (IceConn c : s.connections) fds.push_back({IceConnectionNumber(c), POLLIN, 0});
        ::poll(fds.data(), fds.size(), 50);
        // Connections accepted below were not polled: they have no entry in fds yet.
        const size_t polled = s.connections.size();
        for (int i = 0; i < s.listenCount; ++i)
            if (fds[size_t(i)].revents & POLLIN) {
                IceAcceptStatus status;
                if (IceConn c = IceAcceptConnection(s.listen[i], &status))
                    s.connections.push_back(c);
            }
        for (size_t i = polled; i-- > 0;)
            if (fds[size_t(s.listenCount) + i].revents & (POLLIN | POLLHUP) &&
                IceProcessMessages(s.connections[i], nullptr, nullptr) !=
                    IceProcessMessagesSuccess) {
                IceCloseConnection(s.connections[i]);
                s.connections.erase(s.connections.begin() + ptrdiff_t(i));
                if (s.connections.empty()) return true;
            }
    }
    return done();
}

}  // namespace

XsmpSessionManager::XsmpSessionManager() : state_(std::make_unique<State>()) {
    g_state = state_.get();
    // libICE's own handler ends the process when a client goes; serve() notices that itself.
    IceSetIOErrorHandler([](IceConn) {});
    char error[256] = {};
    static const bool initialised =
        SmsInitialize("qws-tests", "1", newClient, nullptr, anyHost, sizeof error, error);
    if (!initialised ||
        !IceListenForConnections(&state_->listenCount, &state_->listen, sizeof error, error))
        return;
    for (int i = 0; i < state_->listenCount; ++i) {
        IceSetHostBasedAuthProc(state_->listen[i], anyHost);
        char* id = IceGetListenConnectionString(state_->listen[i]);
        if (QString::fromLatin1(id).startsWith(u"local/")) address_ = QString::fromLatin1(id);
        std::free(id);
    }
}

XsmpSessionManager::~XsmpSessionManager() {
    goAway();
    if (state_->listen) IceFreeListenObjs(state_->listenCount, state_->listen);
    g_state = nullptr;
}

bool XsmpSessionManager::waitForClient(std::chrono::milliseconds timeout) {
    return serve(
        *state_, [this] { return state_->registered; }, timeout);
}

bool XsmpSessionManager::logOut(std::chrono::milliseconds timeout) {
    if (!state_->registered) return false;
    SmsSaveYourself(state_->client, SmSaveBoth, True, SmInteractStyleAny, False);
    return serve(
        *state_, [] { return false; }, timeout);
}

void XsmpSessionManager::goAway() {
    for (IceConn c : state_->connections) ::shutdown(IceConnectionNumber(c), SHUT_RDWR);
    for (IceConn c : state_->connections) IceCloseConnection(c);
    state_->connections.clear();
}
