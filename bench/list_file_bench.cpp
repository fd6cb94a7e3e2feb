// Loading list files of 1,000, 100,000 and 1,000,000 rows into a shown main window, against a
// plain C++ read of the same file (split at commas, numbers by std::from_chars), and the peak
// memory of a process that holds 1,000,000 loaded rows.
//
//   list_file_bench                          the benchmarks
//   list_file_bench --generate N FILE        writes a list file of N rows
//   list_file_bench --peak-memory N          loads N rows in a fresh process, prints its peak

#include "fakes/fake_platform.h"
#include "list_file_generator.h"
#include "shell/main_window.h"
#include "slices/list_file.h"
#include "windows/form1.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
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

// The plain read: lines from a stream, fields at every comma, the second parsed by from_chars.
double plainRead(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    double sum = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const char* field = line.data();
        const char* end = line.data() + line.size();
        const char* comma = static_cast<const char*>(std::memchr(field, ',', size_t(end - field)));
        if (!comma) continue;
        const char* value = comma + 1;
        const char* next = static_cast<const char*>(std::memchr(value, ',', size_t(end - value)));
        double number = 0;
        std::from_chars(value, next ? next : end, number);
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

void BM_LoadListFile(benchmark::State& state) {
    const QString& path = listFile(state.range(0));
    const std::string plainPath = path.toStdString();
    const Cost plain = bestOf(5, [&] { benchmark::DoNotOptimize(plainRead(plainPath)); });
    ShownWindow window;
    Cost ours;
    for (auto _ : state) {
        state.PauseTiming();
        window.form->ListView1->clear();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        const Cost run = bestOf(1, [&] { window.load(path); });
        ours.wall = std::min(ours.wall, run.wall);
        ours.cpu = std::min(ours.cpu, run.cpu);
    }
    if (window.form->ListView1->count() != state.range(0)) state.SkipWithError("rows missing");
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["best_ms"] = ours.wall * 1e3;
    state.counters["plain_ms"] = plain.wall * 1e3;
    state.counters["x_plain"] = ours.wall / plain.wall;
    state.counters["x_plain_cpu"] = ours.cpu / plain.cpu;
}

void BM_PeakMemory(benchmark::State& state) {
    for (auto _ : state) {
        QProcess driver;
        driver.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--peak-memory"), QString::number(state.range(0))});
        if (!driver.waitForFinished(120000) || driver.exitCode() != 0) {
            state.SkipWithError("driver failed");
            return;
        }
        long long peakKb = 0;
        long long rows = 0;
        double seconds = 0;
        std::sscanf(driver.readAllStandardOutput().constData(), "%lld %lld %lf", &rows, &peakKb,
                    &seconds);
        state.counters["rows"] = double(rows);
        state.counters["peak_MB"] = double(peakKb) / 1024.0;
        state.counters["load_s"] = seconds;
    }
}

int peakMemoryDriver(qsizetype lines) {
    const QString path = workDir().filePath(QStringLiteral("driver.txt"));
    if (!writeListFile(path, lines)) return 1;
    ShownWindow window;
    QElapsedTimer timer;
    timer.start();
    window.load(path);
    const double seconds = timer.nsecsElapsed() / 1e9;
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%lld %ld %.3f\n", (long long)window.form->ListView1->count(), usage.ru_maxrss,
                seconds);
    return 0;
}

}  // namespace

BENCHMARK(BM_PlainRead)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadListFile)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakMemory)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

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
    if (argc == 3 && std::strcmp(argv[1], "--peak-memory") == 0)
        return peakMemoryDriver(std::atoll(argv[2]));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
