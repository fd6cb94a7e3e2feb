#include "windows/window_look.h"

#include <QApplication>
#include <QPushButton>
#include <QVariant>
#include <QWidget>

namespace {
const char kBackColorProperty[] = "BackColor";
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
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, resolveColor(colour, QApplication::palette()));
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

quint32 backColor(const QWidget& widget) {
    const QVariant value = widget.property(kBackColorProperty);
    return value.isValid() ? value.value<quint32>() : kWindowBackground;
}

void styleButton(QPushButton& button) {
    button.setFont(buttonFont());
    QPalette palette = button.palette();
    palette.setColor(QPalette::Button, resolveColor(kWhite, palette));
    palette.setColor(QPalette::ButtonText, QApplication::palette().color(QPalette::ButtonText));
    button.setPalette(palette);
}
