#pragma once
// The push buttons of both windows: caption, font, click and mouse-move events.

#include <QPushButton>

class PushButton : public QPushButton {
    Q_OBJECT
  public:
    explicit PushButton(const QString& caption, QWidget* parent = nullptr)
        : QPushButton(caption, parent) {
        // Mouse-move events arrive without a pressed button too, for the hover pointer.
        setMouseTracking(true);
        // Enter presses a focused button as Space does; outside a dialog Qt leaves that off.
        setAutoDefault(true);
    }
};
