#include "shell/event_hook.h"

void EventHook::install(QObject& target, QEvent::Type type, Handler handler) {
    target.installEventFilter(new EventHook(target, type, std::move(handler)));
}

EventHook::EventHook(QObject& target, QEvent::Type type, Handler handler)
    : QObject(&target), target_(&target), type_(type), handler_(std::move(handler)) {}

bool EventHook::eventFilter(QObject* watched, QEvent* event) {
    if (watched != target_ || event->type() != type_) return false;
    return handler_(event);
}

int shiftState(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

int virtualKeyCode(int qtKey) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return qtKey;
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return qtKey;
    switch (qtKey) {
        case Qt::Key_Backspace:
            return 8;
        case Qt::Key_Tab:
            return 9;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_Space:
            return 32;
        case Qt::Key_Delete:
            return 46;
        default:
            return 0;
    }
}
