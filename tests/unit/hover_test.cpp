#include "shell/hover.h"
#include "fakes/form_fixture.h"
#include "fakes/program_folder.h"
#include "runtime/pointer.h"
#include "shell/form1_wiring.h"
#include "shell/main_window.h"

#include <QHeaderView>
#include <QTest>
#include <QWindow>

namespace {

enum class Place { Button1, Button2, Button4, Background, List, ListHeader, Frame, Text1, Label1 };

const char* nameOf(Place place) {
    switch (place) {
        case Place::Button1:
            return "PushButton1";
        case Place::Button2:
            return "PushButton2 (in the frame)";
        case Place::Button4:
            return "PushButton4";
        case Place::Background:
            return "the window's background";
        case Place::List:
            return "the list's rows";
        case Place::ListHeader:
            return "the list's headers";
        case Place::Frame:
            return "the frame";
        case Place::Text1:
            return "Text1";
        case Place::Label1:
            return "Label1";
    }
    return "";
}

// The main window as the program runs it: wired, loaded and on screen, moves coming in through
// the window system.
class HoverTest : public Form1Test {
  protected:
    void open(bool withCursor) {
        folder = std::make_unique<ProgramFolder>();
        if (withCursor) folder->addShipped(kShippedCursor);
        fake.application.folder = folder->path();
        form = std::make_unique<Form1>(fake.platform());
        wireForm1(*form);
        Form_Load(*form);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        // A button an earlier test left held would turn every move into a drag.
        QTest::mouseRelease(form.get(), Qt::LeftButton, {}, QPoint(3, 3));
        // Qt drops a move to where the pointer already is, and an earlier test may have left it
        // on the very button this one moves to first: start from the background.
        QTest::mouseMove(form->windowHandle(), spotOn(Place::Background).second);
    }

    // The widget that is the place (none for the window's own background) and a point of the
    // window on it.
    std::pair<QWidget*, QPoint> spotOn(Place place) const {
        Form1& f = *form;
        auto centre = [&](QWidget* w) { return std::pair(w, w->mapTo(&f, w->rect().center())); };
        switch (place) {
            case Place::Button1:
                return centre(f.PushButton1);
            case Place::Button2:
                return centre(f.PushButton2);
            case Place::Button4:
                return centre(f.PushButton4);
            case Place::Background:
                return {nullptr, QPoint(3, 3)};
            case Place::List:
                return centre(f.ListView1->viewport());
            case Place::ListHeader:
                return centre(f.ListView1->header()->viewport());
            case Place::Frame:
                return {f.Frame1, f.Frame1->mapTo(&f, QPoint(6, f.Frame1->height() / 2))};
            case Place::Text1:
                return centre(f.Text1);
            case Place::Label1:
                return centre(f.Label1);
        }
        return {};
    }

    void moveTo(Place place) {
        const auto [widget, at] = spotOn(place);
        // The point must really be on the place, or the test would prove nothing.
        ASSERT_EQ(form->childAt(at), widget) << nameOf(place);
        QTest::mouseMove(form->windowHandle(), at);
    }

    std::unique_ptr<ProgramFolder> folder;
};

struct Transition {
    const char* name;
    int start;
    std::vector<std::pair<Place, int>> moves;  // place, then the pointer code after moving there
};

void PrintTo(const Transition& t, std::ostream* os) { *os << t.name; }

class PointerTransitionTest : public HoverTest, public ::testing::WithParamInterface<Transition> {};

TEST_P(PointerTransitionTest, FollowsTheMouse) {
    for (bool withCursor : {true, false}) {
        SCOPED_TRACE(withCursor ? "with HAND-M.CUR" : "without HAND-M.CUR");
        open(withCursor);
        setMousePointer(*form, form->pointer, GetParam().start);
        for (const auto& [place, code] : GetParam().moves) {
            SCOPED_TRACE(nameOf(place));
            moveTo(place);
            EXPECT_EQ(form->pointer.MousePointer, code);
            const Qt::CursorShape shown = form->cursor().shape();
            if (code == 11)
                EXPECT_EQ(shown, Qt::WaitCursor);
            else if (code == 99 && withCursor)
                EXPECT_EQ(shown, Qt::BitmapCursor);
            else
                EXPECT_EQ(shown, Qt::ArrowCursor);
        }
        form.reset();
    }
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, PointerTransitionTest,
    ::testing::Values(
        Transition{"ButtonThenList", 0, {{Place::Button1, 99}, {Place::List, 0}}},
        Transition{"ButtonThenListHeader", 0, {{Place::Button4, 99}, {Place::ListHeader, 0}}},
        Transition{"ButtonThenFrame", 0, {{Place::Button2, 99}, {Place::Frame, 0}}},
        Transition{"ButtonThenBackground", 0, {{Place::Button4, 99}, {Place::Background, 0}}},
        Transition{"ButtonThenTextBox", 0, {{Place::Button2, 99}, {Place::Text1, 99}}},
        Transition{"ButtonThenLabel", 0, {{Place::Button2, 99}, {Place::Label1, 99}}},
        Transition{
            "TextBoxAndLabelKeepTheOrdinaryPointer", 0, {{Place::Text1, 0}, {Place::Label1, 0}}},
        Transition{"EveryButton",
                   0,
                   {{Place::Button1, 99},
                    {Place::Frame, 0},
                    {Place::Button2, 99},
                    {Place::Background, 0},
                    {Place::Button4, 99}}},
        Transition{"BusyStaysBusy",
                   11,
                   {{Place::Button1, 11},
                    {Place::List, 11},
                    {Place::ListHeader, 11},
                    {Place::Frame, 11},
                    {Place::Button2, 11},
                    {Place::Background, 11},
                    {Place::Text1, 11},
                    {Place::Label1, 11}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HoverTest, EveryPushButtonSelectsTheHand) {
    open(true);
    for (PushButton* button : pushButtons(*form)) {
        SCOPED_TRACE(button->objectName().toStdString());
        moveTo(Place::Background);
        ASSERT_EQ(form->pointer.MousePointer, 0);
        QTest::mouseMove(form->windowHandle(), button->mapTo(form.get(), QPoint(5, 5)));
        EXPECT_EQ(form->pointer.MousePointer, 99);
    }
}

}  // namespace
