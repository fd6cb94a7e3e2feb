#pragma once
// Routes events of one object to a function before the object sees them, so a window's event
// map can be written as plain connections in one place.

#include <QEvent>
#include <QObject>
#include <functional>

class EventHook : public QObject {
    Q_OBJECT
  public:
    // The function returns true to stop the event there.
    using Handler = std::function<bool(QEvent*)>;

    static void install(QObject& target, QEvent::Type type, Handler handler);

  private:
    EventHook(QObject& target, QEvent::Type type, Handler handler);
    bool eventFilter(QObject* watched, QEvent* event) override;

    QObject* target_;
    QEvent::Type type_;
    Handler handler_;
};

// Key modifier bits as the key handlers take them: 1 Shift, 2 Ctrl, 4 Alt.
int shiftState(Qt::KeyboardModifiers modifiers);
// The Windows virtual-key code of a Qt key, for the few keys the handlers look at (0 for others).
int virtualKeyCode(int qtKey);
