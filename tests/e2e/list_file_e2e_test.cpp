#include "e2e_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <csignal>
#include <thread>

namespace {

using namespace std::chrono_literals;

const QString kTitle = QStringLiteral("Quorvel Wedge Studio Deluxe");
const QString kDialogTitle =
    QStringLiteral("Load List\\(s\\) - Hold Ctrl to select multiple list files");
const QString kSeparator = QStringLiteral("My_Separatora12");
const QString kTerminator = QStringLiteral("My_Separatora23");

QString stored(const QStringList& rows) {
    QString text;
    for (const QString& row : rows) {
        const qsizetype at = row.indexOf(u'=');
        text += row.left(at) + kSeparator + row.mid(at + 1) + kTerminator;
    }
    return text;
}

class ListFileEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        if (x.display().isEmpty()) GTEST_SKIP() << "Xvfb could not start";
        ASSERT_TRUE(files.isValid());
    }

    QString write(const QString& name, const QByteArray& bytes) {
        QFile file(files.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    // Starts the program and opens "Load Name/Values From Text File"; the dialog's window.
    unsigned long openDialog(ProgramRun& run) {
        run.start();
        const unsigned long window = run.waitForWindow(kTitle);
        if (window == 0) return 0;
        std::this_thread::sleep_for(300ms);
        // The centre of the button: left 120, top 2595, 3840 x 405 twips.
        run.click(window, 136, 186);
        const unsigned long dialog = run.waitForWindow(kDialogTitle);
        std::this_thread::sleep_for(300ms);
        return dialog;
    }

    // A key for whichever window has the focus. A key that closes the window it was sent to by
    // id makes xdotool fail on that window before it releases the key, and the X server then
    // repeats the key into the next window.
    void press(const QString& key) {
        runTool(x.display(), {"xdotool", "key", key});
        std::this_thread::sleep_for(300ms);
    }

    // Types into the dialog's file name box and presses Enter.
    void enter(ProgramRun& run, unsigned long dialog, const QString& text) {
        run.typeText(dialog, text);
        std::this_thread::sleep_for(200ms);
        press(QStringLiteral("Return"));
    }

    bool visible(const QString& name) {
        return !runTool(x.display(),
                        {"xdotool", "search", "--onlyvisible", "--name", "^" + name + "$"})
                    .isEmpty();
    }
    bool waitUntilGone(const QString& name) {
        for (int i = 0; i < 100; ++i) {
            if (!visible(name)) return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    XvfbServer x;
    QTemporaryDir files;
};

TEST_F(ListFileEndToEnd, ATypedPathLoadsItsRows) {
    const QString path = write(QStringLiteral("fruit.txt"), "Orange,3\r\nYellow,4.50\r\nGreen,5");
    ProgramRun run(x);
    const unsigned long dialog = openDialog(run);
    ASSERT_NE(dialog, 0u);
    enter(run, dialog, path);
    ASSERT_TRUE(waitUntilGone(kDialogTitle));
    ASSERT_EQ(run.signalAndWait(SIGTERM), 0);
    EXPECT_EQ(run.storedData(), stored({"Orange=3", "Yellow=4.5", "Green=5"}));
}

TEST_F(ListFileEndToEnd, AFolderTypedIsEnteredAndSeveralNamesLoadInTurn) {
    write(QStringLiteral("a.txt"), "A,1\n");
    write(QStringLiteral("b.txt"), "B,2\n");
    ProgramRun run(x);
    const unsigned long dialog = openDialog(run);
    ASSERT_NE(dialog, 0u);
    enter(run, dialog, files.path());
    ASSERT_TRUE(visible(kDialogTitle));
    enter(run, dialog, QStringLiteral("\"b.txt\" \"a.txt\" \"missing.txt\""));
    // "File not found" for the missing name, in a plain box over the main window.
    ASSERT_NE(run.waitForWindow(QStringLiteral("Quorvel Wedge Studio")), 0u);
    press(QStringLiteral("Return"));
    ASSERT_TRUE(waitUntilGone(QStringLiteral("Quorvel Wedge Studio")));
    ASSERT_EQ(run.signalAndWait(SIGTERM), 0);
    EXPECT_EQ(run.storedData(), stored({"B=2", "A=1"}));
}

TEST_F(ListFileEndToEnd, ANamedPipeIsReportedWithoutAHang) {
    const QString fifo = files.filePath(QStringLiteral("pipe.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString path = write(QStringLiteral("after.txt"), "After,7\n");
    ProgramRun run(x);
    const unsigned long dialog = openDialog(run);
    ASSERT_NE(dialog, 0u);
    enter(run, dialog, fifo);
    const unsigned long report = run.waitForWindow(QStringLiteral("Application Error"));
    ASSERT_NE(report, 0u);
    press(QStringLiteral("Return"));
    ASSERT_TRUE(waitUntilGone(QStringLiteral("Application Error")));
    // The program still answers: a second load works.
    const unsigned long window = run.waitForWindow(kTitle);
    // Away first: a synchronous move to where the pointer already is waits for a move that
    // never comes.
    runTool(x.display(), {"xdotool", "mousemove", "0", "0"});
    run.click(window, 136, 186);
    const unsigned long again = run.waitForWindow(kDialogTitle);
    ASSERT_NE(again, 0u);
    std::this_thread::sleep_for(300ms);
    enter(run, again, path);
    ASSERT_TRUE(waitUntilGone(kDialogTitle));
    ASSERT_EQ(run.signalAndWait(SIGTERM), 0);
    EXPECT_EQ(run.storedData(), stored({"After=7"}));
}

TEST_F(ListFileEndToEnd, NoNameTypedIntoTheDialogFreezesTheProgram) {
    const QString socketPath = files.filePath(QStringLiteral("socket.txt"));
    ASSERT_EQ(runTool(x.display(), {"python3", "-c",
                                    "import socket,sys; socket.socket(socket.AF_UNIX)"
                                    ".bind(sys.argv[1])",
                                    socketPath}),
              QString());
    const QString zero = files.filePath(QStringLiteral("zero.txt"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    for (const QString& name :
         {socketPath, zero, QStringLiteral("/proc"), QStringLiteral("/sys")}) {
        SCOPED_TRACE(name.toStdString());
        ProgramRun run(x);
        run.writeStoredData(stored({"Kept=1"}));
        const unsigned long dialog = openDialog(run);
        ASSERT_NE(dialog, 0u);
        enter(run, dialog, name);
        std::this_thread::sleep_for(500ms);
        // Whatever the name brought up, the program still answers a close of its main window.
        run.closeBox(run.waitForWindow(kTitle));
        EXPECT_EQ(run.waitForExit(5s), 0);
        EXPECT_EQ(run.storedData(), stored({"Kept=1"}));
    }
}

}  // namespace

namespace {

// Files named on the command line or dropped onto the window load as the open dialog's choice
// does: in the order given, across folders, "File not found" for a missing one and the rest
// loaded; a drop while files load (the box is up) is refused.
TEST_F(ListFileEndToEnd, FilesFromTheCommandLineAndDropsLoadLikeTheDialogsChoice) {
    const QString a = write(QStringLiteral("a.txt"), "A,1\n");
    ASSERT_TRUE(QDir(files.path()).mkdir(QStringLiteral("sub")));
    const QString b = write(QStringLiteral("sub/b.txt"), "B,2\r\nB2,3.50\r\n");
    const QString missing = files.filePath(QStringLiteral("missing.txt"));
    struct Case {
        const char* name;
        QStringList arguments;
        QStringList dropped;
        bool dropTaken;
        int notFound;
        QStringList rows;
    };
    const Case cases[] = {
        {"one argument", {a}, {}, false, 0, {"A=1"}},
        {"several arguments in their order",
         {b, a, b},
         {},
         false,
         0,
         {"B=2", "B2=3.5", "A=1", "B=2", "B2=3.5"}},
        {"a missing file among them", {a, missing, b}, {}, false, 1, {"A=1", "B=2", "B2=3.5"}},
        {"a drop", {}, {b, a}, true, 0, {"B=2", "B2=3.5", "A=1"}},
        {"a drop while files load", {missing, a}, {b}, false, 1, {"A=1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramRun run(x);
        run.start(QString(), c.arguments);
        const unsigned long window = run.waitForWindow(kTitle);
        ASSERT_NE(window, 0u);
        int notFound = 0;
        if (!c.dropped.isEmpty()) {
            if (c.notFound > 0) {
                ASSERT_NE(run.waitForWindow(QStringLiteral("Quorvel Wedge Studio")), 0u);
                ++notFound;
            }
            std::this_thread::sleep_for(300ms);
            // Onto the list: left 120, top 3120 twips.
            EXPECT_EQ(run.dropFiles(window, 200, 260, c.dropped), c.dropTaken);
            if (notFound > 0) {
                press(QStringLiteral("Return"));
                ASSERT_TRUE(waitUntilGone(QStringLiteral("Quorvel Wedge Studio")));
            }
        }
        for (; notFound < c.notFound; ++notFound) {
            ASSERT_NE(run.waitForWindow(QStringLiteral("Quorvel Wedge Studio")), 0u);
            press(QStringLiteral("Return"));
            ASSERT_TRUE(waitUntilGone(QStringLiteral("Quorvel Wedge Studio")));
        }
        std::this_thread::sleep_for(300ms);
        ASSERT_EQ(run.signalAndWait(SIGTERM), 0);
        EXPECT_EQ(run.storedData(), stored(c.rows));
    }
}

}  // namespace
