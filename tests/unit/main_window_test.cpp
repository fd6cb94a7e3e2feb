#include "shell/main_window.h"
#include "fakes/form_fixture.h"
#include "fakes/locale_scope.h"
#include "runtime/titles.h"
#include "shell/qt_translations.h"
#include "slices/persistence.h"
#include "windows/window_look.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QTemporaryDir>
#include <QTranslator>

namespace {

const QString kLoad = QStringLiteral("Quorvel2021/08/31.Form1.Form_Load");
const QString kUnload = QStringLiteral("Quorvel2021/08/31.Form1.Form_QueryUnload");
const QString kApp = QStringLiteral("Brakenwel");
const QString kSection = QStringLiteral("Quorvel Wedge Studio Deluxe");

class MainWindowTest : public Form1Test {
  protected:
    void store(const QString& data) {
        fake.settings.values.insert(FakeSettingsStore::address(kApp, kSection, "Data"), data);
    }
    QString stored() const {
        return fake.settings.values.value(FakeSettingsStore::address(kApp, kSection, "Data"));
    }
    bool stores() const {
        return fake.settings.values.contains(FakeSettingsStore::address(kApp, kSection, "Data"));
    }
    void close() {
        int cancel = 0;
        Form_QueryUnload(*form, cancel, 0);
        EXPECT_EQ(cancel, 0);
    }
};

QString row(const QString& name, const QString& value) {
    return name + QString::fromUtf16(kNameValueSeparator) + value +
           QString::fromUtf16(kRowTerminator);
}

}  // namespace

TEST_F(MainWindowTest, IsLaidOutInTwipsWithItsCaptionsAndFonts) {
    load();
    struct Control {
        QWidget* widget;
        const char* caption;
        QRect geometry;
        qreal pointSize;
    };
    const Control controls[] = {
        {form->PushButton4, "Help", {8, 8, 520, 27}, 11.25},
        {form->Frame1, "Add A Slice Of Pie", {8, 40, 520, 125}, 9},
        {form->Label1, "Name:", {16, 23, 36, 15}, 9},
        {form->Text1, "", {120, 20, 380, 23}, 9},
        {form->Label2, "Value (Number):", {16, 56, 91, 15}, 9},
        {form->Text2, "", {120, 53, 380, 23}, 9},
        {form->PushButton2, "Add Data", {16, 87, 485, 27}, 11.25},
        {form->PushButton3, "Load Name/Values From Text File", {8, 173, 256, 27}, 11.25},
        {form->PushButton6, "Load Sample/Example Data", {272, 172, 256, 27}, 11.25},
        {form->ListView1, "", {8, 208, 520, 169}, 9},
        {form->PushButton5, "Change Font", {8, 384, 256, 27}, 11.25},
        {form->PushButton7, "Clear List", {272, 384, 256, 27}, 11.25},
        {form->PushButton1, "Start Generating Chart", {8, 420, 520, 27}, 11.25},
    };
    for (const Control& c : controls) {
        SCOPED_TRACE(c.widget->objectName().toStdString());
        EXPECT_EQ(c.widget->geometry(), c.geometry);
        EXPECT_EQ(c.widget->font().family(), u"Arial");
        EXPECT_TRUE(c.widget->font().bold());
        EXPECT_DOUBLE_EQ(c.widget->font().pointSizeF(), c.pointSize);
        QString caption;
        if (auto* button = qobject_cast<QAbstractButton*>(c.widget)) caption = button->text();
        if (auto* label = qobject_cast<QLabel*>(c.widget)) caption = label->text();
        if (auto* frame = qobject_cast<QGroupBox*>(c.widget)) caption = frame->title();
        if (auto* box = qobject_cast<QLineEdit*>(c.widget)) caption = box->text();
        EXPECT_EQ(caption, QString::fromLatin1(c.caption));
    }
    EXPECT_EQ(form->size(), QSize(536, 454));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(form->ListView1->toolTip(),
              u"Double-click item to remove it. Move | line to right and out of window to reveal "
              u"full names.");
    for (QWidget* w : {static_cast<QWidget*>(form.get()), static_cast<QWidget*>(form->Frame1),
                       static_cast<QWidget*>(form->Label1), static_cast<QWidget*>(form->Label2)})
        EXPECT_EQ(backColor(*w), kWhite) << w->objectName().toStdString();
}

