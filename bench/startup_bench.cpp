// The real executable under its own Xvfb, timed from outside as a user meets it: from process
// start to the main window on screen with a stored list of many varied rows, from the close
// request to the process gone, and a list file typed into the open dialog, from Enter until the
// rows are in and the window answers again.
#include "e2e_support.h"
#include "list_file_generator.h"
#include "slices/persistence.h"

#include <X11/Xlib.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <algorithm>
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
// The request comes once the window has settled after its start.
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
        // Closed as a user closes it: once the window has settled, not amid the start's own work.
        run.waitUntilIdle();
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

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The least a close that stores these bytes can take: write them to a new file in the store's
// folder, fsync it, rename it over another and sync the folder.
double writeFloorSeconds(const QString& folder, const QByteArray& bytes) {
    const QByteArray part = QFile::encodeName(folder + QStringLiteral("/floor.part"));
    const QByteArray target = QFile::encodeName(folder + QStringLiteral("/floor.conf"));
    const Clock::time_point start = Clock::now();
    const int fd = ::open(part.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    for (qsizetype at = 0; at < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + at, size_t(bytes.size() - at));
        if (n <= 0) break;
        at += n;
    }
    ::fsync(fd);
    ::close(fd);
    ::rename(part.constData(), target.constData());
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    ::fsync(dir);
    ::close(dir);
    return secondsSince(start);
}

// The least a start that reads the store can take: read the whole file.
double readFloorSeconds(const QString& path) {
    const Clock::time_point start = Clock::now();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st = {};
    ::fstat(fd, &st);
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    for (qsizetype at = 0; at < bytes.size();) {
        const ssize_t n = ::read(fd, bytes.data() + at, size_t(bytes.size() - at));
        if (n <= 0) break;
        at += n;
    }
    ::close(fd);
    return secondsSince(start);
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The stored list beside its floors, all measured in one run, as ratios: the close against
// writing, syncing and renaming the same bytes; the start against an empty start plus reading
// the file; a start with 100,000 rows against an empty start; and the most memory a start and
// close with the rows holds against the size of the store. Each figure is the median of a few.
void BM_StoreAgainstItsFloors(benchmark::State& state) {
    using namespace std::chrono_literals;
    XvfbServer x;
    if (x.display().isEmpty()) {
        state.SkipWithError("Xvfb could not start");
        return;
    }
    // Enough rounds that one slow start or sync on a shared machine does not move a median.
    constexpr int kRounds = 7;
    constexpr int kFewRows = 100000;
    for (auto _ : state) {
        ProgramRun empty(x);
        ProgramRun many(x);
        ProgramRun few(x);
        many.writeStoredData(encodedRows(int(state.range(0))));
        few.writeStoredData(encodedRows(kFewRows));
        // One start and close first, so that the stores are in the program's own form.
        for (ProgramRun* run : {&many, &few}) {
            if (run->startAndTimeUntilMapped().count() < 0 || run->signalAndWait(SIGTERM, 120s)) {
                state.SkipWithError("the program did not start and close");
                return;
            }
        }
        const QByteArray stored = fileBytes(many.storeFile());
        std::vector<double> emptyStart, fewStart, start, close, writeFloor, readFloor, peak;
        for (int round = 0; round < kRounds; ++round) {
            emptyStart.push_back(double(empty.startAndTimeUntilMapped().count()) / 1e6);
            empty.signalAndWait(SIGKILL);
            fewStart.push_back(double(few.startAndTimeUntilMapped().count()) / 1e6);
            few.signalAndWait(SIGKILL);
            start.push_back(double(many.startAndTimeUntilMapped().count()) / 1e6);
            many.waitUntilIdle();
            const Clock::time_point closing = Clock::now();
            if (many.signalAndWait(SIGTERM, 120s) != 0) {
                state.SkipWithError("the close did not end with exit code 0");
                return;
            }
            close.push_back(secondsSince(closing));
            peak.push_back(double(many.peakMemoryKiB()) * 1024);
            writeFloor.push_back(writeFloorSeconds(many.configFolder(), stored));
            readFloor.push_back(readFloorSeconds(many.storeFile()));
        }
        if (fileBytes(many.storeFile()) != stored) {
            state.SkipWithError("the close did not store the same bytes again");
            return;
        }
        const double size = double(stored.size());
        state.SetIterationTime(median(start) + median(close));
        state.counters["store_MB"] = size / 1e6;
        state.counters["close_ms"] = median(close) * 1000;
        state.counters["write_floor_ms"] = median(writeFloor) * 1000;
        state.counters["close_ratio"] = median(close) / median(writeFloor);
        state.counters["start_ms"] = median(start) * 1000;
        state.counters["empty_start_ms"] = median(emptyStart) * 1000;
        state.counters["read_floor_ms"] = median(readFloor) * 1000;
        // At most 3: the start costs no more than an empty one and three readings of the file.
        state.counters["start_ratio"] = (median(start) - median(emptyStart)) / median(readFloor);
        state.counters["start_100k_ms"] = median(fewStart) * 1000;
        state.counters["start_100k_ratio"] = median(fewStart) / median(emptyStart);
        state.counters["peak_MB"] = median(peak) / 1e6;
        state.counters["memory_ratio"] = median(peak) / size;
    }
}
BENCHMARK(BM_StoreAgainstItsFloors)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

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
