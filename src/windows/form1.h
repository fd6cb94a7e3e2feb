#pragma once
// The two windows' controls, built as laid out in twips: names, captions, fonts, tab order.
// Nothing here reacts to anything; the shell wires every control to its handler.

#include "platform/controls/list_view.h"
#include "platform/controls/push_button.h"
#include "platform/dialogs/common_dialog.h"
#include "platform/platform.h"
#include "windows/window_state.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <memory>

class SkinEngine;

class Form1 : public QWidget {
    Q_OBJECT
  public:
    explicit Form1(Platform& platform);
    ~Form1() override;

    Platform& platform;

    PushButton* PushButton4;  // Help
    QGroupBox* Frame1;
    QLabel* Label1;
    QLineEdit* Text1;
    QLabel* Label2;
    QLineEdit* Text2;
    PushButton* PushButton2;  // Add Data
    PushButton* PushButton3;  // Load Name/Values From Text File
    PushButton* PushButton6;  // Load Sample/Example Data
    ListView* ListView1;
    PushButton* PushButton5;  // Change Font
    PushButton* PushButton7;  // Clear List
    PushButton* PushButton1;  // Start Generating Chart
    std::unique_ptr<CommonDialog> CommonDialog1;
    std::unique_ptr<SkinEngine> SkinFramework1;

    WindowPointer pointer;
};

// Every push button of the main window, in the order of their numbers.
QList<PushButton*> pushButtons(Form1& form);