TEST_F(MainWindowTest, TabOrderFollowsTheTabIndexes) {
    load();
    const QList<QWidget*> expected = {form->ListView1,   form->PushButton3, form->PushButton4,
                                      form->PushButton5, form->PushButton1, form->Text1,
                                      form->Text2,       form->PushButton2, form->PushButton6,
                                      form->PushButton7};
    QWidget* w = form->ListView1;
    for (QWidget* next : expected.mid(1)) {
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || !expected.contains(w)) w = w->nextInFocusChain();
        EXPECT_EQ(w, next) << w->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, LoadSetsTitlesAndColumnsAndRestoresTheList) {
    store(row("A", "5") + row("B", "7.5"));
    load();
    EXPECT_EQ(form->windowTitle(), u"Quorvel Wedge Studio Deluxe");
    EXPECT_FALSE(form->windowIcon().isNull());
    EXPECT_EQ(applicationTitle(), u"Quorvel Wedge Studio");
    QAbstractItemModel* model = form->ListView1->model();
    ASSERT_EQ(model->columnCount(), 2);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), u"Name");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), u" Value");
    EXPECT_EQ(form->ListView1->columnWidth(0), 247);
    EXPECT_EQ(form->ListView1->columnWidth(1), 247);
    EXPECT_EQ(rows(), QStringList({"A=5", "B=7.5"}));
    EXPECT_TRUE(fake.messages.shown.empty());
    EXPECT_FALSE(form->pointer.MouseIcon.has_value());
}

