#include "chart_windows.h"
#include "session_end.h"

#include <gtest/gtest.h>
#include <QSize>
#include <csignal>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;

const QString kTitle = QStringLiteral("Quorvel Wedge Studio Deluxe");
const QString kSampleData = QStringLiteral(
    "UKMy_Separatora1224My_Separatora23USMy_Separatora1220My_Separatora23"
    "AustraliaMy_Separatora128My_Separatora23GermanyMy_Separatora1232My_Separatora23"
    "FranceMy_Separatora1216My_Separatora23");

class MainWindowEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        if (x.display().isEmpty()) GTEST_SKIP() << "Xvfb could not start";
    }

    unsigned long startAndWait(ProgramRun& run) {
        run.start();
        const unsigned long window = run.waitForWindow(kTitle);
        // Mapped is not yet painted and wired for input; give the first frame a moment.
        std::this_thread::sleep_for(300ms);
        return window;
    }

    XvfbServer x;
};

TEST_F(MainWindowEndToEnd, OpensWithItsTitleAndFixedClientSize) {
    ProgramRun run(x);
    const unsigned long window = startAndWait(run);
    ASSERT_NE(window, 0u);
    EXPECT_EQ(run.windowTitle(window), kTitle);
    EXPECT_EQ(run.clientSize(window), QSize(536, 454));
    EXPECT_EQ(run.signalAndWait(SIGTERM), 0);
}

TEST_F(MainWindowEndToEnd, SampleRowsClickedSurviveSigtermAndTheNextStart) {
    ProgramRun run(x);
    unsigned long window = startAndWait(run);
    ASSERT_NE(window, 0u);
    // The centre of "Load Sample/Example Data": left 4080, top 2580, 3840 x 405 twips.
    run.click(window, 400, 185);
    // The click must be handled before the signal arrives; on a busy machine that takes a while.
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(run.signalAndWait(SIGTERM), 0);
    EXPECT_EQ(run.storedData(), kSampleData);

    // A second run shows the rows again: closing it without a change stores the same list.
    window = startAndWait(run);
    ASSERT_NE(window, 0u);
    ASSERT_EQ(run.signalAndWait(SIGTERM), 0);
    EXPECT_EQ(run.storedData(), kSampleData);
}

