#include "slices/persistence.h"
#include "fakes/form_fixture.h"
#include "platform/failure.h"
#include "platform/store/settings_store.h"
#include "shell/main_window.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdlib>

namespace {

const QString kApp = QStringLiteral("Brakenwel");
const QString kSection = QStringLiteral("Quorvel Wedge Studio Deluxe");
const QString kSep = QString::fromUtf16(kNameValueSeparator);
const QString kEnd = QString::fromUtf16(kRowTerminator);

// The main window over the real settings store in a folder of its own.
class PersistenceTest : public Form1Test {
  protected:
    void SetUp() override {
        Form1Test::SetUp();
        reopenStore();
    }
    // A new store object, as a new run of the program has.
    void reopenStore() {
        store = std::make_unique<QtSettingsStore>(folder.path());
        fake.platform().settings = store.get();
    }
    QString file() const { return folder.filePath("Brakenwel.conf"); }
    void closeAndReopen() {
        int cancel = 0;
        Form_QueryUnload(*form, cancel, 0);
        reopenStore();
        load();
    }
    QStringList roundTrip(const QList<QPair<QString, QString>>& list) {
        QFile::remove(file());
        reopenStore();
        load();
        for (const auto& [name, value] : list) addRow(name, value);
        closeAndReopen();
        return rows();
    }

    QTemporaryDir folder;
    std::unique_ptr<QtSettingsStore> store;
};

QStringList asRows(const QList<QPair<QString, QString>>& list) {
    QStringList out;
    for (const auto& [name, value] : list) out.append(name + u'=' + value);
    return out;
}

}  // namespace

TEST_F(PersistenceTest, ListsOfEveryKindSurviveACloseAndAStart) {
    const QList<QList<QPair<QString, QString>>> lists = {
        {},
        {{"A", "5"}, {"B", "7.5"}},
        {{"", "3"}, {"name", ""}, {"", ""}},
        {{"  blanks  ", " 7 "}, {"a,b,c", "1,000"}, {"\"quoted\" 'single'", "1e3"}},
        {{u"Zürich ünïcödé 日本語 😀"_qs, u"٣"_qs}, {"tab\tand\\back", "x"}},
        {{"line\nbreak", "carriage\rreturn"}, {"UK", "24"}, {"UK", "24"}},
        {{"[Section]", "key=value"}, {"%20;#comment", "@Variant(x)"}},
        {{u"\uFEFFfirst"_qs, u"\uFEFF1"_qs}},
    };
    for (const auto& list : lists) {
        SCOPED_TRACE(asRows(list).join(u'|').toStdString());
        fake.messages.shown.clear();
        EXPECT_EQ(roundTrip(list), asRows(list));
        EXPECT_TRUE(fake.messages.shown.empty());
    }
}

TEST_F(PersistenceTest, LongListsAreStoredWholeAndInOrder) {
    // Well past the 32,766 rows a 16-bit counter could hold.
    load();
    constexpr int kRows = 100000;
    for (int i = 0; i < kRows; ++i)
        addRow(QStringLiteral("name%1").arg(i), QString::number(i % 977));
    closeAndReopen();
    ASSERT_EQ(form->ListView1->count(), kRows);
    for (int i : {0, 1, 32765, 32766, 32767, 65535, kRows - 1}) {
        EXPECT_EQ(form->ListView1->text(i + 1), QStringLiteral("name%1").arg(i));
        EXPECT_EQ(form->ListView1->subItem(i + 1), QString::number(i % 977));
    }
}

