// From process start to the main window on screen, with a stored list of many rows; the real
// executable under its own Xvfb.
#include "e2e_support.h"
#include "slices/persistence.h"

#include <benchmark/benchmark.h>
#include <csignal>

namespace {

QString encodedRows(int rows) {
    QString text;
    text.reserve(qsizetype(rows) * 44);
    for (int i = 0; i < rows; ++i)
        text += QStringLiteral("name%1").arg(i, 6, 10, QLatin1Char('0')) +
                QString::fromUtf16(kNameValueSeparator) + QStringLiteral("12.5") +
                QString::fromUtf16(kRowTerminator);
    return text;
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

}  // namespace

BENCHMARK_MAIN();
