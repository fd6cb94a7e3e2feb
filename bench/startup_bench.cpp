// The real executable under its own Xvfb, timed from outside as a user meets it: from process
// start to the main window on screen with a stored list of many varied rows, from the close
// request to the process gone, and a list file typed into the open dialog, from Enter until the
// rows are in and the window answers again.
#include "e2e_support.h"
#include "list_file_generator.h"
#include "slices/persistence.h"

#include <X11/Xlib.h>
#include <benchmark/benchmark.h>
#include <poll.h>
#include <QDir>
#include <csignal>
#include <map>
#include <thread>

namespace {

QString encodedRows(int rows) {
    return variedStoredList(rows, kNameValueSeparator, kRowTerminator);
}

void BM_StartWithStoredRows(benchmark::State& state) {
    XvfbServer x;
    if (x.display().isEmpty()) {
        state.SkipWithError("Xvfb could not start");
        return;
    }
    ProgramRun run(x);
    run.writeStoredData(encodedRows(int(state.range(0))));
    double cpuMs = 0;
    for (auto _ : state) {
        const auto mapped = run.startAndTimeUntilMapped();
        if (mapped.count() < 0) {
            state.SkipWithError("no window appeared");
            break;
        }
        state.SetIterationTime(double(mapped.count()) / 1e6);
        cpuMs += run.cpuSeconds() * 1000;
        // Killed, not closed: the stored list stays as the next iteration needs it.
        run.signalAndWait(SIGKILL);
    }
    state.counters["rows"] = double(state.range(0));
    // The program's own CPU time: a figure the other work on the machine hardly moves.
    state.counters["cpu_ms"] = benchmark::Counter(cpuMs, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_StartWithStoredRows)
    ->Arg(0)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// From the close request (SIGTERM) to the process gone, with the restored rows encoded and stored.
void BM_CloseWithRows(benchmark::State& state) {
    XvfbServer x;
    if (x.display().isEmpty()) {
        state.SkipWithError("Xvfb could not start");
        return;
    }
    ProgramRun run(x);
    run.writeStoredData(encodedRows(int(state.range(0))));
    double cpuMs = 0;
    for (auto _ : state) {
        if (run.startAndTimeUntilMapped().count() < 0) {
            state.SkipWithError("no window appeared");
            break;
        }
        const auto started = std::chrono::steady_clock::now();
        const double cpuBefore = run.cpuSeconds();
        if (run.signalAndWait(SIGTERM, std::chrono::seconds(60)) != 0) {
            state.SkipWithError("the close did not end with exit code 0");
            break;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        cpuMs += (run.cpuSeconds() - cpuBefore) * 1000;
    }
    state.counters["rows"] = double(state.range(0));
    // The program's own CPU time: a figure the other work on the machine hardly moves.
    state.counters["cpu_ms"] = benchmark::Counter(cpuMs, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_CloseWithRows)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

using Clock = std::chrono::steady_clock;

// Watches a window's event loop from outside: a _NET_WM_PING goes to the window every few
// milliseconds and the toolkit answers each one from its event loop, so a reply that comes late
// shows the loop was held up until then.
class LoopWatch {
  public:
    LoopWatch(const QString& display, unsigned long window)
        : display_(XOpenDisplay(display.toLocal8Bit().constData())), window_(window) {
        if (!display_) return;
        root_ = DefaultRootWindow(display_);
        protocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
        ping_ = XInternAtom(display_, "_NET_WM_PING", False);
        // The answer goes to the root window with the structure mask.
        XSelectInput(display_, root_, StructureNotifyMask);
        XSync(display_, False);
    }
    ~LoopWatch() {
        if (display_) XCloseDisplay(display_);
    }
    LoopWatch(const LoopWatch&) = delete;
    LoopWatch& operator=(const LoopWatch&) = delete;

    // The time from since to the last late answer, once the loop has answered every ping
    // promptly for settle; negative when the window never answered within timeout.
    std::chrono::microseconds busyUntil(
        Clock::time_point since, std::chrono::milliseconds settle = std::chrono::seconds(1),
        std::chrono::milliseconds timeout = std::chrono::seconds(120)) {
        using namespace std::chrono_literals;
        constexpr auto kInterval = 5ms;
        constexpr auto kLate = 40ms;
        if (!display_) return std::chrono::microseconds(-1);
        std::map<long, Clock::time_point> sent;
        long next = 0;
        Clock::time_point lastLate = since;
        bool answered = false;
        Clock::time_point nextPing = Clock::now();
        const Clock::time_point end = Clock::now() + timeout;
        while (Clock::now() < end) {
            const Clock::time_point now = Clock::now();
            if (answered && now - lastLate > settle) break;
            if (now >= nextPing) {
                send(next);
                sent[next++] = now;
                nextPing = now + kInterval;
            }
            while (XPending(display_)) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type != ClientMessage || event.xclient.message_type != protocols_ ||
                    Atom(event.xclient.data.l[0]) != ping_ ||
                    (unsigned long)event.xclient.data.l[2] != window_)
                    continue;
                const auto found = sent.find(event.xclient.data.l[3]);
                if (found == sent.end()) continue;
                const Clock::time_point replied = Clock::now();
                answered = true;
                if (replied - found->second > kLate) lastLate = replied;
                sent.erase(found);
            }
            pollfd pfd{ConnectionNumber(display_), POLLIN, 0};
            ::poll(&pfd, 1, 1);
        }
        if (!answered) return std::chrono::microseconds(-1);
        return std::chrono::duration_cast<std::chrono::microseconds>(lastLate - since);
    }

  private:
    void send(long sequence) {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window_;
        event.xclient.message_type = protocols_;
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(ping_);
        event.xclient.data.l[1] = CurrentTime;
        event.xclient.data.l[2] = long(window_);
        event.xclient.data.l[3] = sequence;
        XSendEvent(display_, window_, False, NoEventMask, &event);
        XFlush(display_);
    }

    Display* display_;
    unsigned long window_;
    Window root_ = 0;
    Atom protocols_ = 0;
    Atom ping_ = 0;
};

// A varied list file typed into "Load Name/Values From Text File" and Enter pressed, in a window
// that has never held rows: from the key to the end of the last hold-up of the event loop
// (reading, appending, the view taking the rows in and painting them).
void BM_LoadThroughDialog(benchmark::State& state) {
    using namespace std::chrono_literals;
    XvfbServer x;
    if (x.display().isEmpty()) {
        state.SkipWithError("Xvfb could not start");
        return;
    }
    const QString title = QStringLiteral("Quorvel Wedge Studio Deluxe");
    const QString dialogTitle =
        QStringLiteral("Load List\\(s\\) - Hold Ctrl to select multiple list files");
    double cpuMs = 0;
    for (auto _ : state) {
        ProgramRun run(x);
        const QString path = QDir(run.home()).filePath(QStringLiteral("list.txt"));
        if (!writeListFile(path, state.range(0))) {
            state.SkipWithError("cannot write the list file");
            break;
        }
        run.start();
        const unsigned long window = run.waitForWindow(title);
        std::this_thread::sleep_for(300ms);
        runTool(x.display(), {"xdotool", "mousemove", "0", "0"});
        run.click(window, 136, 186);  // the centre of the load button
        const unsigned long dialog = run.waitForWindow(dialogTitle);
        if (window == 0 || dialog == 0) {
            state.SkipWithError("no dialog appeared");
            break;
        }
        std::this_thread::sleep_for(300ms);
        run.typeText(dialog, path);
        std::this_thread::sleep_for(300ms);
        LoopWatch watch(x.display(), window);
        const double cpuBefore = run.cpuSeconds();
        const Clock::time_point pressed = Clock::now();
        runTool(x.display(), {"xdotool", "key", "Return"});
        const std::chrono::microseconds busy = watch.busyUntil(pressed);
        cpuMs += (run.cpuSeconds() - cpuBefore) * 1000;
        if (busy.count() < 0) {
            state.SkipWithError("the window stopped answering");
            break;
        }
        state.SetIterationTime(double(busy.count()) / 1e6);
        if (run.signalAndWait(SIGTERM, std::chrono::seconds(60)) != 0 ||
            run.storedData().count(QStringView(kRowTerminator)) != state.range(0)) {
            state.SkipWithError("the rows did not all arrive");
            break;
        }
    }
    state.counters["rows"] = double(state.range(0));
    // The program's CPU time from the key until it settled, including the second's wait.
    state.counters["cpu_ms"] = benchmark::Counter(cpuMs, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_LoadThroughDialog)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
