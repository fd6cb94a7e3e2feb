// Loading a skin file and drawing a window with it.
//
// Invariants: a file loads exactly when it is at most 1 MiB of valid UTF-8 without NUL; the
// sections never hold more text than the file after its url() paths are made absolute; making
// paths absolute twice changes nothing; and a loaded skin draws a window without a crash.
#include "platform/controls/skin_engine.h"
#include "support/fuzz_support.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QWidget>
#include <memory>

namespace {

bool isValidUtf8(const QByteArray& bytes) {
    QStringDecoder decode(QStringConverter::Utf8);
    const QString text = decode(bytes);
    return !decode.hasError();
}

QWidget& window() {
    static std::unique_ptr<QWidget> w = [] {
        auto made = std::make_unique<QWidget>();
        new QPushButton(QStringLiteral("Help"), made.get());
        new QLineEdit(made.get());
        return made;
    }();
    return *w;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    startFuzzApplication();
    const QByteArray bytes = fuzzBytes(data, size);
    const QString folder = scratchFolder();
    const QString path = scratchFile(QStringLiteral("o.cjs"), bytes);

    QtSkinEngine engine;
    const bool loaded = engine.loadSkinFile(path, QString());
    const bool loadable =
        bytes.size() <= QtSkinEngine::kMaxSkinBytes && !bytes.contains('\0') && isValidUtf8(bytes);
    FUZZ_CHECK(loaded == loadable,
               QStringLiteral("loaded %1, expected %2").arg(loaded).arg(loadable));
    if (!loaded) {
        FUZZ_CHECK(engine.windowSheet().isEmpty(), QStringLiteral("a sheet from no skin"));
        return 0;
    }

    const QString sheet = QString::fromUtf8(bytes);
    const QString resolved = resolveSkinUrls(sheet, folder);
    FUZZ_CHECK(resolveSkinUrls(resolved, folder) == resolved, printable(resolved));
    qsizetype sectionText = 0;
    for (const QString& section : splitSkinSections(resolved)) sectionText += section.size();
    FUZZ_CHECK(sectionText <= resolved.size(), printable(resolved));

    engine.setPopupParts(SkinEngine::kToolTips | SkinEngine::kMenus);
    engine.setSkinControls(true);
    engine.setSkinMessageBoxes(true);
    engine.skinWindow(window());
    window().ensurePolished();
    for (QWidget* child : window().findChildren<QWidget*>()) child->ensurePolished();
    window().setStyleSheet(QString());
    qApp->setStyleSheet(QString());
    return 0;
}
