#pragma once
// The common-dialog object of a window: one set of properties serving the open, save and font
// dialogs. Properties are plain fields the caller sets before Show*; the results come back in
// the same fields. A cancelled file dialog leaves FileName empty; a cancelled font dialog leaves
// the font fields as they were.

#include <QString>

class QFileDialog;
class QFont;
class QFontDialog;
class QWidget;

class CommonDialog {
  public:
    virtual ~CommonDialog() = default;

    QString FileName;
    qint32 Flags = 0;
    QString DialogTitle;
    // Windows filter text: "Display|pattern|Display|pattern|"; "*.*" means every name.
    QString Filter;
    QString DefaultExt;

    QString FontName;
    float FontSize = 8;
    bool FontBold = false;
    bool FontItalic = false;

    // The open dialog: one chosen file gives its full path; several give the folder, then each
    // name, all joined by NUL characters.
    virtual void ShowOpen() = 0;
    // The save dialog never asks before replacing a file.
    virtual void ShowSave() = 0;
    virtual void ShowFont() = 0;
};

// The Windows flags the program uses.
inline constexpr qint32 kOfnReadOnly = 0x1;
inline constexpr qint32 kOfnAllowMultiSelect = 0x200;
// Font dialog: without CF_EFFECTS there is no strikeout, underline or colour to choose.
inline constexpr qint32 kCfScreenFonts = 0x1;
inline constexpr qint32 kCfEffects = 0x100;

class QtCommonDialog : public CommonDialog {
  public:
    explicit QtCommonDialog(QWidget* owner);
    void ShowOpen() override;
    void ShowSave() override;
    void ShowFont() override;

  private:
    QWidget* owner_;
};

// Qt's own dialogs keep their history, last folder and view in a settings file of Qt's
// ("QtProject"); the program stores nothing but its list, so from the first call on they keep
// nothing at all. The program's own store names its file and format, and is not affected.
void keepNoDialogState();

// "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|" becomes Qt's "Text Files (*.txt) (*.txt)" and
// "All Files (*.*) (*)" name filters: each name with its patterns in a last bracket.
QStringList qtNameFilters(const QString& windowsFilter);
// Gives a file dialog the filter: each name shown as given, filtering by its patterns.
void setWindowsFilter(QFileDialog& dialog, const QString& windowsFilter);
// Sets a font dialog up from the font fields and flags: the face shown as the installed family
// that stands for it, with the size, bold and italic selected; effects only with CF_EFFECTS.
void prepareFontDialog(QFontDialog& dialog, const CommonDialog& fields);
// The choice on OK: what the user left as the dialog first showed it keeps its field's value, so
// the preset face keeps its name and an unchanged choice stays exactly as it was.
void takeFontChoice(CommonDialog& fields, const QFont& shown, const QFont& chosen);
// The open dialog's result in its Windows shape, from the chosen full paths.
QString joinOpenResult(const QStringList& paths);
