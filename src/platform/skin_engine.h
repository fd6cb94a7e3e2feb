#pragma once
// The skin engine of the main window: loads a skin from a file and draws a window with it.

#include <QString>

class QWidget;

class SkinEngine {
  public:
    virtual ~SkinEngine() = default;
    virtual void loadSkin(const QString& path, const QString& iniFileName) = 0;
    virtual qint32 options() const = 0;
    virtual void setOptions(qint32 options) = 0;
    virtual void setStyleChildControls(bool on) = 0;
    virtual void setStyleMessageBoxes(bool on) = 0;
    virtual void applyToWindow(QWidget& window) = 0;
};
