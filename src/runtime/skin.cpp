#include "runtime/skin.h"

#include "platform/application.h"
#include "platform/controls/skin_engine.h"
#include "platform/failure.h"
#include "runtime/file_exists.h"
#include "windows/form1.h"
#include "windows/window_look.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Only an ordinary file counts: a folder of that name, a hidden file or a link that leads nowhere
// means no skin. The path is taken as it stands, never as a pattern.
bool isSkinFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

}  // namespace

QString skinFilePath(const QString& programFolder) {
    return programFile(programFolder,
                       QStringLiteral("x") + QDir::separator() + QStringLiteral("o.cjs"));
}

void ApplySkin(Form1& form) {
    const QString path = skinFilePath(form.platform.application->programFolder());
    if (!isSkinFile(path)) return;
    ApplyButtonFaceColor(form);
    if (!form.SkinFramework1) throw Failure(QStringLiteral("The skin engine is not available."));
    SkinEngine& engine = *form.SkinFramework1;
    // Whether the skin loaded is not looked at: an engine without a skin draws nothing.
    engine.loadSkinFile(path, QString());
    engine.setPopupParts(engine.popupParts() | SkinEngine::kToolTips);
    engine.setSkinControls(true);
    engine.setSkinMessageBoxes(true);
    engine.skinWindow(form);
}

void ApplyButtonFaceColor(QWidget& window) {
    setBackColor(window, kButtonFace);
    for (QWidget* control : windowControls(window)) {
        switch (controlKind(*control)) {
            case ControlKind::OptionButton:
            case ControlKind::CheckBox:
            case ControlKind::Frame:
            case ControlKind::Label:
                setBackColor(*control, kButtonFace);
                break;
            case ControlKind::PictureBox:
            case ControlKind::Other:
                break;
        }
    }
}
