#include "fakes/form_fixture.h"
#include "fakes/program_folder.h"
#include "runtime/pointer.h"
#include "runtime/titles.h"

#include <sys/stat.h>
#include <QBitmap>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QtEndian>

namespace {

const QPoint kFingertip(7, 0);

TEST(ShippedCursor, IsA32By32WindowsCursorWithItsHotSpotOnTheFingertip) {
    const QByteArray bytes = ProgramFolder::shippedBytes(kShippedCursor);
    ASSERT_GE(bytes.size(), 22);
    EXPECT_EQ(qFromLittleEndian<quint16>(bytes.constData() + 2), 2) << "a cursor, not an icon";
    EXPECT_EQ(quint8(bytes[6]), 32);
    EXPECT_EQ(quint8(bytes[7]), 32);

    ProgramFolder folder;
    folder.addShipped(kShippedCursor);
    const QCursor cursor = loadCursorFile(folder.path() + u'/' + kShippedCursor);
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor.hotSpot(), kFingertip);
    const QImage picture = cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(picture.size(), QSize(32, 32));

    // The hot spot is the topmost point of the drawing, an outline pixel, with the white finger
    // right below it and nothing but transparency in the corners.
    const QColor tip = picture.pixelColor(kFingertip);
    EXPECT_EQ(tip.alpha(), 255);
    EXPECT_LT(tip.lightness(), 64);
    for (int y = 0; y < kFingertip.y(); ++y)
        for (int x = 0; x < 32; ++x) EXPECT_EQ(picture.pixelColor(x, y).alpha(), 0);
    const QColor finger = picture.pixelColor(kFingertip + QPoint(0, 3));
    EXPECT_EQ(finger.alpha(), 255);
    EXPECT_GT(finger.lightness(), 192);
    for (QPoint corner : {QPoint(0, 0), QPoint(31, 0), QPoint(0, 31), QPoint(31, 31)})
        EXPECT_EQ(picture.pixelColor(corner).alpha(), 0);
}

TEST(ShippedCursor, IsDrawnAtTheScreensRatioWithTheHotSpotStillOnTheFingertip) {
    ProgramFolder folder;
    folder.addShipped(kShippedCursor);
    const QImage art = loadCursorFile(folder.path() + u'/' + kShippedCursor).pixmap().toImage();
    for (qreal ratio : {2.0, 1.5}) {
        SCOPED_TRACE(ratio);
        const QCursor cursor = cursorAtRatio(art, kFingertip, ratio);
        const QPixmap pixmap = cursor.pixmap();
        EXPECT_EQ(pixmap.size(), QSize(32, 32) * ratio);
        EXPECT_EQ(pixmap.devicePixelRatio(), ratio);
        // The hot spot, in logical pixels, falls on the fingertip's outline with the white finger
        // below it, as at ratio 1.
        const QImage picture = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        const QPoint tip = cursor.hotSpot() * ratio;
        EXPECT_EQ(picture.pixelColor(tip).alpha(), 255);
        EXPECT_LT(picture.pixelColor(tip).lightness(), 64);
        const QColor finger = picture.pixelColor(tip + QPoint(0, qRound(3 * ratio)));
        EXPECT_EQ(finger.alpha(), 255);
        EXPECT_GT(finger.lightness(), 192);
        EXPECT_EQ(picture.pixelColor(int(5 * ratio) - 1, 0).alpha(), 0) << "the tip stands alone";
    }
}

class CursorLoadTest : public Form1Test {
  protected:
    void SetUp() override {
        Form1Test::SetUp();
        fake.application.folder = folder.path();
    }
    ProgramFolder folder;
};

TEST_F(CursorLoadTest, TheShippedCursorBecomesTheWindowsPicture) {
    folder.addShipped(kShippedCursor);
    Form1& f = load();
    ASSERT_TRUE(f.pointer.MouseIcon.has_value());
    EXPECT_EQ(f.pointer.MouseIcon->hotSpot(), kFingertip);
    EXPECT_EQ(f.pointer.MousePointer, 0) << "the picture is installed, not shown";
    EXPECT_TRUE(reports().isEmpty());
}

TEST_F(CursorLoadTest, ABrokenCursorIsReportedAtLine106AndTheLoadGoesOn) {
    const QByteArray shipped = ProgramFolder::shippedBytes(kShippedCursor);
    QByteArray asIcon = shipped;
    asIcon[2] = 1;
    QByteArray badImage = shipped;
    badImage.replace(22, 40, QByteArray(40, '\x7f'));
    const struct {
        const char* name;
        QByteArray bytes;
        char kind;  // 'f' a file of these bytes, 'd' a folder, 'p' a named pipe
    } cases[] = {
        {"empty", QByteArray(), 'f'},
        {"text", "not a cursor at all, just some words", 'f'},
        {"an icon", asIcon, 'f'},
        {"cut short", shipped.left(30), 'f'},
        {"a damaged picture", badImage, 'f'},
        {"a folder of that name", QByteArray(), 'd'},
        // A reader of a pipe with no writer would wait for ever.
        {"a named pipe", QByteArray(), 'p'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramFolder place;
        if (c.kind == 'd')
            place.makeFolder(kShippedCursor);
        else if (c.kind == 'p')
            ASSERT_EQ(::mkfifo(QFile::encodeName(place.path() + u'/' + kShippedCursor), 0600), 0);
        else
            place.write(kShippedCursor, c.bytes);
        fake.application.folder = place.path();
        fake.messages.shown.clear();
        Form1& f = load();
        ASSERT_EQ(reports().size(), 1);
        EXPECT_TRUE(reports().front().contains(
            QStringLiteral("\r\nin Quorvel2021/08/31.Form1.Form_Load at line 106\r\r")))
            << reports().front().toStdString();
        EXPECT_FALSE(f.pointer.MouseIcon.has_value());
        EXPECT_EQ(f.windowTitle(), productTitle());
        EXPECT_EQ(f.ListView1->items().columns(), 2);
    }
}

}  // namespace
