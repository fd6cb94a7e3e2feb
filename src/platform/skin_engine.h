#pragma once
// The skin engine of the main window: loads a skin file, a Qt style sheet split into sections by
// marker comments of ours, and draws a window with it.
//
// Sections, each opened by a comment that holds only its marker (text before the first marker
// belongs to @window; a section with an unknown marker is skipped):
//   @window         always drawn on the skinned window
//   @controls       the window's controls, when setSkinControls(true)
//   @tool-tips      the window's tool tips, when popup part kToolTips is set
//   @menus          the window's pop-up menus (a text box's context menu), part kMenus
//   @message-boxes  every message box of the program, when setSkinMessageBoxes(true)
// The window's sections go to the style sheets of the window's controls, so they reach the
// controls' children and pop-ups but not the windows the window owns; the message boxes' go to
// the application's, because a box shown while no
// window is active has no parent to inherit from. A marker may name a variant, "@controls:light"
// or "@controls:dark": it is drawn right after its section, and only while the desktop palette is
// light or dark, so a skin can pair fixed colours on a light desktop and take the desktop's own
// colour pairs on a dark one.

#include <QMap>
#include <QPalette>
#include <QString>
#include <functional>

class QWidget;

class SkinEngine {
  public:
    // Bits of the popup-part set: pop-ups of the window the skin also draws.
    static constexpr qint32 kToolTips = 1;
    static constexpr qint32 kMenus = 2;

    virtual ~SkinEngine() = default;
    // Reads the skin; false when it cannot be read, and then nothing is drawn. Relative url()
    // references resolve against resourceFolder, or the skin file's folder when it is empty.
    virtual bool loadSkinFile(const QString& skinFile, const QString& resourceFolder) = 0;
    virtual qint32 popupParts() const = 0;
    virtual void setPopupParts(qint32 parts) = 0;
    virtual void setSkinControls(bool on) = 0;
    virtual void setSkinMessageBoxes(bool on) = 0;
    // Draws the window's controls with the loaded skin; the window's own background and the
    // windows it owns keep their look.
    virtual void skinWindow(QWidget& window) = 0;
};

// A palette is dark when its window text is lighter than its window.
bool isDarkPalette(const QPalette& palette);

// A skin's sections by marker name, each the style sheet text it holds.
using SkinSections = QMap<QString, QString>;
SkinSections splitSkinSections(const QString& sheet);
// Rewrites relative url() references to absolute paths under folder. With usable given, a
// reference to a path it refuses becomes url(""), which loads nothing.
QString resolveSkinUrls(const QString& sheet, const QString& folder,
                        const std::function<bool(const QString&)>& usable = {});

class QtSkinEngine : public SkinEngine {
  public:
    // Anything larger is not a skin; reading it whole would only stall start-up.
    static constexpr qint64 kMaxSkinBytes = 1 << 20;

    bool loadSkinFile(const QString& skinFile, const QString& resourceFolder) override;
    qint32 popupParts() const override { return popupParts_; }
    void setPopupParts(qint32 parts) override { popupParts_ = parts; }
    void setSkinControls(bool on) override { skinControls_ = on; }
    void setSkinMessageBoxes(bool on) override { skinMessageBoxes_ = on; }
    void skinWindow(QWidget& window) override;

    // The style sheets skinWindow gives the window and the application, for the application
    // palette of the moment; the window follows when the palette turns from light to dark.
    QString windowSheet() const;
    QString messageBoxSheet() const;
    QString windowSheet(bool dark) const;
    QString messageBoxSheet(bool dark) const;

  private:
    SkinSections sections_;
    bool loaded_ = false;
    qint32 popupParts_ = 0;
    bool skinControls_ = false;
    bool skinMessageBoxes_ = false;
};
