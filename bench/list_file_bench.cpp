// Loading list files of 1,000, 100,000 and 1,000,000 varied rows as the user meets it: the first
// load into a shown main window that has never held rows, appended and painted. Compared with
// the plainest fast read of the same file (getline, split at the first comma, from_chars). Also
// the peak memory of a process that holds 1,000,000 loaded rows, and of one that reads a file of
// a single very long line.
//
//   list_file_bench                          the benchmarks
//   list_file_bench --generate N FILE        writes a list file of N rows
//   list_file_bench --load FILE              loads FILE into a fresh window and prints the rows,
//                                            the peak memory in KB, the seconds and the reports

#include "fakes/fake_platform.h"
#include "list_file_generator.h"
#include "shell/main_window.h"
#include "slices/list_file.h"
#include "windows/form1.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace {

QTemporaryDir& workDir() {
    static QTemporaryDir dir;
    return dir;
}

const QString& listFile(qsizetype lines) {
    static std::map<qsizetype, QString> files;
    auto found = files.find(lines);
    if (found != files.end()) return found->second;
    const QString path = workDir().filePath(QStringLiteral("list%1.txt").arg(lines));
    if (!writeListFile(path, lines)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return files.emplace(lines, path).first->second;
}

// The main window over the fakes, shown, with its load sequence run.
struct ShownWindow {
    FakePlatform fake;
    std::unique_ptr<Form1> form;
    ShownWindow() {
        form = std::make_unique<Form1>(fake.platform());
        Form_Load(*form);
        form->show();
        QCoreApplication::processEvents();
    }
    // The rows are appended and the view has taken them in and painted.
    void load(const QString& path) {
        fake.dialogAnswers.push_back([path](CommonDialog& d) { d.FileName = path; });
        PushButton3_Click(*form);
        QCoreApplication::processEvents();
        form->ListView1->viewport()->repaint();
    }
};

// The plain read: lines from a stream, split at the first comma, the rest parsed by from_chars.
double plainRead(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    double sum = 0;
    while (std::getline(in, line)) {
        const char* end = line.data() + line.size();
        const char* comma = static_cast<const char*>(std::memchr(line.data(), ',', line.size()));
        if (!comma) continue;
        double number = 0;
        std::from_chars(comma + 1, end, number);
        sum += number;
    }
    return sum;
}

// The main thread's processor time: on a machine shared with other work it varies far less
// than the wall clock.
double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

struct Cost {
    double wall = 1e9;
    double cpu = 1e9;
};

template <class Work>
Cost bestOf(int runs, Work&& work) {
    Cost best;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const double cpu = cpuSeconds();
        work();
        best.cpu = std::min(best.cpu, cpuSeconds() - cpu);
        best.wall = std::min(best.wall, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

void BM_PlainRead(benchmark::State& state) {
    const std::string path = listFile(state.range(0)).toStdString();
    for (auto _ : state) benchmark::DoNotOptimize(plainRead(path));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Each run loads into a new window, so no storage is grown before the timed load.
void BM_LoadListFile(benchmark::State& state) {
    const QString& path = listFile(state.range(0));
    const std::string plainPath = path.toStdString();
    const Cost plain = bestOf(5, [&] { benchmark::DoNotOptimize(plainRead(plainPath)); });
    Cost ours;
    bool complete = true;
    for (auto _ : state) {
        state.PauseTiming();
        auto window = std::make_unique<ShownWindow>();
        state.ResumeTiming();
        const Cost run = bestOf(1, [&] { window->load(path); });
        ours.wall = std::min(ours.wall, run.wall);
        ours.cpu = std::min(ours.cpu, run.cpu);
        state.PauseTiming();
        complete = complete && window->form->ListView1->count() == state.range(0);
        window.reset();
        state.ResumeTiming();
    }
    if (!complete) state.SkipWithError("rows missing");
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["best_ms"] = ours.wall * 1e3;
    state.counters["plain_ms"] = plain.wall * 1e3;
    state.counters["x_plain"] = ours.wall / plain.wall;
    state.counters["x_plain_cpu"] = ours.cpu / plain.cpu;
}

struct DriverResult {
    long long rows = -1;
    double peakMB = 0;
    double seconds = 0;
    int reports = 0;
};

// Loads the file in a fresh process, so that its peak memory is the load's own.
DriverResult loadInDriver(const QString& path) {
    QProcess driver;
    driver.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--load"), path});
    DriverResult result;
    if (!driver.waitForFinished(600000) || driver.exitStatus() != QProcess::NormalExit ||
        driver.exitCode() != 0)
        return result;
    long long peakKb = 0;
    std::sscanf(driver.readAllStandardOutput().constData(), "%lld %lld %lf %d", &result.rows,
                &peakKb, &result.seconds, &result.reports);
    result.peakMB = double(peakKb) / 1024.0;
    return result;
}

void BM_PeakMemory(benchmark::State& state) {
    for (auto _ : state) {
        const DriverResult result = loadInDriver(listFile(state.range(0)));
        if (result.rows != state.range(0)) {
            state.SkipWithError("driver failed");
            return;
        }
        state.counters["rows"] = double(result.rows);
        state.counters["peak_MB"] = result.peakMB;
        state.counters["load_s"] = result.seconds;
    }
}

// A file of one line of that many MB is loaded or refused with a report, and either way the
// process stays within four times the file's size plus 100 MB.
void BM_LongLineMemory(benchmark::State& state) {
    const qint64 bytes = qint64(state.range(0)) << 20;
    const QString path = workDir().filePath(QStringLiteral("long%1.txt").arg(state.range(0)));
    if (!writeOneLineListFile(path, bytes)) {
        state.SkipWithError("cannot write the file");
        return;
    }
    for (auto _ : state) {
        const DriverResult result = loadInDriver(path);
        const double boundMB = 4.0 * double(bytes) / (1 << 20) + 100;
        state.counters["peak_MB"] = result.peakMB;
        state.counters["bound_MB"] = boundMB;
        state.counters["rows"] = double(result.rows);
        state.counters["reports"] = result.reports;
        if (result.rows < 0)
            state.SkipWithError("driver failed");
        else if (result.peakMB > boundMB)
            state.SkipWithError("peak memory beyond the bound");
        else if (result.rows != 1 && result.reports != 1)
            state.SkipWithError("neither loaded nor refused");
    }
    QFile::remove(path);
}

// The process's own peak resident memory in KB. Not getrusage's figure: that one keeps the
// peak of the process that forked this one, from before the exec.
long peakKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

int loadDriver(const QString& path) {
    ShownWindow window;
    QElapsedTimer timer;
    timer.start();
    window.load(path);
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%lld %ld %.3f %d\n", (long long)window.form->ListView1->count(), peakKilobytes(),
                seconds, int(window.fake.messages.shown.size()));
    return 0;
}

}  // namespace

BENCHMARK(BM_PlainRead)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadListFile)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakMemory)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LongLineMemory)->Arg(300)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", (home.path() + "/run").toLocal8Bit());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    if (argc == 4 && std::strcmp(argv[1], "--generate") == 0)
        return writeListFile(QString::fromLocal8Bit(argv[3]), std::atoll(argv[2])) ? 0 : 1;
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--load") == 0)
        return loadDriver(QString::fromLocal8Bit(argv[2]));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
