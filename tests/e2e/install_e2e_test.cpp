// "make install" into a folder of the test's own: the files land where a desktop expects them,
// and the installed program, started through its link in bin/, finds its skin and hand cursor.
#include "e2e_support.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <csignal>
#include <thread>
// Last: Xlib's macros (None, Status, Bool) clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

namespace {

using namespace std::chrono_literals;

const QString kPrefix = QStringLiteral("/usr/local");
const QString kName = QStringLiteral("quorvel-wedge-studio");
const QString kTitle = QStringLiteral("Quorvel Wedge Studio Deluxe");

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A checker's verdict on an installed file: its exit code and what it printed, or -1 with
// nothing when the checker is not installed.
std::pair<int, QString> check(const QString& checker, const QStringList& arguments) {
    const QString program = QStandardPaths::findExecutable(checker);
    if (program.isEmpty()) return {-1, QString()};
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(program, arguments);
    run.waitForFinished(60000);
    return {run.exitStatus() == QProcess::NormalExit ? run.exitCode() : -2,
            QString::fromLocal8Bit(run.readAll())};
}

// What a symbolic link says, as written.
QString linkText(const QString& path) {
    char target[4096];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), target, sizeof target);
    return n < 0 ? QString() : QFile::decodeName(QByteArray(target, int(n)));
}

class InstallTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        destDir_ = new QTemporaryDir;
        QProcess install;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), destDir_->path());
        install.setProcessEnvironment(env);
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QStringLiteral(QWS_CMAKE),
                      {"--install", QStringLiteral(QWS_BUILD_DIR), "--prefix", kPrefix});
        install.waitForFinished(120000);
        installLog_ = new QString(QString::fromLocal8Bit(install.readAll()));
        installed_ = install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0;
    }
    static void TearDownTestSuite() {
        delete destDir_;
        delete installLog_;
    }
    void SetUp() override { ASSERT_TRUE(installed_) << installLog_->toStdString(); }

    static QString installed(const QString& path) { return destDir_->path() + kPrefix + path; }
    static QString programFolder() { return installed(QStringLiteral("/lib/") + kName); }

    static inline QTemporaryDir* destDir_ = nullptr;
    static inline QString* installLog_ = nullptr;
    static inline bool installed_ = false;
};

TEST_F(InstallTest, PutsTheProgramFolderItsLinkTheDesktopEntryAndTheIconsInPlace) {
    const QFileInfo program(programFolder() + u'/' + kName);
    EXPECT_TRUE(program.isFile() && program.isExecutable());
    for (const QString& file : {QStringLiteral("HAND-M.CUR"), QStringLiteral("x/o.cjs")}) {
        SCOPED_TRACE(file.toStdString());
        const QByteArray shipped = bytesOf(QStringLiteral(QWS_SHIPPED_PROGRAM_FILES) + u'/' + file);
        ASSERT_FALSE(shipped.isEmpty());
        EXPECT_EQ(bytesOf(programFolder() + u'/' + file), shipped);
    }

    // Relative, so the installed tree can move as a whole (a package, a chroot, DESTDIR).
    const QString link = installed(QStringLiteral("/bin/") + kName);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(linkText(link), QStringLiteral("../lib/") + kName + u'/' + kName);
    EXPECT_EQ(QFileInfo(link).canonicalFilePath(), program.canonicalFilePath());

    const QString desktop =
        installed(QStringLiteral("/share/applications/") + kName + QStringLiteral(".desktop"));
    const QByteArray entry = bytesOf(desktop);
    EXPECT_TRUE(entry.contains("\nExec=" + kName.toUtf8() + " %F\n"));
    EXPECT_TRUE(entry.contains("\nMimeType=text/plain;text/csv;\n"));
    EXPECT_TRUE(entry.contains("\nIcon=" + kName.toUtf8() + '\n'));
    EXPECT_TRUE(entry.contains("\nName=Quorvel Wedge Studio Deluxe\n"));
    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (!validator.isEmpty()) {
        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start(validator, {desktop});
        validate.waitForFinished(30000);
        EXPECT_EQ(validate.exitCode(), 0) << validate.readAll().toStdString();
    }

    for (const QString& size : QStringLiteral(QWS_ICON_SIZES).split(u' ')) {
        SCOPED_TRACE(size.toStdString());
        const QImage icon(installed(QStringLiteral("/share/icons/hicolor/%1x%1/apps/").arg(size)) +
                          kName + QStringLiteral(".png"));
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(icon.size(), QSize(size.toInt(), size.toInt()));
        // A drawing: transparent corners, a pie covering most of the square.
        EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0);
        int opaque = 0;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x) opaque += icon.pixelColor(x, y).alpha() >= 128;
        EXPECT_GT(opaque, icon.width() * icon.height() * 2 / 5);
    }
}

