#include "slices/list_file.h"
#include "fakes/form_fixture.h"
#include "runtime/titles.h"
#include "shell/form1_wiring.h"

#include <sys/stat.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kPath = QStringLiteral("Quorvel2021/08/31.Form1.PushButton3_Click");

class ListFileTest : public Form1Test {
  protected:
    void SetUp() override {
        Form1Test::SetUp();
        ASSERT_TRUE(dir.isValid());
        load();
        wireForm1(*form);
    }

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return QDir::toNativeSeparators(path);
    }

    void choose(const QString& fileName) {
        fake.dialogAnswers.push_back([fileName](CommonDialog& d) { d.FileName = fileName; });
    }
    // The dialog's shape for several files: the folder, then each name, NUL-separated.
    QString several(const QStringList& names, const QString& folder = QString()) const {
        return (folder.isEmpty() ? QDir::toNativeSeparators(dir.path()) : folder) + QChar(0) +
               names.join(QChar(0));
    }

    void click() {
        PushButton3_Click(*form);
        QCoreApplication::processEvents();
    }

    QStringList plainMessages() const {
        QStringList out;
        for (const ShownMessage& m : fake.messages.shown)
            if (m.title != u"Application Error") out.append(m.text);
        return out;
    }
    QList<int> reportLines() const {
        QList<int> out;
        static const QRegularExpression at(QStringLiteral("in (.*) at line (\\d+)\r\r"));
        for (const QString& report : reports()) {
            const QRegularExpressionMatch match = at.match(report);
            EXPECT_TRUE(match.hasMatch()) << report.toStdString();
            EXPECT_EQ(match.captured(1), kPath);
            out.append(match.captured(2).toInt());
        }
        return out;
    }

    void selectRow(qsizetype row) {
        QCoreApplication::processEvents();
        form->ListView1->setCurrentIndex(form->ListView1->model()->index(int(row - 1), 0));
        ASSERT_EQ(form->ListView1->selectedRow(), row);
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(ListFileTest, SetsTheDialogUpInOrderAndACancelChangesNothing) {
    addRow(QStringLiteral("kept"), QStringLiteral("1"));
    form->CommonDialog1->FileName = QStringLiteral("earlier.txt");
    form->pointer.MousePointer = 99;
    fake.dialogAnswers.push_back([](CommonDialog& d) {
        EXPECT_EQ(d.FileName, QString());
        EXPECT_EQ(d.Flags, 2621953);
        EXPECT_EQ(d.Flags, 0x1 | 0x200 | 0x80000 | 0x200000);
        EXPECT_EQ(d.DialogTitle, u"Load List(s) - Hold Ctrl to select multiple list files");
        EXPECT_EQ(d.Filter, u"Text Files (*.txt)|*.txt|All Files (*.*)|*.*|");
        d.FileName.clear();
    });
    click();
    EXPECT_EQ(fake.dialogCalls, QStringList{"open"});
    EXPECT_EQ(rows(), QStringList{"kept=1"});
    EXPECT_EQ(form->pointer.MousePointer, 99);
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(ListFileTest, EveryLineEndGivesTheSameRowsAndLoadsAppend) {
    const QStringList expected{"Orange=3", "Yellow=4", "Green=5"};
    struct Case {
        const char* what;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"CR LF", "Orange,3\r\nYellow,4\r\nGreen,5\r\n"},
        {"LF only", "Orange,3\nYellow,4\nGreen,5\n"},
        {"CR only", "Orange,3\rYellow,4\rGreen,5\r"},
        {"no final line end", "Orange,3\r\nYellow,4\r\nGreen,5"},
        {"blank and header-less extras", "Orange,3\n\nYellow,4\nnothing\n,,\nGreen,5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        form->ListView1->clear();
        choose(write(QStringLiteral("list.txt"), c.bytes));
        click();
        EXPECT_EQ(rows(), expected);
        EXPECT_EQ(form->pointer.MousePointer, 0);
    }
    choose(write(QStringLiteral("list.txt"), cases[0].bytes));
    click();
    EXPECT_EQ(rows(), expected + expected);
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(ListFileTest, KeepsBadBytesNulAndByteOrderMarkAsText) {
    static const char kBytes[] = "\xEF\xBB\xBFOrange,3\nbad\xFF,4\nnu\0l,5\n";
    choose(write(QStringLiteral("odd.txt"), QByteArray(kBytes, sizeof kBytes - 1)));
    click();
    EXPECT_EQ(rows(),
              (QStringList{QChar(0xFEFF) + QStringLiteral("Orange=3"),
                           QString::fromUtf16(u"bad\uFFFD=4"), QString::fromUtf16(u"nu\0l=5", 6)}));
}

TEST_F(ListFileTest, LoadsSeveralFilesInTheDialogsOrder) {
    write(QStringLiteral("a.txt"), "a,1\n");
    write(QStringLiteral("b.txt"), "b,2\n");
    write(QStringLiteral("c.txt"), "c,3\n");
    choose(several({"c.txt", "a.txt", "b.txt"}));
    // A folder that ends in its separator, as a drive root does.
    choose(several({"a.txt"}, QDir::toNativeSeparators(dir.path()) + QDir::separator()));
    click();
    EXPECT_EQ(rows(), (QStringList{"c=3", "a=1", "b=2"}));
    click();
    EXPECT_EQ(rows(), (QStringList{"c=3", "a=1", "b=2", "a=1"}));
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(ListFileTest, LoadsFarMoreNamesThanAFixedBufferWouldHold) {
    QStringList names;
    for (int i = 0; i < 500; ++i) {
        const QString name = QStringLiteral("a rather long list file name %1.txt").arg(i);
        write(name, "row" + QByteArray::number(i) + "," + QByteArray::number(i) + "\n");
        names.append(name);
    }
    choose(several(names));
    click();
    ASSERT_EQ(form->ListView1->count(), 500);
    EXPECT_EQ(form->ListView1->text(500), u"row499");
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(ListFileTest, AMissingFileIsToldAndTheOthersLoad) {
    write(QStringLiteral("a.txt"), "a,1\n");
    write(QStringLiteral("c.txt"), "c,3\n");
    choose(several({"a.txt", "missing.txt", "c.txt"}));
    choose(dir.filePath(QStringLiteral("typed but missing.txt")));
    click();
    click();
    EXPECT_EQ(rows(), (QStringList{"a=1", "c=3"}));
    ASSERT_EQ(fake.messages.shown.size(), 2u);
    for (const ShownMessage& m : fake.messages.shown) {
        EXPECT_EQ(m.text, u"File not found");
        EXPECT_EQ(m.title, applicationTitle());
        EXPECT_EQ(m.icon, MessageIcon::None);
    }
    EXPECT_EQ(form->pointer.MousePointer, 0);
}

TEST_F(ListFileTest, SpecialFilesAreReportedAndLoadingGoesOn) {
    write(QStringLiteral("a.txt"), "a,1\n");
    write(QStringLiteral("c.txt"), "c,3\n");
    ASSERT_EQ(
        ::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.txt"))).constData(), 0600), 0);
    QDir(dir.path()).mkdir(QStringLiteral("folder.txt"));
    choose(several({"a.txt", "pipe.txt", "folder.txt", "c.txt"}));
    choose(dir.filePath(QStringLiteral("pipe.txt")));
    click();
    click();
    EXPECT_EQ(rows(), (QStringList{"a=1", "c=3"}));
    EXPECT_EQ(reportLines(), (QList<int>{134, 134, 120}));
    const QStringList shown = reports();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_TRUE(shown.at(0).contains(u"a named pipe"));
    EXPECT_TRUE(shown.at(1).contains(u"a folder"));
    EXPECT_TRUE(plainMessages().isEmpty());
    EXPECT_EQ(form->pointer.MousePointer, 0);
}

TEST_F(ListFileTest, RowsBeforeAFailureStayAndTheNextFileLoads) {
    const QString bad = write(QStringLiteral("bad.txt"), "a,1\nb,1e400\nc,3\n");
    write(QStringLiteral("good.txt"), "d,4\n");
    const int openBefore =
        int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
    choose(bad);
    choose(several({"bad.txt", "good.txt"}));
    click();
    click();
    EXPECT_EQ(rows(), (QStringList{"a=1", "b=", "a=1", "b=", "d=4"}));
    EXPECT_EQ(reportLines(), (QList<int>{120, 134}));
    EXPECT_TRUE(
        reports().at(0).startsWith(u"The value \"1e400\" is too large to be a number.\r\n"));
    EXPECT_EQ(
        int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size()),
        openBefore);
}

TEST_F(ListFileTest, RemovalAndClearingWaitWhileFilesLoad) {
    addRow(QStringLiteral("kept"), QStringLiteral("1"));
    write(QStringLiteral("a.txt"), "a,1\n");
    write(QStringLiteral("c.txt"), "c,3\n");
    choose(several({"a.txt", "missing.txt", "c.txt"}));
    bool sawBox = false;
    fake.messages.onShow = [&](const ShownMessage& m) {
        if (m.text != u"File not found") return;
        sawBox = true;
        EXPECT_EQ(form->pointer.MousePointer, 11);
        EXPECT_EQ(form->cursor().shape(), Qt::WaitCursor);
        selectRow(1);
        QTest::keyClick(form->ListView1, Qt::Key_Delete);
        QTest::keyClick(form->ListView1, Qt::Key_Delete, Qt::ShiftModifier);
        // Only the double-click itself: a full press and release would leave the test
        // framework's mouse state behind for later tests.
        QMouseEvent doubleClick(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5),
                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->ListView1->viewport(), &doubleClick);
        form->PushButton7->click();
        EXPECT_EQ(rows(), (QStringList{"kept=1", "a=1"}));
        // Adding is not held back.
        form->PushButton6->click();
        form->Text1->setText(QStringLiteral("typed"));
        form->Text2->setText(QStringLiteral("9"));
        form->PushButton2->click();
        EXPECT_EQ(form->ListView1->count(), 8);
    };
    click();
    ASSERT_TRUE(sawBox);
    EXPECT_EQ(form->pointer.MousePointer, 0);
    EXPECT_EQ(form->ListView1->count(), 9);
    EXPECT_EQ(form->ListView1->text(9), u"c");
    selectRow(1);
    QTest::keyClick(form->ListView1, Qt::Key_Delete);
    EXPECT_EQ(form->ListView1->count(), 8);
    EXPECT_EQ(form->ListView1->text(1), u"a");
}

TEST_F(ListFileTest, AFailedStatementIsReportedAndTheLoadGoesOn) {
    write(QStringLiteral("a.txt"), "a,1\n");
    write(QStringLiteral("b.txt"), "b,2\n");
    enum Choice { Several, Single, Cancel };
    struct Case {
        int line;
        Choice choice;
        QStringList rows;
        QList<int> reports;
        int notFound;
        int pointerAfter = 0;
    };
    const QStringList both{"a=1", "b=2"};
    const Case cases[] = {
        {100, Several, both, {100}, 0},
        {102, Several, both, {102}, 0},
        {104, Several, both, {104}, 0},
        {106, Several, both, {106}, 0},
        {108, Several, {}, {108}, 0},  // no dialog: the name stays empty
        {110, Cancel, {}, {110}, 1},   // the test and its exit are skipped
        {112, Several, {}, {112}, 0},  // no parts: neither branch
        {114, Several, both, {114}, 0},
        {116, Several, {}, {116, 120}, 0},  // the single branch reads the folder
        {118, Single, {}, {118}, 1},        // no path
        {120, Single, {}, {120}, 0},
        {122, Several, both, {122}, 0},
        {124, Several, both, {124}, 1},  // from 0: the folder joined with itself
        {126, Several, {}, {126}, 0},    // up to 0: no name
        {128, Several, {}, {128}, 1},    // the body once, at 0, then the loop ends
        {130, Several, {}, {130, 130}, 2},
        {132, Several, both, {132, 132}, 0},  // an unnormalised path reads just as well
        {134, Several, {}, {134, 134}, 0},
        {136, Several, {"a=1"}, {136}, 0},  // the loop cannot advance
        {138, Several, both, {138}, 0, 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        form->ListView1->clear();
        fake.messages.shown.clear();
        fake.dialogAnswers.clear();
        if (c.choice == Several) choose(several({"a.txt", "b.txt"}));
        if (c.choice == Single) choose(dir.filePath(QStringLiteral("a.txt")));
        failStatement(kPath, c.line);
        click();
        clearStatementFaults();
        EXPECT_EQ(rows(), c.rows);
        EXPECT_EQ(reportLines(), c.reports);
        EXPECT_EQ(plainMessages().count(u"File not found"), c.notFound);
        EXPECT_EQ(form->pointer.MousePointer, c.pointerAfter);
        form->pointer.MousePointer = 0;
    }
}

TEST_F(ListFileTest, AHundredMegabyteLineIsReadLikeAnyOther) {
    QByteArray bytes("big,");
    bytes.append(QByteArray(100 * 1024 * 1024, 'x'));
    bytes.append("\nafter,2");
    choose(write(QStringLiteral("long.txt"), bytes));
    bytes = QByteArray();
    click();
    EXPECT_EQ(rows(), (QStringList{"big=0", "after=2"}));
    EXPECT_TRUE(fake.messages.shown.empty());
}
