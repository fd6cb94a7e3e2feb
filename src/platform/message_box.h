#pragma once
// Modal message boxes. The text arrives exactly as the program composes it (CR, LF and all);
// only the Qt adapter turns line breaks into what Qt displays.

#include <QString>
#include <memory>

class QMessageBox;
class QWidget;

enum class MessageIcon { None, Warning };

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Shows one box with a single OK button and waits until the user dismisses it.
    virtual void show(const QString& text, const QString& title, MessageIcon icon) = 0;
};

class QtMessageBoxes : public MessageBoxes {
  public:
    void show(const QString& text, const QString& title, MessageIcon icon) override;
};

// CR LF, lone CR and lone LF each become one line break for display.
QString displayLineBreaks(const QString& text);

// Room in a title bar beside the caption: the window icon and up to three buttons, with margins.
inline constexpr int kTitleBarAllowancePixels = 160;
// The least width of a box that shows the whole caption, in a bold title font.
int messageBoxWidthForTitle(const QString& title);

// The box QtMessageBoxes shows, built but not shown, owned by the window given.
std::unique_ptr<QMessageBox> makeMessageBox(const QString& text, const QString& title,
                                            MessageIcon icon, QWidget* owner);