// The metainfo and the manual page land where the package puts them and pass the tools that read
// them; the install manifest lists exactly what was staged, as installed paths (without DESTDIR).
TEST_F(InstallTest, PutsTheMetainfoTheManualPageAndTheScalableIconInPlace) {
    const QString metainfo =
        installed(QStringLiteral("/share/metainfo/org.example.quorvel.wedge_studio.metainfo.xml"));
    const QByteArray component = bytesOf(metainfo);
    EXPECT_TRUE(component.contains("<launchable type=\"desktop-id\">" + kName.toUtf8() +
                                   ".desktop</launchable>"));
    const auto [metainfoCode, metainfoSays] =
        check(QStringLiteral("appstreamcli"), {"validate", "--no-net", "--pedantic", metainfo});
    if (metainfoCode != -1) {
        EXPECT_EQ(metainfoCode, 0) << metainfoSays.toStdString();
        EXPECT_FALSE(metainfoSays.contains(QStringLiteral("W:")) ||
                     metainfoSays.contains(QStringLiteral("P:")))
            << metainfoSays.toStdString();
    }

    // The page names the files of the installed program folder, not the build's.
    const QString page = installed(QStringLiteral("/share/man/man1/") + kName + ".1");
    const QByteArray roff = bytesOf(page);
    EXPECT_TRUE(roff.contains((kPrefix + "/lib/" + kName + "/x/o.cjs").toUtf8()));
    const auto [pageCode, pageSays] = check(QStringLiteral("groff"), {"-ww", "-z", "-man", page});
    if (pageCode != -1) {
        EXPECT_EQ(pageCode, 0);
        EXPECT_TRUE(pageSays.isEmpty()) << pageSays.toStdString();
    }

    const QString svg =
        installed(QStringLiteral("/share/icons/hicolor/scalable/apps/") + kName + ".svg");
    EXPECT_TRUE(bytesOf(svg).contains("<svg "));

    QStringList manifest =
        QString::fromUtf8(bytesOf(QStringLiteral(QWS_BUILD_DIR "/install_manifest.txt")))
            .split(u'\n', Qt::SkipEmptyParts);
    manifest.sort();
    QStringList staged;
    QDirIterator it(destDir_->path(), QDir::Files | QDir::System | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) staged << it.next().mid(destDir_->path().size());
    staged.sort();
    EXPECT_EQ(manifest.join(u'\n').toStdString(), staged.join(u'\n').toStdString());
}

struct CursorImage {
    int width = 0;
    int height = 0;
    int xhot = -1;
    int yhot = -1;
};

// The pointer picture the X server shows once the pointer rests at a point of a window.
CursorImage cursorOver(ProgramRun& run, unsigned long window, int x, int y) {
    runTool(run.x.display(), {"xdotool", "mousemove", "--sync", "--window", QString::number(window),
                              QString::number(x), QString::number(y)});
    // A second, small move: the program's hover handling runs on motion over the control.
    runTool(run.x.display(), {"xdotool", "mousemove_relative", "--sync", "1", "1"});
    std::this_thread::sleep_for(300ms);
    CursorImage found;
    Display* display = XOpenDisplay(run.x.display().toLocal8Bit().constData());
    if (!display) return found;
    if (XFixesCursorImage* image = XFixesGetCursorImage(display)) {
        found = {image->width, image->height, image->xhot, image->yhot};
        XFree(image);
    }
    XCloseDisplay(display);
    return found;
}

TEST_F(InstallTest, TheProgramStartedThroughItsLinkFindsItsSkinAndCursor) {
    XvfbServer x;
    if (x.display().isEmpty()) GTEST_SKIP() << "Xvfb could not start";
    ProgramRun run(x);
    // Started from the bin folder: its own folder is only found by following the link.
    run.start(installed(QStringLiteral("/bin/") + kName));
    const unsigned long window = run.waitForWindow(kTitle);
    ASSERT_NE(window, 0u);
    std::this_thread::sleep_for(300ms);

    // The skin gives the window the button face; without it the window stays white.
    const QString shot = run.home() + QStringLiteral("/window.png");
    int code = -1;
    runTool(x.display(), {"import", "-window", QString::number(window), shot}, &code);
    ASSERT_EQ(code, 0);
    const QImage picture(shot);
    ASSERT_FALSE(picture.isNull());
    EXPECT_NE(picture.pixelColor(3, 3), QColor(Qt::white)) << "the skin was not found";

    // Over "Help" (left 120, top 120 twips) the pointer is the shipped hand: 32 x 32 with its
    // hot spot on the fingertip.
    const CursorImage hand = cursorOver(run, window, 40, 16);
    EXPECT_EQ(hand.width, 32);
    EXPECT_EQ(hand.height, 32);
    EXPECT_EQ(hand.xhot, 7);
    EXPECT_EQ(hand.yhot, 0);

    EXPECT_EQ(run.signalAndWait(SIGTERM), 0);
}

}  // namespace
