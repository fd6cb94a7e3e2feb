#include "platform/message_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

QString displayLineBreaks(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            out.append(u'\n');
            if (i + 1 < text.size() && text.at(i + 1) == u'\n') ++i;
        } else {
            out.append(c);
        }
    }
    return out;
}

int messageBoxWidthForTitle(const QString& title) {
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) + kTitleBarAllowancePixels;
}

std::unique_ptr<QMessageBox> makeMessageBox(const QString& text, const QString& title,
                                            MessageIcon icon, QWidget* owner) {
    auto box = std::make_unique<QMessageBox>(
        icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title,
        displayLineBreaks(text), QMessageBox::Ok, owner);
    box->setTextFormat(Qt::PlainText);
    box->setEscapeButton(QMessageBox::Ok);
    // Qt sizes the box for its text and leaves the caption 50 pixels beside it, too little for
    // the icon and buttons a window manager puts in the title bar, which then cuts the caption.
    // A spacer across the box keeps it as wide as the caption needs.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(new QSpacerItem(messageBoxWidthForTitle(title), 0, QSizePolicy::Fixed),
                      grid->rowCount() - 1, 0, 1, grid->columnCount());
    return box;
}

void QtMessageBoxes::show(const QString& text, const QString& title, MessageIcon icon) {
    makeMessageBox(text, title, icon, QApplication::activeWindow())->exec();
}
