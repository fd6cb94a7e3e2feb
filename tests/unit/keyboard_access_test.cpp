// The main window for users of the keyboard alone and of assistive tools: accessible names read
// through Qt's accessibility interface, the whole window driven by Tab, Space, Enter and
// Delete, and message boxes that Enter and Escape dismiss.
#include "fakes/form_fixture.h"
#include "platform/message_box.h"
#include "shell/form1_wiring.h"
#include "windows/window_look.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

class KeyboardAccessTest : public Form1Test {
  protected:
    void SetUp() override {
        Form1Test::SetUp();
        load();
        wireForm1(*form);
    }
    // The window shown and active with the focus on the list, as at start-up.
    void showActive() {
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        form->ListView1->setFocus(Qt::OtherFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), form->ListView1);
    }
    // Each key as from the event loop, which also brings the list view up to date.
    void press(int key) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QCoreApplication::processEvents();
    }
};

QString accessibleName(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QStringLiteral("<no interface>");
}

}  // namespace

TEST_F(KeyboardAccessTest, EveryControlIsNamedByItsCaptionOrLabel) {
    const struct {
        QWidget* control;
        const char* name;
        QAccessible::Role role;
    } controls[] = {
        {form->PushButton4, "Help", QAccessible::Button},
        {form->Frame1, "Add A Slice Of Pie", QAccessible::Grouping},
        {form->Label1, "Name:", QAccessible::StaticText},
        {form->Text1, "Name:", QAccessible::EditableText},
        {form->Label2, "Value (Number):", QAccessible::StaticText},
        {form->Text2, "Value (Number):", QAccessible::EditableText},
        {form->PushButton2, "Add Data", QAccessible::Button},
        {form->PushButton3, "Load Name/Values From Text File", QAccessible::Button},
        {form->PushButton6, "Load Sample/Example Data", QAccessible::Button},
        {form->ListView1, "Slices", QAccessible::Tree},
        {form->PushButton5, "Change Font", QAccessible::Button},
        {form->PushButton7, "Clear List", QAccessible::Button},
        {form->PushButton1, "Start Generating Chart", QAccessible::Button},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.control->objectName().toStdString());
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(c.control);
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->text(QAccessible::Name), QString::fromUtf8(c.name));
        EXPECT_EQ(face->role(), c.role);
    }
    // A control added later without a name shows up here.
    for (QWidget* control : windowControls(*form))
        EXPECT_FALSE(accessibleName(control).isEmpty()) << control->objectName().toStdString();
    EXPECT_EQ(accessibleName(form.get()), u"Quorvel Wedge Studio Deluxe");
    EXPECT_EQ(
        QAccessible::queryAccessibleInterface(form->ListView1)->text(QAccessible::Description),
        form->ListView1->toolTip());

    // The text boxes are labelled by their labels (and, as Qt does, by their frame) for tools
    // that follow the relation.
    for (auto [label, box] :
         {std::pair{form->Label1, form->Text1}, std::pair{form->Label2, form->Text2}}) {
        const auto labels =
            QAccessible::queryAccessibleInterface(box)->relations(QAccessible::Label);
        QList<QObject*> by;
        for (const auto& [face, relation] : labels) by.append(face->object());
        EXPECT_TRUE(by.contains(label));
    }
}

TEST_F(KeyboardAccessTest, TabVisitsEveryControlInTheTabOrderAndComesBackRound) {
    showActive();
    const QList<QWidget*> order = {form->ListView1,   form->PushButton3, form->PushButton4,
                                   form->PushButton5, form->PushButton1, form->Text1,
                                   form->Text2,       form->PushButton2, form->PushButton6,
                                   form->PushButton7, form->ListView1};
    for (QWidget* expected : order.mid(1)) {
        press(Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), expected)
            << "expected " << expected->objectName().toStdString();
    }
    for (QWidget* expected : {form->PushButton7, form->PushButton6}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), expected);
    }
}

