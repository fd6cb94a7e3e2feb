#pragma once
// Finding the program's windows as they come and go, for the chart tests.

#include "e2e_support.h"

#include <QFileInfo>
#include <QStringList>
#include <chrono>
#include <set>
#include <thread>

namespace chart_e2e {

using namespace std::chrono_literals;

inline const QString kTitle = QStringLiteral("Quorvel Wedge Studio Deluxe");

// Centres of the buttons, in client pixels: "Load Sample/Example Data" and "Start Generating
// Chart" of the main window, "Save Pie Chart As JPG" and "Send Pie Chart To Printer" of the chart
// window.
inline constexpr int kSamplesX = 400, kSamplesY = 185;
inline constexpr int kGenerateX = 268, kGenerateY = 433;
inline constexpr int kSaveX = 136, kSaveY = 21;
inline constexpr int kPrintX = 400, kPrintY = 21;

inline std::set<unsigned long> programWindows(ProgramRun& run) {
    std::set<unsigned long> ids;
    const QString found = runTool(
        run.x.display(), {"xdotool", "search", "--onlyvisible", "--class", "quorvel-wedge-studio"});
    for (const QString& id : found.split(u'\n', Qt::SkipEmptyParts)) ids.insert(id.toULong());
    return ids;
}

// The first visible window of the program that is not among the known ones, or 0.
inline unsigned long waitForNewWindow(ProgramRun& run, const std::set<unsigned long>& known,
                                      std::chrono::milliseconds timeout = 20s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end && run.running()) {
        for (unsigned long id : programWindows(run))
            if (!known.count(id)) {
                // Mapped is not yet painted and wired for input.
                std::this_thread::sleep_for(300ms);
                return id;
            }
        std::this_thread::sleep_for(50ms);
    }
    return 0;
}

// A click with --sync waits for the pointer to move, which it never does when it is already on
// the spot; moving it away first keeps a second click at the same place from stalling.
inline void movePointerAway(ProgramRun& run) {
    runTool(run.x.display(), {"xdotool", "mousemove", "0", "0"});
}

inline bool waitUntilGone(ProgramRun& run, unsigned long window,
                          std::chrono::milliseconds timeout = 10s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (!programWindows(run).count(window)) return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

inline bool waitForFile(const QString& path, std::chrono::milliseconds timeout = 10s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (QFileInfo(path).size() > 0) return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

// The main window with the five sample rows, and the chart window generated from them.
struct ChartWindows {
    unsigned long main = 0;
    unsigned long chart = 0;
};

inline ChartWindows openChartOfSamples(ProgramRun& run) {
    ChartWindows w;
    run.start();
    w.main = run.waitForWindow(kTitle);
    if (!w.main) return w;
    std::this_thread::sleep_for(300ms);
    run.click(w.main, kSamplesX, kSamplesY);
    std::this_thread::sleep_for(300ms);
    run.click(w.main, kGenerateX, kGenerateY);
    w.chart = waitForNewWindow(run, {w.main});
    return w;
}

}  // namespace chart_e2e
