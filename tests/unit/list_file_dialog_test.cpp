#include "fakes/form_fixture.h"
#include "platform/dialogs/common_dialog.h"
#include "slices/list_file.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

TEST(JoinOpenResult, GivesOnePathOrTheFolderThenEachName) {
    struct Case {
        const char* what;
        QStringList paths;
        QStringList parts;  // the result split at NUL
    };
    const Case cases[] = {
        {"cancelled", {}, {""}},
        {"one file", {"/a/b/c.txt"}, {"/a/b/c.txt"}},
        {"one folder", {"/a/b/c.txt", "/a/b/d.txt"}, {"/a/b", "c.txt", "d.txt"}},
        {"typed from two folders", {"/a/b/c.txt", "/a/e/d.txt"}, {"/a", "b/c.txt", "e/d.txt"}},
        {"the root", {"/c.txt", "/d.txt"}, {"/", "c.txt", "d.txt"}},
        {"a name that only starts alike", {"/ab/c.txt", "/a/d.txt"}, {"/", "ab/c.txt", "a/d.txt"}},
        {"a missing name keeps its place",
         {"/a/x.txt", "/a/missing.txt"},
         {"/a", "x.txt", "missing.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(joinOpenResult(c.paths).split(QChar(0)), c.parts);
    }
}

TEST(WindowsFilter, ShowsEachNameOnceAsGivenAndFiltersByItsPatterns) {
    for (const auto& [filter, shown, patterns] :
         {std::tuple("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|",
                     QStringList{"Text Files (*.txt)", "All Files (*.*)"},
                     QStringList{"*.txt", "*"}),
          std::tuple("JPEG (*.jpg)|*.jpg", QStringList{"JPEG (*.jpg)"}, QStringList{"*.jpg"})}) {
        SCOPED_TRACE(filter);
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        setWindowsFilter(dialog, QString::fromLatin1(filter));
        const auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        const auto* files = dialog.findChild<QFileSystemModel*>();
        ASSERT_TRUE(combo && files);
        ASSERT_EQ(combo->count(), shown.size());
        for (int i = 0; i < combo->count(); ++i) {
            dialog.selectNameFilter(dialog.nameFilters().value(i));
            EXPECT_EQ(combo->currentText(), shown.at(i));
            EXPECT_EQ(files->nameFilters(), QStringList(patterns.at(i)));
        }
    }
}

class ListFileDialogTest : public Form1Test {};

TEST_F(ListFileDialogTest, NamesFromTwoFoldersLoadThroughTheJoinedResult) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("one") && QDir(dir.path()).mkpath("two"));
    for (const char* name : {"one/a.txt", "two/b.txt"}) {
        QFile file(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(name).mid(4, 1) + ",1\n");
    }
    load();
    const QString result = joinOpenResult({dir.filePath("two/b.txt"), dir.filePath("one/a.txt")});
    fake.dialogAnswers.push_back([result](CommonDialog& d) { d.FileName = result; });
    PushButton3_Click(*form);
    QCoreApplication::processEvents();
    EXPECT_EQ(rows(), (QStringList{"b=1", "a=1"}));
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST(QtFileDialogs, OpenAndSaveScaleNoNullPictureAndLeaveNoSettingsFileBehind) {
    const QDir config(qEnvironmentVariable("XDG_CONFIG_HOME"));
    const auto all = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
    const QStringList before = config.entryList(all);
    static QStringList warnings;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
            if (text.contains(u"pixmap", Qt::CaseInsensitive)) warnings.append(text);
        });
    QtCommonDialog dialogs(nullptr);
    for (void (CommonDialog::*show)() : {&CommonDialog::ShowOpen, &CommonDialog::ShowSave}) {
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            // The children the open dialog reaches by Qt's own names; a Qt that renames one
            // must fail here, not quietly lose the multiple selection or the typed names.
            for (const char* name : {"listView", "treeView"})
                EXPECT_TRUE(dialog->findChild<QAbstractItemView*>(QLatin1String(name))) << name;
            EXPECT_TRUE(dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")));
            dialog->reject();
        });
        (dialogs.*show)();
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u'\n').toStdString();
    EXPECT_EQ(config.entryList(all), before);
}