TEST_F(KeyboardAccessTest, TheWholeWindowWorksFromTheKeyboard) {
    showActive();
    // Tab to "Load Sample/Example Data" and press it with Space, then with Enter.
    while (QApplication::focusWidget() != form->PushButton6) press(Qt::Key_Tab);
    press(Qt::Key_Space);
    EXPECT_EQ(form->ListView1->count(), 5);
    press(Qt::Key_Return);
    EXPECT_EQ(form->ListView1->count(), 10);

    // Back round to the name box: type a slice and add it with Enter from the value box.
    while (QApplication::focusWidget() != form->Text1) press(Qt::Key_Tab);
    QTest::keyClicks(form->Text1, "Tea");
    press(Qt::Key_Tab);
    QTest::keyClicks(form->Text2, "4");
    press(Qt::Key_Return);
    ASSERT_EQ(form->ListView1->count(), 11);
    EXPECT_EQ(form->ListView1->text(11), u"Tea");

    // And again through "Add Data" pressed with Space.
    QTest::keyClicks(form->Text1, "Milk");
    QTest::keyClicks(form->Text2, "2");
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form->PushButton2);
    press(Qt::Key_Space);
    ASSERT_EQ(form->ListView1->count(), 12);

    // In the list the arrow keys pick a row and Delete removes it.
    while (QApplication::focusWidget() != form->ListView1) press(Qt::Key_Tab);
    press(Qt::Key_End);
    press(Qt::Key_Delete);
    ASSERT_EQ(form->ListView1->count(), 11);
    EXPECT_EQ(form->ListView1->text(11), u"Tea");
    press(Qt::Key_Home);
    press(Qt::Key_Down);
    press(Qt::Key_Delete);
    EXPECT_EQ(form->ListView1->text(2), u"Australia");

    // "Clear List" with Enter empties it; "Help" with Space shows the help text.
    while (QApplication::focusWidget() != form->PushButton7) press(Qt::Key_Tab);
    press(Qt::Key_Enter);
    EXPECT_EQ(form->ListView1->count(), 0);
    fake.messages.shown.clear();
    while (QApplication::focusWidget() != form->PushButton4) press(Qt::Key_Tab);
    press(Qt::Key_Space);
    ASSERT_EQ(fake.messages.shown.size(), 1u);
    EXPECT_TRUE(fake.messages.shown[0].text.startsWith(u"When loading data"));
}

TEST(MessageBoxKeys, EnterAndEscapeDismissTheBox) {
    for (int key : {int(Qt::Key_Return), int(Qt::Key_Enter), int(Qt::Key_Escape)}) {
        SCOPED_TRACE(key);
        QString seen;
        int buttons = 0;
        int width = 0;
        // Answers the box once it is up; the second timer closes it if the key did not, so a
        // failure cannot leave the test waiting. Both end with this round.
        QTimer answer;
        answer.setSingleShot(true);
        QObject::connect(&answer, &QTimer::timeout, &answer, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            seen = box->text();
            buttons = int(box->buttons().size());
            width = box->width();
            QTest::keyClick(box, Qt::Key(key));
        });
        answer.start(50);
        bool forced = false;
        QTimer rescue;
        rescue.setSingleShot(true);
        QObject::connect(&rescue, &QTimer::timeout, &rescue, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                forced = true;
                box->close();
            }
        });
        rescue.start(3000);
        const QString title = QStringLiteral("Quorvel Wedge Studio");
        QtMessageBoxes().show(QStringLiteral("Line one\r\nLine two"), title, MessageIcon::Warning);
        EXPECT_FALSE(forced) << "the key did not close the box";
        EXPECT_EQ(seen, u"Line one\nLine two");
        EXPECT_EQ(buttons, 1);
        // Wide enough for the whole caption beside a title bar's icon and buttons.
        QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
        titleFont.setBold(true);
        EXPECT_GE(width, QFontMetrics(titleFont).horizontalAdvance(title) + 100);
    }
}
