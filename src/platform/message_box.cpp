#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>

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

std::unique_ptr<QMessageBox> makeMessageBox(const QString& text, const QString& title,
                                            MessageIcon icon, QWidget* owner) {
    auto box = std::make_unique<QMessageBox>(
        icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title,
        displayLineBreaks(text), QMessageBox::Ok, owner);
    box->setTextFormat(Qt::PlainText);
    box->setEscapeButton(QMessageBox::Ok);
    return box;
}

void QtMessageBoxes::show(const QString& text, const QString& title, MessageIcon icon) {
    makeMessageBox(text, title, icon, QApplication::activeWindow())->exec();
}
