#include "fakes/chart_fixture.h"
#include "fakes/program_folder.h"
#include "runtime/pointer.h"
#include "windows/window_look.h"

#include <gtest/gtest.h>
#include <QTest>
#include <QWindow>

namespace {

class ChartHoverTest : public Form2Test {
  protected:
    void open(bool withCursor) {
        folder = std::make_unique<ProgramFolder>();
        if (withCursor) folder->addShipped(kShippedCursor);
        fake.application.folder = folder->path();
        load();
        form->MSChart1->setVisible(true);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        // Qt sends no move to where the pointer already is; start every run from one corner.
        QTest::mouseMove(form->windowHandle(), QPoint(1, 1));
    }
    void moveOnto(QWidget* widget, QPoint at) {
        ASSERT_EQ(form->childAt(at), widget);
        QTest::mouseMove(form->windowHandle(), at);
    }
    QPoint centreOf(QWidget* w) { return w->mapTo(form.get(), w->rect().center()); }

    std::unique_ptr<ProgramFolder> folder;
};

}  // namespace

TEST_F(ChartHoverTest, ButtonsSelectTheHandTheBackgroundRestoresItTheChartLeavesIt) {
    for (bool withCursor : {true, false}) {
        SCOPED_TRACE(withCursor ? "with HAND-M.CUR" : "without HAND-M.CUR");
        open(withCursor);
        QWidget* chart = &form->MSChart1->widget();
        moveOnto(form->PushButton5, centreOf(form->PushButton5));
        EXPECT_EQ(form->pointer.MousePointer, 99);
        EXPECT_EQ(form->cursor().shape(), withCursor ? Qt::BitmapCursor : Qt::ArrowCursor);
        moveOnto(chart, centreOf(chart));
        EXPECT_EQ(form->pointer.MousePointer, 99);
        moveOnto(nullptr, QPoint(2, 2));
        EXPECT_EQ(form->pointer.MousePointer, 0);
        moveOnto(form->PushButton1, centreOf(form->PushButton1));
        EXPECT_EQ(form->pointer.MousePointer, 99);

        setMousePointer(*form, form->pointer, 11);
        moveOnto(nullptr, QPoint(3, 3));
        moveOnto(form->PushButton5, centreOf(form->PushButton5));
        EXPECT_EQ(form->pointer.MousePointer, 11);
        EXPECT_EQ(form->cursor().shape(), Qt::WaitCursor);
        form.reset();
    }
}

TEST_F(ChartHoverTest, TheWindowTakesTheButtonFaceWithOrWithoutTheSkin) {
    for (bool withSkin : {true, false}) {
        SCOPED_TRACE(withSkin ? "with the skin" : "without the skin");
        folder = std::make_unique<ProgramFolder>();
        if (withSkin) folder->addShipped(kShippedSkin);
        fake.application.folder = folder->path();
        load();
        EXPECT_EQ(backColor(*form), kButtonFace);
        EXPECT_EQ(backColor(*form->Creator), kWindowBackground);
    }
}
