#include "e2e_support.h"

#include <gtest/gtest.h>
#include <QSize>
#include <csignal>
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
    const QString kept = QStringLiteral("BMy_Separatora127My_Separatora23");
    struct Case {
        const char* name;
        int signal;  // 0: the close box
    };
    for (const Case& c : {Case{"close box", 0}, Case{"SIGINT", SIGINT}, Case{"SIGHUP", SIGHUP}}) {
        SCOPED_TRACE(c.name);
        ProgramRun run(x);
        run.writeStoredData(QStringLiteral("AMy_Separatora125My_Separatora23") + kept);
        const unsigned long window = startAndWait(run);
        ASSERT_NE(window, 0u);
        // Delete the first row so the store must change to pass.
        run.click(window, 60, 238);
        run.key(window, "Delete");
        std::this_thread::sleep_for(1s);
        if (c.signal == 0)
            run.closeBox(window);
        else
            run.signalAndWait(c.signal);
        EXPECT_EQ(run.waitForExit(), 0);
        EXPECT_EQ(run.storedData(), kept);
    }
}

}  // namespace