TEST_F(MainWindowEndToEnd, EveryCloseRequestStoresTheList) {
    using namespace chart_e2e;
    const QString kept = QStringLiteral("BMy_Separatora127My_Separatora23");
    enum class End { CloseBox, Signal, XServerKilled, CompositorKilled, LogOut, ManagerGone };
    struct Case {
        const char* name;
        End end;
        int signal;
        bool chartOpen;
    };
    const Case cases[] = {
        {"close box", End::CloseBox, 0, false},
        {"SIGINT", End::Signal, SIGINT, false},
        {"SIGHUP", End::Signal, SIGHUP, false},
        {"X server killed", End::XServerKilled, 0, false},
        {"X server killed under the chart window", End::XServerKilled, 0, true},
        {"Wayland compositor killed", End::CompositorKilled, 0, false},
        {"logout through the session manager", End::LogOut, 0, false},
        {"session manager gone", End::ManagerGone, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        XvfbServer server;  // its own, as some cases kill it
        ProgramRun run(server);
        std::optional<XsmpSessionManager> manager;
        if (c.end == End::LogOut || c.end == End::ManagerGone) {
            manager.emplace();
            run.setEnvironment("SESSION_MANAGER", manager->address().toStdString());
        }
        std::optional<WestonServer> weston;
        const bool wayland = c.end == End::CompositorKilled;
        if (wayland) {
            weston.emplace(run.home() + QStringLiteral("/run"));
            ASSERT_FALSE(weston->name().isEmpty());
            run.setEnvironment("QT_QPA_PLATFORM", "wayland");
            run.setEnvironment("WAYLAND_DISPLAY", weston->name().toStdString());
            // Its protocol log tells when the main window is up; there is no xdotool there.
            run.setEnvironment("WAYLAND_DEBUG", "client");
            run.captureStandardError();
            // Stored without its last terminator, it is stored again with one.
            run.writeStoredData(kept.chopped(15));
        } else {
            run.writeStoredData(QStringLiteral("AMy_Separatora125My_Separatora23") + kept);
        }
        run.start();
        if (manager) {
            ASSERT_TRUE(manager->waitForClient(10s));
        }
        if (wayland) {
            const auto end = std::chrono::steady_clock::now() + 20s;
            while (!run.standardError().contains(u"set_title(\"Quorvel Wedge Studio Deluxe\")") &&
                   std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(50ms);
        } else {
            const unsigned long window = run.waitForWindow(kTitle);
            ASSERT_NE(window, 0u);
            std::this_thread::sleep_for(300ms);
            // Delete the first row so the store must change to pass.
            run.click(window, 60, 238);
            run.key(window, "Delete");
            std::this_thread::sleep_for(1s);
            if (c.chartOpen) {
                run.click(window, kGenerateX, kGenerateY);
                ASSERT_NE(waitForNewWindow(run, {window}), 0u);
            }
            if (c.end == End::CloseBox) run.closeBox(window);
        }
        if (c.end == End::Signal) run.signalAndWait(c.signal);
        if (c.end == End::XServerKilled) server.kill();
        if (c.end == End::CompositorKilled) weston->kill();
        if (c.end == End::LogOut) {
            EXPECT_TRUE(manager->logOut(10s));
        }
        if (c.end == End::ManagerGone) manager->goAway();
        EXPECT_EQ(run.waitForExit(), 0);
        EXPECT_EQ(run.storedData(), kept);
    }
}

TEST_F(MainWindowEndToEnd, TheCloseBoxClosesWhateverModalWindowIsOpen) {
    using namespace chart_e2e;
    struct Case {
        const char* name;
        int x, y;         // the main window's button that opens the first modal window
        bool saveDialog;  // then "Save Pie Chart As JPG" of the chart window
    };
    const Case cases[] = {
        {"help message", 268, 21, false},
        {"open dialog", 136, 186, false},
        {"font dialog", 136, 397, false},
        {"chart window", kGenerateX, kGenerateY, false},
        {"save dialog", kGenerateX, kGenerateY, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramRun run(x);
        run.writeStoredData(kSampleData);
        const unsigned long window = startAndWait(run);
        ASSERT_NE(window, 0u);
        run.click(window, c.x, c.y);
        unsigned long modal = waitForNewWindow(run, {window});
        ASSERT_NE(modal, 0u);
        if (c.saveDialog) {
            run.click(modal, kSaveX, kSaveY);
            ASSERT_NE(waitForNewWindow(run, {window, modal}), 0u);
        }
        run.closeBox(window);
        EXPECT_EQ(run.waitForExit(5s), 0);
        EXPECT_EQ(run.storedData(), kSampleData);
    }
}

TEST_F(MainWindowEndToEnd, ACloseDuringTheRestoreLeavesTheStoreAsItWas) {
    // The piece without a value brings up a report while the list is part way restored.
    const QString data = kSampleData + QStringLiteral("xMy_Separatora23y") + kSampleData;
    for (const bool killX : {false, true}) {
        SCOPED_TRACE(killX ? "X server killed" : "SIGTERM");
        XvfbServer server;
        ProgramRun run(server);
        run.writeStoredData(data);
        run.start();
        ASSERT_NE(run.waitForWindow(QStringLiteral("Application Error")), 0u);
        if (killX) server.kill();
        EXPECT_EQ(killX ? run.waitForExit() : run.signalAndWait(SIGTERM), killX ? 1 : 0);
        EXPECT_EQ(run.storedData(), data);
    }
}

}  // namespace
