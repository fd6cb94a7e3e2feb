#include "fakes/form_fixture.h"
#include "shell/form1_wiring.h"
#include "shell/pointer.h"
#include "shell/titles.h"
#include "slices/manual_entry.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

class ManualEntryTest : public Form1Test {
protected:
    void SetUp() override {
        Form1Test::SetUp();
        load();
        wireForm1(*form);
    }
    void selectRow(int row) {
        form->ListView1->items().flushAppends();
        form->ListView1->setCurrentIndex(form->ListView1->model()->index(row - 1, 0));
    }
    void setBusy(bool busy) {
        setMousePointer(*form, form->pointer, busy ? pointer_code::kHourglass : pointer_code::kDefault);
    }
};

const QString kAddData = QStringLiteral("Quorvel2021/08/31.Form1.PushButton2_Click");

}  // namespace

TEST_F(ManualEntryTest, AddDataValidatesInOrderAndKeepsTheValueAsTyped) {
    struct Case {
        const char16_t* name;
        const char16_t* value;
        const char16_t* message;  // nullptr: the row is added
    };
    const Case cases[] = {
        {u"", u"", u"You must enter name."},
        {u"", u"5", u"You must enter name."},
        {u"Tea", u"", u"You must enter value"},
        {u"Tea", u"abc", u"You must enter number for value"},
        {u"Tea", u"3,50", u"You must enter number for value"},
        {u"   ", u"4", nullptr},
        {u"Tea", u" 7 ", nullptr},
        {u"Tea", u"1e3", nullptr},
        {u"Tea", u"3.50", nullptr},
        {u"Tea", u"1,000", nullptr},
        {u"Tea", u"1e-400", nullptr},
        {u"Tea", u"1e400", u"You must enter number for value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.name).toStdString() + "/" +
                     QString::fromUtf16(c.value).toStdString());
        form->ListView1->clear();
        fake.messages.shown.clear();
        form->Text1->setText(QString::fromUtf16(c.name));
        form->Text2->setText(QString::fromUtf16(c.value));
        PushButton2_Click(*form);
        if (c.message) {
            ASSERT_EQ(fake.messages.shown.size(), 1u);
            EXPECT_EQ(fake.messages.shown[0].text, QString::fromUtf16(c.message));
            EXPECT_EQ(fake.messages.shown[0].title, applicationTitle());
            EXPECT_EQ(fake.messages.shown[0].icon, MessageIcon::None);
            EXPECT_EQ(form->ListView1->count(), 0);
            EXPECT_EQ(form->Text1->text(), QString::fromUtf16(c.name));
            EXPECT_EQ(form->Text2->text(), QString::fromUtf16(c.value));
        } else {
            EXPECT_TRUE(fake.messages.shown.empty());
            EXPECT_EQ(rows(), QStringList(QString::fromUtf16(c.name) + u'=' + QString::fromUtf16(c.value)));
            EXPECT_TRUE(form->Text1->text().isEmpty());
            EXPECT_TRUE(form->Text2->text().isEmpty());
        }
    }
}

TEST_F(ManualEntryTest, RepeatedRowsAreAppendedAtTheEnd) {
    for (int i = 0; i < 2; ++i) {
        form->Text1->setText("UK");
        form->Text2->setText("24");
        PushButton2_Click(*form);
    }
    EXPECT_EQ(rows(), QStringList({"UK=24", "UK=24"}));
}

TEST_F(ManualEntryTest, EnterInEitherBoxAddsLikeTheButton) {
    for (QLineEdit* box : {form->Text1, form->Text2}) {
        SCOPED_TRACE(box->objectName().toStdString());
        form->ListView1->clear();
        fake.messages.shown.clear();
        form->Text1->setText("Tea");
        form->Text2->setText("");
        QTest::keyClick(box, Qt::Key_Return);
        ASSERT_EQ(fake.messages.texts(), QStringList("You must enter value"));
        form->Text2->setText("2");
        QTest::keyClick(box, Qt::Key_Enter);
        EXPECT_EQ(rows(), QStringList("Tea=2"));
        // Other keys only type.
        QTest::keyClicks(box, "ab");
        EXPECT_EQ(form->ListView1->count(), 1);
    }
}

