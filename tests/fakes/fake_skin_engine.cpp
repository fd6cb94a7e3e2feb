#include "fakes/fake_skin_engine.h"

#include "platform/failure.h"

#include <QWidget>

namespace {
QString boolText(bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); }
}  // namespace

void FakeSkinEngine::record(const QString& name, const QString& arguments) const {
    script_.calls.append(name + u'(' + arguments + u')');
    if (script_.failAt == name)
        throw Failure(QStringLiteral("The skin engine refused %1.").arg(name));
}

bool FakeSkinEngine::loadSkinFile(const QString& skinFile, const QString& resourceFolder) {
    record(QStringLiteral("loadSkinFile"),
           skinFile + QStringLiteral(", \"") + resourceFolder + u'"');
    return script_.loads;
}

qint32 FakeSkinEngine::popupParts() const {
    record(QStringLiteral("popupParts"), QString());
    return parts_;
}

void FakeSkinEngine::setPopupParts(qint32 parts) {
    record(QStringLiteral("setPopupParts"), QString::number(parts));
    parts_ = parts;
}

void FakeSkinEngine::setSkinControls(bool on) {
    record(QStringLiteral("setSkinControls"), boolText(on));
}

void FakeSkinEngine::setSkinMessageBoxes(bool on) {
    record(QStringLiteral("setSkinMessageBoxes"), boolText(on));
}

void FakeSkinEngine::skinWindow(QWidget& window) {
    record(QStringLiteral("skinWindow"), window.objectName());
}
