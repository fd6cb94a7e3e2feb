// Loading a cursor file: any bytes either give a cursor or a failure with a description, never
// a crash, and a cursor always has a picture with its hot spot on it.
#include "platform/failure.h"
#include "runtime/pointer.h"
#include "support/fuzz_support.h"

#include <QCursor>
#include <QPixmap>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    startFuzzApplication();
    const QString path = scratchFile(QStringLiteral("HAND-M.CUR"), fuzzBytes(data, size));
    try {
        const QCursor cursor = loadCursorFile(path);
        const QPixmap picture = cursor.pixmap();
        FUZZ_CHECK(!picture.isNull(), QStringLiteral("a cursor without a picture"));
        const QPoint hotSpot = cursor.hotSpot();
        FUZZ_CHECK(picture.rect().contains(hotSpot), QStringLiteral("hot spot %1,%2 outside %3x%4")
                                                         .arg(hotSpot.x())
                                                         .arg(hotSpot.y())
                                                         .arg(picture.width())
                                                         .arg(picture.height()));
    } catch (const Failure& failure) {
        FUZZ_CHECK(!failure.description().isEmpty(), QStringLiteral("a failure without a text"));
    }
    return 0;
}
