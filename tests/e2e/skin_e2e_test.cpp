#include "e2e_support.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <csignal>
#include <thread>

namespace {

using namespace std::chrono_literals;

// The colour of the main window's background a few pixels in from its corner, as on screen.
QColor backgroundOnScreen(ProgramRun& run, const QString& executable) {
    run.start(executable);
    const unsigned long window = run.waitForWindow(QStringLiteral("Quorvel Wedge Studio Deluxe"));
    if (window == 0) return {};
    std::this_thread::sleep_for(500ms);
    const QString png = run.home() + QStringLiteral("/shot.png");
    runTool(run.x.display(), {"import", "-window", QString::number(window), png});
    run.signalAndWait(SIGTERM);
    QImage shot(png);
    return shot.isNull() ? QColor() : shot.pixelColor(3, 3);
}

}  // namespace

TEST(SkinEndToEnd, TheProgramStartedFromItsFolderShowsTheSkinnedBackground) {
    XvfbServer x;
    if (x.display().isEmpty()) GTEST_SKIP() << "Xvfb could not start";

    // Beside the built executable lie the shipped skin and cursor.
    ProgramRun skinned(x);
    const QColor withSkin = backgroundOnScreen(skinned, programPath());
    ASSERT_TRUE(withSkin.isValid());
    EXPECT_NE(withSkin, QColor(Qt::white));
    EXPECT_EQ(withSkin.red(), withSkin.green());
    EXPECT_EQ(withSkin.green(), withSkin.blue());

    // A copy of the executable alone in a folder has no skin: the window stays white.
    QTemporaryDir alone;
    const QString copy = alone.filePath("quorvel-wedge-studio");
    ASSERT_TRUE(QFile::copy(programPath(), copy));
    QFile::setPermissions(copy, QFile::permissions(copy) | QFileDevice::ExeOwner);
    ProgramRun plain(x);
    EXPECT_EQ(backgroundOnScreen(plain, copy), QColor(Qt::white));
}