TEST_F(PersistenceTest, LongMixedListsSurviveWhereverTheirPartsAreCut) {
    // Commas quote the value and cut it into runs, so ASCII runs and others alternate in the
    // read; rows of every length put markers across every kind of cut.
    load();
    QList<QPair<QString, QString>> list;
    const QString kinds[] = {u"plain"_qs, u"a,b"_qs, u"Zürich"_qs, u"日本,語"_qs, u"😀"_qs};
    for (int i = 0; i < 60000; ++i) {
        QString name = kinds[i % 5] + QString(i % 37, QChar(u'x' + i % 3)) + QString::number(i);
        list.append({name, QString::number(i * 7 % 1000)});
        addRow(list.back().first, list.back().second);
    }
    closeAndReopen();
    EXPECT_EQ(rows(), asRows(list));
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(PersistenceTest, AStoreReplacedAfterTheLookAheadIsReadAsItIsNow) {
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
    {
        QtSettingsStore store;
        store.SaveSetting(kApp, kSection, "Data", "old" + kSep + "1" + kEnd);
    }
    lookAheadAtStore(kApp, kSection, "Data");
    // Most likely once the look is done; its file is replaced by then either way.
    usleep(100000);
    QtSettingsStore().SaveSetting(kApp, kSection, "Data", "a newer one" + kSep + "22" + kEnd);
    QString text;
    {
        QtSettingsStore store;
        text = store.GetSetting(kApp, kSection, "Data");
    }
    qputenv("XDG_CONFIG_HOME", config);
    EXPECT_EQ(text, "a newer one" + kSep + "22" + kEnd);
}

TEST_F(PersistenceTest, AHandWrittenStoreRestoresByTheSeparatorRules) {
    struct Case {
        const char* name;
        QString data;
        QStringList rows;
        QList<int> reportLines;
    };
    const Case cases[] = {
        {"missing", QString(), {}, {}},
        {"empty", QStringLiteral(""), {}, {}},
        {"no terminator at all", "A" + kSep + "5", {"A=5"}, {}},
        {"adjacent terminators",
         "A" + kSep + "5" + kEnd + kEnd + "B" + kSep + "6" + kEnd,
         {"A=5", "B=6"},
         {}},
        {"fields after the value are ignored", "A" + kSep + "5" + kSep + "x" + kEnd, {"A=5"}, {}},
        {"a piece without separator",
         "lonely" + kEnd + "B" + kSep + "6" + kEnd,
         {"lonely=", "B=6"},
         {150}},
        {"separators match case exactly",
         "A" + kSep.toLower() + "5" + kEnd,
         {"A" + kSep.toLower() + "5="},
         {150}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake.messages.shown.clear();
        QFile::remove(file());
        reopenStore();
        if (!c.data.isNull()) store->SaveSetting(kApp, kSection, "Data", c.data);
        reopenStore();
        load();
        EXPECT_EQ(rows(), c.rows);
        QList<int> lines;
        for (const QString& report : reports())
            lines.append(
                report.section(QStringLiteral("at line "), 1).section(QChar(u'\r'), 0, 0).toInt());
        EXPECT_EQ(lines, c.reportLines);
    }
}

TEST_F(PersistenceTest, ASeparatorInsideANameSplitsItAtTheNextStart) {
    load();
    addRow("a" + kEnd + "b", "1");
    closeAndReopen();
    EXPECT_EQ(rows(), QStringList({"a=", "b=1"}));
    EXPECT_EQ(reports().size(), 1);
}

TEST_F(PersistenceTest, AFailedWriteLeavesTheStoredListIntact) {
    store->SaveSetting(kApp, kSection, "Data", "old" + kSep + "1" + kEnd);
    const QByteArray before = [&] {
        QFile f(file());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    struct Case {
        const char* name;
        std::function<void()> breakStore;
        std::function<void()> repair;
    };
    const Case cases[] = {
        {"read-only file", [&] { ::chmod(file().toLocal8Bit().constData(), 0444); },
         [&] { ::chmod(file().toLocal8Bit().constData(), 0644); }},
        {"read-only folder", [&] { ::chmod(folder.path().toLocal8Bit().constData(), 0555); },
         [&] { ::chmod(folder.path().toLocal8Bit().constData(), 0755); }},
    };
    // Root writes through file modes, so under root the write runs as an ordinary user (nobody)
    // who owns the folder and the file, as a user owns their own store.
    const bool root = ::geteuid() == 0;
    static constexpr uid_t kNobody = 65534;
    for (const QString& path : {folder.path(), file(), file() + ".lock"}) {
        if (root && QFileInfo::exists(path)) {
            ASSERT_EQ(::chown(path.toLocal8Bit().constData(), kNobody, kNobody), 0);
        }
    }
    struct AsNobody {
        explicit AsNobody(bool root) : active(root && ::seteuid(kNobody) == 0) {}
        // Every later test needs root back.
        ~AsNobody() {
            if (active && ::seteuid(0) != 0) std::abort();
        }
        const bool active;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            const AsNobody user(root);
            ASSERT_EQ(user.active, root);
            c.breakStore();
            EXPECT_THROW(store->SaveSetting(kApp, kSection, "Data", "new"), Failure);
            c.repair();
        }
        QFile f(file());
        f.open(QIODevice::ReadOnly);
        EXPECT_EQ(f.readAll(), before);
    }
}

TEST_F(PersistenceTest, AFolderInPlaceOfTheStoreFailsTheWriteEvenForRoot) {
    // Found at the start, a folder is set aside; this one comes during the run.
    load();
    ASSERT_TRUE(QDir().mkpath(file()));
    QFile inside(file() + "/keep");
    ASSERT_TRUE(inside.open(QIODevice::WriteOnly));
    inside.write("kept");
    inside.close();
    addRow("A", "5");
    int cancel = 0;
    Form_QueryUnload(*form, cancel, 0);
    ASSERT_EQ(reports().size(), 1);
    EXPECT_TRUE(reports().first().contains(u"Form_QueryUnload at line 108"));
    EXPECT_TRUE(fake.application.ended);
    EXPECT_EQ(fake.application.exitCode, 1) << "a list not stored is no success";
    EXPECT_TRUE(QFileInfo(file()).isDir());
    EXPECT_TRUE(QFile::exists(file() + "/keep"));
}

TEST_F(PersistenceTest, TheStoreIsTheApplicationNameFileWithTheSectionAndKey) {
    store->SaveSetting(kApp, kSection, "Data", "A" + kSep + "5" + kEnd);
    QSettings settings(file(), QSettings::IniFormat);
    EXPECT_EQ(settings.value(kSection + "/Data").toString(), "A" + kSep + "5" + kEnd);
    // A value written as plain text, as by hand, reads back as well.
    {
        QSettings byHand(file(), QSettings::IniFormat);
        byHand.setValue(kSection + "/Data", u"Zürich"_qs + kSep + "5" + kEnd);
    }
    reopenStore();
    EXPECT_EQ(store->GetSetting(kApp, kSection, "Data"), u"Zürich"_qs + kSep + "5" + kEnd);
    EXPECT_EQ(store->GetSetting(kApp, kSection, "Missing", "default"), u"default");
    EXPECT_EQ(store->GetSetting(kApp, "Other section", "Data"), u"");
    store->SaveSetting(kApp, kSection, "Data", "");
    EXPECT_TRUE(QSettings(file(), QSettings::IniFormat).contains(kSection + "/Data"));
    EXPECT_EQ(store->GetSetting(kApp, kSection, "Data", "default"), u"");
}

TEST_F(PersistenceTest, ADamagedStoreThatCannotBeSetAsideIsToldOfAtTheStart) {
    {
        QFile damaged(file());
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(4096, '\0'));
    }
    // Root renames in a read-only folder; an immutable one stops it too.
    const QByteArray path = folder.path().toLocal8Bit();
    const bool immutable = ::geteuid() == 0 && std::system(("chattr +i " + path).constData()) == 0;
    if (!immutable) ::chmod(path.constData(), 0555);
    reopenStore();
    load();
    if (immutable) {
        EXPECT_EQ(std::system(("chattr -i " + path).constData()), 0);
    }
    ::chmod(path.constData(), 0755);
    EXPECT_EQ(fake.messages.texts(),
              QStringList(u"The stored list could not be read, so the list starts empty. The file "
                          u"%1 could not be set aside, so it stays as it is and the list will not "
                          u"be stored at the close."_qs.arg(file())));
}

TEST_F(PersistenceTest, ARelativeConfigHomeIsIgnored) {
    const QByteArray home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", folder.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", "relative");
    QtSettingsStore store;
    store.SaveSetting(kApp, kSection, "Data", "x");
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", config);
    EXPECT_TRUE(QFile::exists(folder.filePath(".config/Brakenwel.conf")));
}
