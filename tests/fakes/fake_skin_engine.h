#pragma once
// A skin engine that records every call with its arguments and can be told to fail one.

#include "platform/controls/skin_engine.h"

#include <QStringList>

class FakeSkinEngine : public SkinEngine {
  public:
    struct Script {
        QStringList calls;      // "name(arguments)" in the order they came
        QString failAt;         // the member that throws, by name
        qint32 startParts = 0;  // what popupParts() answers before any write
        bool loads = true;      // what loadSkinFile() answers
    };

    explicit FakeSkinEngine(Script& script) : script_(script), parts_(script.startParts) {}

    bool loadSkinFile(const QString& skinFile, const QString& resourceFolder) override;
    qint32 popupParts() const override;
    void setPopupParts(qint32 parts) override;
    void setSkinControls(bool on) override;
    void setSkinMessageBoxes(bool on) override;
    void skinWindow(QWidget& window) override;

  private:
    void record(const QString& name, const QString& arguments) const;

    Script& script_;
    qint32 parts_;
};