TEST_F(ManualEntryTest, DeleteWithAnyModifiersAndDoubleClickRemoveTheSelectedRow) {
    for (Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ShiftModifier),
          Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier)}) {
        form->ListView1->clear();
        addRow("A", "1");
        addRow("B", "2");
        addRow("C", "3");
        selectRow(2);
        QTest::keyClick(form->ListView1, Qt::Key_Delete, modifiers);
        EXPECT_EQ(rows(), QStringList({"A=1", "C=3"}));
    }
    selectRow(1);
    QTest::mouseDClick(form->ListView1->viewport(), Qt::LeftButton, {}, QPoint(5, 300));
    EXPECT_EQ(rows(), QStringList({"C=3"}));
    // Other keys do nothing.
    selectRow(1);
    QTest::keyClick(form->ListView1, Qt::Key_Backspace);
    EXPECT_EQ(rows(), QStringList({"C=3"}));
}

TEST_F(ManualEntryTest, RemovalNeedsARowAndASelection) {
    int deleteKey = kKeyCodeDelete;
    ListView1_KeyDown(*form, deleteKey, 0);
    ListView1_DblClick(*form);
    EXPECT_TRUE(fake.messages.shown.empty());
    addRow("A", "1");
    form->ListView1->items().flushAppends();
    form->ListView1->clearSelection();
    form->ListView1->setCurrentIndex(QModelIndex());
    ListView1_DblClick(*form);
    EXPECT_EQ(rows(), QStringList("A=1"));
}

TEST_F(ManualEntryTest, WhileBusyOnlyAddingAndSamplesChangeTheList) {
    addRow("A", "1");
    selectRow(1);
    setBusy(true);
    int deleteKey = kKeyCodeDelete;
    ListView1_KeyDown(*form, deleteKey, 0);
    ListView1_DblClick(*form);
    PushButton7_Click(*form);
    EXPECT_EQ(rows(), QStringList("A=1"));
    form->Text1->setText("B");
    form->Text2->setText("2");
    PushButton2_Click(*form);
    PushButton6_Click(*form);
    EXPECT_EQ(form->ListView1->count(), 7);
    setBusy(false);
    PushButton7_Click(*form);
    EXPECT_EQ(form->ListView1->count(), 0);
    form->Text1->setText("kept");
    PushButton7_Click(*form);  // an empty list: nothing happens, the boxes stay
    EXPECT_EQ(form->Text1->text(), u"kept");
}

TEST_F(ManualEntryTest, SampleRowsAreAppendedEveryTime) {
    addRow("A", "1");
    addRow("B", "2");
    addRow("C", "3");
    PushButton6_Click(*form);
    EXPECT_EQ(rows(), QStringList({"A=1", "B=2", "C=3", "UK=24", "US=20", "Australia=8",
                                   "Germany=32", "France=16"}));
    PushButton6_Click(*form);
    EXPECT_EQ(form->ListView1->count(), 13);
}

TEST_F(ManualEntryTest, HelpShowsTheListFileShape) {
    PushButton4_Click(*form);
    ASSERT_EQ(fake.messages.shown.size(), 1u);
    EXPECT_EQ(fake.messages.shown[0].text,
              u"When loading data from text file the data should look like\r\n\r\nOrange,3\r\n"
              u"Yellow,4\r\nGreen,5\r\n\r\nin order for the data to be imported successfully.");
    EXPECT_EQ(fake.messages.shown[0].title, u"Quorvel Wedge Studio");
    EXPECT_EQ(fake.messages.shown[0].icon, MessageIcon::None);
}

