#pragma once
// Colours and fonts of the windows as built. A colour is a plain 24-bit RGB value or a
// system-colour reference (high bit set, system colour index in the low byte); references are
// kept as they are in the control's BackColor so they follow the palette.

#include <QColor>
#include <QFont>
#include <QPalette>

class QWidget;
class QPushButton;

inline constexpr quint32 kWhite = 0xFFFFFF;
inline constexpr quint32 kButtonFace = 0x8000000F;
inline constexpr quint32 kButtonText = 0x80000012;
inline constexpr quint32 kWindowBackground = 0x80000005;
inline constexpr quint32 kWindowText = 0x80000008;

// Arial, bold, 9 pt: the window font that controls without a font of their own inherit.
QFont windowFont();
// Arial, bold, 11.25 pt: every push button's caption.
QFont buttonFont();

// The palette role a system-colour reference stands for, or NoRole for a plain colour.
QPalette::ColorRole systemColorRole(quint32 colour);
QColor resolveColor(quint32 colour, const QPalette& palette);

// Contrast of two colours as the web's accessibility guidelines measure it: 1 to 21.
double contrastRatio(const QColor& a, const QColor& b);
// Black or white, whichever reads better on the background.
QColor readableTextOn(const QColor& background);

// Sets the widget's BackColor (kept as the "BackColor" property) and paints its background so,
// with the text colour that belongs to it: a system colour's own text colour (button face with
// button text), or black or white on a plain colour. A system-colour reference is resolved again
// whenever the application palette changes.
void setBackColor(QWidget& widget, quint32 colour);
quint32 backColor(const QWidget& widget);

// The kind of a window's control, as the look of the windows tells controls apart. It follows
// the Qt class unless a window says otherwise (a picture box shown by a QLabel is no label).
enum class ControlKind { Other, OptionButton, CheckBox, Frame, Label, PictureBox };
ControlKind controlKind(const QWidget& control);
void setControlKind(QWidget& control, ControlKind kind);
// The window's controls in the window's control order: the order they were made in, a frame's
// or picture box's own controls right after it. Parts that Qt builds inside a control (a
// list's viewport, a chart's pieces) and windows owned by the window are no controls of it.
QList<QWidget*> windowControls(QWidget& window);

// The shared look of every push button: button font, white background, and a caption colour
// that reads on white whatever the desktop's button-text colour is.
void styleButton(QPushButton& button);