TEST_F(MainWindowTest, AFailureAtEachLoadStatementIsReportedAndStartUpGoesOn) {
    struct Case {
        int line;
        int columns;
        QStringList rows;
    };
    const Case cases[] = {
        {100, 2, {"A=5"}}, {104, 2, {"A=5"}}, {126, 2, {"A=5"}}, {128, 1, {}},
        {130, 1, {}},      {132, 2, {"A=5"}}, {134, 2, {"A=5"}}, {136, 2, {}},
        {138, 2, {"A=5"}}, {140, 2, {}},      {142, 2, {"A=5"}}, {144, 2, {"A=5", "="}},
        {146, 2, {"="}},   {148, 2, {}},      {150, 2, {"A="}},  {152, 2, {"A=5"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        fake.messages.shown.clear();
        store(row("A", "5"));
        failStatement(kLoad, c.line);
        load();
        clearStatementFaults();
        ASSERT_FALSE(reports().isEmpty());
        EXPECT_TRUE(reports().first().startsWith(
            QStringLiteral("Injected\r\nin %1 at line %2\r").arg(kLoad).arg(c.line)));
        // The three statements of line 126 all fail together.
        EXPECT_EQ(form->windowTitle(), c.line == 126 ? u"Form1" : u"Quorvel Wedge Studio Deluxe");
        EXPECT_EQ(form->ListView1->model()->columnCount(), c.columns);
        // The rows are there even with one column missing: the list still holds them.
        if (c.columns == 2) {
            EXPECT_EQ(rows(), c.rows);
        }
    }
}

TEST_F(MainWindowTest, ACursorFileInTheProgramFolderBecomesTheCustomPointer) {
    QTemporaryDir folder;
    fake.application.folder = folder.path();
    // A broken cursor file is reported at 106 and start-up goes on.
    QFile broken(folder.filePath("HAND-M.CUR"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a cursor");
    broken.close();
    load();
    ASSERT_EQ(reports().size(), 1);
    EXPECT_TRUE(reports().first().contains(u"Form_Load at line 106"));
    EXPECT_FALSE(form->pointer.MouseIcon.has_value());
    EXPECT_EQ(form->windowTitle(), u"Quorvel Wedge Studio Deluxe");
}

TEST_F(MainWindowTest, CloseStoresTheListDeliversEventsTwiceAndEnds) {
    load();
    addRow("A", "5");
    addRow("", "");
    addRow(" b ", "1e3");
    close();
    EXPECT_EQ(stored(), row("A", "5") + row("", "") + row(" b ", "1e3"));
    EXPECT_EQ(fake.application.eventPasses, 2);
    EXPECT_TRUE(fake.application.ended);
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(MainWindowTest, AnEmptyListIsStoredAsAnEmptyValue) {
    store(row("old", "1"));
    load();
    form->ListView1->clear();
    close();
    EXPECT_TRUE(stores());
    EXPECT_EQ(stored(), u"");
}

TEST_F(MainWindowTest, AFailureAtEachCloseStatementIsReportedAndTheProgramStillEnds) {
    struct Case {
        int line;
        QString stored;
        int eventPasses;
    };
    const QString both = row("A", "5") + row("B", "6");
    const Case cases[] = {
        {100, both, 2},
        // A failed loop header runs the body once with no row to encode: a report at 104 too.
        {102, QString(), 2},
        {104, QString(), 2},
        {106, row("A", "5"), 2},
        {108, row("old", "1"), 2},
        {110, both, 1},
        {112, both, 1},
        {114, both, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        fake.messages.shown.clear();
        fake.application = FakeApplication();
        store(row("old", "1"));
        load();
        form->ListView1->clear();
        addRow("A", "5");
        addRow("B", "6");
        failStatement(kUnload, c.line);
        close();
        clearStatementFaults();
        ASSERT_FALSE(reports().isEmpty());
        EXPECT_TRUE(reports().first().contains(
            QStringLiteral("Form_QueryUnload at line %1\r").arg(c.line)));
        EXPECT_EQ(stored(), c.stored);
        EXPECT_EQ(fake.application.eventPasses, c.eventPasses);
        EXPECT_EQ(fake.application.ended, c.line != 114);
    }
}

TEST_F(MainWindowTest, AStoreThatCannotBeWrittenIsReportedAtLine108AndStillEnds) {
    store(row("old", "1"));
    load();
    addRow("new", "2");
    fake.settings.failWrites = true;
    close();
    ASSERT_EQ(reports().size(), 1);
    EXPECT_TRUE(
        reports().first().startsWith(u"The settings store cannot be written.\r\nin "
                                     u"Quorvel2021/08/31.Form1.Form_QueryUnload at line 108\r"));
    EXPECT_EQ(stored(), row("old", "1"));
    EXPECT_TRUE(fake.application.ended);
}

TEST_F(MainWindowTest, WithTheDisplayGoneTheListIsStoredOrTheOldOneKeptWithAWordOnStandardError) {
    store(row("old", "1"));
    load();
    addRow("new", "2");
    fake.settings.failWrites = true;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(storeListWithoutWindows(*form));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "The list could not be stored: The settings store cannot be written.\n");
    EXPECT_EQ(stored(), row("old", "1"));
    fake.settings.failWrites = false;
    EXPECT_TRUE(storeListWithoutWindows(*form));
    EXPECT_EQ(stored(), row("old", "1") + row("new", "2"));
    EXPECT_TRUE(fake.messages.shown.empty());
}

// Qt's own texts speak the locale's language when its translations are installed, while the
// windows keep their left-to-right layout even for a right-to-left language.
TEST_F(MainWindowTest, QtsOwnTextsFollowTheLocaleAndTheWindowsStayLeftToRight) {
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm"))
        GTEST_SKIP() << "Qt's translations are not installed";
    const struct {
        QLocale locale;
        bool found;
        QString cancel;
    } cases[] = {
        {kGerman, true, QStringLiteral("Abbrechen")},
        {QLocale(QLocale::Arabic, QLocale::Egypt), true, QString()},
        {QLocale(QLocale::Icelandic, QLocale::Iceland), false, QStringLiteral("Cancel")},
    };
    load();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString());
        const std::unique_ptr<QTranslator> translator(installQtTranslations(c.locale));
        QCoreApplication::processEvents();
        EXPECT_EQ(translator != nullptr, c.found);
        const QString cancel = QCoreApplication::translate("QPlatformTheme", "Cancel");
        if (c.cancel.isEmpty())
            EXPECT_NE(cancel, QStringLiteral("Cancel"));
        else
            EXPECT_EQ(cancel, c.cancel);
        EXPECT_EQ(form->layoutDirection(), Qt::LeftToRight);
    }
}
