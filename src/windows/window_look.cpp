#include "windows/window_look.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVariant>
#include <QWidget>

namespace {

const char kBackColorProperty[] = "BackColor";
const char kFollowsPaletteProperty[] = "BackColorFollowsPalette";
const char kControlKindProperty[] = "ControlKind";

// Paints the widget's BackColor, resolved against the application palette of the moment.
void paintBackColor(QWidget& widget, bool always) {
    const QColor wanted = resolveColor(backColor(widget), QApplication::palette());
    if (!always && widget.palette().color(QPalette::Window) == wanted) return;
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, wanted);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

// A widget's explicit Window colour does not change with the application palette by itself, so
// a system-colour reference is resolved again on every palette change that reaches the widget.
class BackColorFollower : public QObject {
  public:
    explicit BackColorFollower(QWidget& widget) : QObject(&widget) {
        widget.installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ApplicationPaletteChange ||
            event->type() == QEvent::PaletteChange)
            paintBackColor(*static_cast<QWidget*>(watched), false);
        return false;
    }
};

}  // namespace

QFont windowFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

QFont buttonFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

QPalette::ColorRole systemColorRole(quint32 colour) {
    if (!(colour & 0x80000000u)) return QPalette::NoRole;
    switch (colour & 0xFFu) {
        case 0x0F:
            return QPalette::Button;
        case 0x12:
            return QPalette::ButtonText;
        case 0x05:
            return QPalette::Base;
        case 0x08:
            return QPalette::Text;
        default:
            return QPalette::Window;
    }
}

QColor resolveColor(quint32 colour, const QPalette& palette) {
    const QPalette::ColorRole role = systemColorRole(colour);
    if (role != QPalette::NoRole) return palette.color(role);
    // Plain colours are stored as 0x00BBGGRR.
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

void setBackColor(QWidget& widget, quint32 colour) {
    widget.setProperty(kBackColorProperty, QVariant::fromValue(colour));
    if (systemColorRole(colour) != QPalette::NoRole &&
        !widget.property(kFollowsPaletteProperty).toBool()) {
        widget.setProperty(kFollowsPaletteProperty, true);
        new BackColorFollower(widget);
    }
    paintBackColor(widget, true);
}

quint32 backColor(const QWidget& widget) {
    const QVariant value = widget.property(kBackColorProperty);
    return value.isValid() ? value.value<quint32>() : kWindowBackground;
}

ControlKind controlKind(const QWidget& control) {
    const QVariant given = control.property(kControlKindProperty);
    if (given.isValid()) return ControlKind(given.toInt());
    if (qobject_cast<const QRadioButton*>(&control)) return ControlKind::OptionButton;
    if (qobject_cast<const QCheckBox*>(&control)) return ControlKind::CheckBox;
    if (qobject_cast<const QGroupBox*>(&control)) return ControlKind::Frame;
    if (qobject_cast<const QLabel*>(&control)) return ControlKind::Label;
    return ControlKind::Other;
}

void setControlKind(QWidget& control, ControlKind kind) {
    control.setProperty(kControlKindProperty, int(kind));
}

namespace {
void appendControls(QWidget& container, QList<QWidget*>& controls) {
    for (QObject* child : container.children()) {
        if (!child->isWidgetType()) continue;
        auto* control = static_cast<QWidget*>(child);
        if (control->isWindow()) continue;
        controls.append(control);
        const ControlKind kind = controlKind(*control);
        if (kind == ControlKind::Frame || kind == ControlKind::PictureBox)
            appendControls(*control, controls);
    }
}
}  // namespace

QList<QWidget*> windowControls(QWidget& window) {
    QList<QWidget*> controls;
    appendControls(window, controls);
    return controls;
}

void styleButton(QPushButton& button) {
    button.setFont(buttonFont());
    QPalette palette = button.palette();
    palette.setColor(QPalette::Button, resolveColor(kWhite, palette));
    palette.setColor(QPalette::ButtonText, QApplication::palette().color(QPalette::ButtonText));
    button.setPalette(palette);
}
