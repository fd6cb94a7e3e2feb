#include "shell/skin.h"

#include "windows/form1.h"
#include "windows/window_look.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

void ApplySkin(Form1& form) { Q_UNUSED(form); }

void ApplyButtonFaceColor(QWidget& window) {
    setBackColor(window, kButtonFace);
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (qobject_cast<QRadioButton*>(control) || qobject_cast<QCheckBox*>(control) ||
            qobject_cast<QGroupBox*>(control) || qobject_cast<QLabel*>(control))
            setBackColor(*control, kButtonFace);
    }
}
