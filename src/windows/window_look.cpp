#include "windows/window_look.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace {

const char kBackColorProperty[] = "BackColor";
const char kFollowsPaletteProperty[] = "BackColorFollowsPalette";
const char kControlKindProperty[] = "ControlKind";
const char kFillsBackgroundProperty[] = "BackColorFilled";

// The palette role of the text that is drawn on a system colour.
QPalette::ColorRole textRoleOn(QPalette::ColorRole background) {
    switch (background) {
        case QPalette::Button:
            return QPalette::ButtonText;
        case QPalette::Base:
            return QPalette::Text;
        default:
            return QPalette::WindowText;
    }
}

// Fills a control's background before the control paints itself. A control that Qt takes as
// opaque (autoFillBackground with a solid colour) goes unpainted inside a fixed-size window
// under Wayland with Qt's own client-side decoration (seen with Qt 6.4 under sway): the desktop
// shows through it. Filled here, the control is no opaque one, and looks the same everywhere.
class BackgroundFill : public QObject {
  public:
    explicit BackgroundFill(QWidget& control) : QObject(&control) {
        control.installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            auto* control = static_cast<QWidget*>(watched);
            QPainter(control).fillRect(control->rect(), control->palette().brush(QPalette::Window));
        }
        return false;
    }
};

// Paints the widget's BackColor, resolved against the application palette of the moment, with
// its text colour: labels and frame titles draw with WindowText, so a fixed or desktop background
// never meets a text colour meant for another one.
void paintBackColor(QWidget& widget, bool always) {
    const quint32 colour = backColor(widget);
    const QPalette& application = QApplication::palette();
    const QColor wanted = resolveColor(colour, application);
    const QPalette::ColorRole role = systemColorRole(colour);
    const QColor text =
        role == QPalette::NoRole ? readableTextOn(wanted) : application.color(textRoleOn(role));
    if (!always && widget.palette().color(QPalette::Window) == wanted &&
        widget.palette().color(QPalette::WindowText) == text)
        return;
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, wanted);
    palette.setColor(QPalette::WindowText, text);
    widget.setPalette(palette);
    if (widget.isWindow()) {
        widget.setAutoFillBackground(true);
    } else if (!widget.property(kFillsBackgroundProperty).toBool()) {
        widget.setProperty(kFillsBackgroundProperty, true);
        new BackgroundFill(widget);
    }
}

double relativeLuminance(const QColor& colour) {
    auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) +
           0.0722 * linear(rgb.blueF());
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

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableTextOn(const QColor& background) {
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return contrastRatio(background, black) >= contrastRatio(background, white) ? black : white;
}

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
    const QColor face = resolveColor(kWhite, palette);
    palette.setColor(QPalette::Button, face);
    palette.setColor(QPalette::ButtonText, readableTextOn(face));
    button.setPalette(palette);
}
