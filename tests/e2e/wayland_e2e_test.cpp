// The program on Wayland with a real seat: a headless sway, keys through a virtual keyboard.
#include "e2e_support.h"
#include "sway_headless.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <thread>

namespace {

using namespace std::chrono_literals;

const QString kTitle = QStringLiteral("Quorvel Wedge Studio Deluxe");

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(100ms);
    }
    return condition();
}

TEST(Wayland, SamplesChartJpegAndACloseUnderADialogKeepTheList) {
    for (const char* tool : {"sway", "swaymsg", "wtype", "grim"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    SwayHeadless sway;
    ASSERT_FALSE(sway.socket().isEmpty()) << "sway could not start";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), sway.socket());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(QFileInfo(programPath()).absolutePath());
    program.start(programPath(), {});
    ASSERT_TRUE(program.waitForStarted());

    // The main window, the focus on the list.
    const auto main = sway.waitForWindows(kTitle);
    ASSERT_EQ(main.size(), 1);
    std::this_thread::sleep_for(500ms);

    // "Load Sample/Example Data" is eight tabs on from the list; back four is "Start Generating
    // Chart", which opens the chart window.
    sway.type({"-k", "Tab", "-k", "Tab", "-k", "Tab", "-k", "Tab", "-k", "Tab", "-k", "Tab", "-k",
               "Tab", "-k", "Tab", "-k", "space"});
    sway.type({"-M", "shift", "-k", "Tab", "-k", "Tab", "-k", "Tab", "-k", "Tab", "-m", "shift",
               "-k", "space"});
    const auto windows = sway.waitForWindows(kTitle, 2);
    ASSERT_EQ(windows.size(), 2) << "no chart window";
    std::this_thread::sleep_for(500ms);
    const QString shot = home.filePath(QStringLiteral("chart.png"));
    ASSERT_TRUE(sway.screenshot(shot));
    EXPECT_FALSE(QImage(shot).isNull());

    // The chart has the focus first, then "Save Pie Chart As JPG"; its dialog takes a typed name.
    const QString jpeg = home.filePath(QStringLiteral("pie.jpg"));
    sway.type({"-k", "Tab", "-k", "space"});
    ASSERT_TRUE(waitFor([&] { return sway.windows().size() == 3; })) << "no save dialog";
    std::this_thread::sleep_for(500ms);
    sway.type({jpeg, "-k", "Return"});
    ASSERT_TRUE(waitFor([&] { return QFileInfo(jpeg).size() > 0; })) << "no JPEG";
    const QImage saved(jpeg);
    EXPECT_FALSE(saved.isNull());

    // The compositor asks the main window to close while the save dialog is open above it.
    sway.type({"-k", "space"});
    ASSERT_TRUE(waitFor([&] { return sway.windows().size() == 3; })) << "no second save dialog";
    sway.close(main.first().first);
    ASSERT_TRUE(program.waitForFinished(10000)) << "the close request was not honoured";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);

    QSettings store(home.filePath(QStringLiteral("config/Brakenwel.conf")), QSettings::IniFormat);
    const QString data = store.value(kTitle + QStringLiteral("/Data")).toString();
    EXPECT_EQ(data.count(QStringLiteral("My_Separatora23")), 5) << data.toStdString();
}

}  // namespace