TEST_F(ManualEntryTest, AFailureAtEachStatementOfAddDataIsReportedAndTheRestRuns) {
    struct Case {
        const char16_t* name;
        const char16_t* value;
        int line;
        QStringList rows;
        QStringList messages;  // plain messages after the report
    };
    const Case cases[] = {
        // A failed test enters its block: the row is added although the name test failed.
        {u"Tea", u"5", 100, {"Tea=5"}, {}},
        {u"", u"5", 100, {"=5"}, {}},
        // The value test failed, so the numeric test of the empty value speaks.
        {u"Tea", u"", 102, {}, {"You must enter number for value"}},
        {u"Tea", u"abc", 104, {"Tea=abc"}, {}},
        // Without its row the value has nowhere to go: a second report at 108.
        {u"Tea", u"5", 106, {}, {}},
        {u"Tea", u"5", 108, {"Tea="}, {}},
        {u"Tea", u"5", 110, {"Tea=5"}, {}},
        {u"Tea", u"5", 112, {"Tea=5"}, {}},
        {u"Tea", u"abc", 114, {}, {}},
        {u"Tea", u"", 116, {}, {}},
        {u"", u"", 118, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        form->ListView1->clear();
        fake.messages.shown.clear();
        form->Text1->setText(QString::fromUtf16(c.name));
        form->Text2->setText(QString::fromUtf16(c.value));
        failStatement(kAddData, c.line);
        PushButton2_Click(*form);
        clearStatementFaults();
        EXPECT_EQ(rows(), c.rows);
        ASSERT_FALSE(reports().isEmpty());
        EXPECT_EQ(reports().first(),
                  QStringLiteral("Injected\r\nin %1 at line %2\r\rPlease email screenshot of this "
                                 "message to support@quorvel.example.com")
                      .arg(kAddData)
                      .arg(c.line));
        EXPECT_EQ(reports().size(), c.line == 106 ? 2 : 1);
        QStringList plain = fake.messages.texts();
        plain.erase(std::remove_if(plain.begin(), plain.end(),
                                   [](const QString& t) { return t.contains(u"at line "); }),
                    plain.end());
        EXPECT_EQ(plain, c.messages);
        if (c.line == 110) {
            EXPECT_EQ(form->Text1->text(), u"Tea");
            EXPECT_TRUE(form->Text2->text().isEmpty());
        }
    }
}

TEST_F(ManualEntryTest, AFailureAtEachStatementOfTheSampleRowsKeepsTheOthers) {
    const QString path = QStringLiteral("Quorvel2021/08/31.Form1.PushButton6_Click");
    struct Case {
        int line;
        QStringList rows;
    };
    const Case cases[] = {
        // The first row cannot be added: its value has no row (a second report at 102).
        {100, {"US=20", "Australia=8", "Germany=32", "France=16"}},
        {102, {"UK=", "US=20", "Australia=8", "Germany=32", "France=16"}},
        // A later row cannot be added: its value lands on the row before, which the program
        // still holds.
        {104, {"UK=20", "Australia=8", "Germany=32", "France=16"}},
        {118, {"UK=24", "US=20", "Australia=8", "Germany=32", "France="}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        form->ListView1->clear();
        fake.messages.shown.clear();
        failStatement(path, c.line);
        PushButton6_Click(*form);
        clearStatementFaults();
        EXPECT_EQ(rows(), c.rows);
        ASSERT_FALSE(reports().isEmpty());
        EXPECT_TRUE(reports().first().contains(QStringLiteral("at line %1\r").arg(c.line)));
    }
}

TEST_F(ManualEntryTest, FailuresOfHelpAndClearAreReported) {
    addRow("A", "1");
    failStatement("Quorvel2021/08/31.Form1.PushButton7_Click", 100);
    PushButton7_Click(*form);
    EXPECT_EQ(rows(), QStringList("A=1"));
    failStatement("Quorvel2021/08/31.Form1.PushButton4_Click", 100);
    PushButton4_Click(*form);
    clearStatementFaults();
    ASSERT_EQ(fake.messages.shown.size(), 2u);
    EXPECT_TRUE(reports().at(0).contains(u"PushButton7_Click at line 100"));
    EXPECT_TRUE(reports().at(1).contains(u"PushButton4_Click at line 100"));
}
