#include "shell/hover.h"

#include "platform/controls/twips.h"
#include "runtime/pointer.h"
#include "shell/event_hook.h"
#include "windows/form1.h"
#include "windows/form2.h"

#include <QMouseEvent>

namespace {

void setUnlessBusy(QWidget& window, WindowPointer& pointer, int code) {
    if (pointer.MousePointer == pointer_code::kHourglass) return;
    setMousePointer(window, pointer, code);
}

int buttonBits(Qt::MouseButtons buttons) {
    return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
           (buttons & Qt::MiddleButton ? 4 : 0);
}

template <class Form>
void overButton(Form& form) {
    selectHandPointer(form, form.pointer);
}
template <class Form>
void overBackground(Form& form) {
    restoreOrdinaryPointer(form, form.pointer);
}

}  // namespace

void selectHandPointer(QWidget& window, WindowPointer& pointer) {
    setUnlessBusy(window, pointer, pointer_code::kCustom);
}

void restoreOrdinaryPointer(QWidget& window, WindowPointer& pointer) {
    setUnlessBusy(window, pointer, pointer_code::kDefault);
}

void onMouseMove(QWidget& control, MouseMoveHandler handler) {
    control.setMouseTracking(true);
    // Qt hands a move that a control ignores (a push button ignores every move without a press)
    // on to its parent, whose handler would undo the control's at once.
    control.setAttribute(Qt::WA_NoMousePropagation);
    EventHook::install(control, QEvent::MouseMove, [handler](QEvent* event) {
        const auto* move = static_cast<QMouseEvent*>(event);
        const QPointF at = move->position();
        handler(buttonBits(move->buttons()), shiftState(move->modifiers()),
                float(at.x() * kTwipsPerPixel), float(at.y() * kTwipsPerPixel));
        return false;  // the control still sees the move, for its own hover and drag
    });
}

// The handlers take the values every mouse-move handler receives and need none of them.
void PushButton1_MouseMove(Form1& form, int, int, float, float) { overButton(form); }
void PushButton2_MouseMove(Form1& form, int, int, float, float) { overButton(form); }
void PushButton3_MouseMove(Form1& form, int, int, float, float) { overButton(form); }
void PushButton4_MouseMove(Form1& form, int, int, float, float) { overButton(form); }
void PushButton5_MouseMove(Form1& form, int, int, float, float) { overButton(form); }
void PushButton6_MouseMove(Form1& form, int, int, float, float) { overButton(form); }
void PushButton7_MouseMove(Form1& form, int, int, float, float) { overButton(form); }
void Form_MouseMove(Form1& form, int, int, float, float) { overBackground(form); }
void ListView1_MouseMove(Form1& form, int, int, float, float) { overBackground(form); }
void Frame1_MouseMove(Form1& form, int, int, float, float) { overBackground(form); }

void PushButton1_MouseMove(Form2& form, int, int, float, float) { overButton(form); }
void PushButton5_MouseMove(Form2& form, int, int, float, float) { overButton(form); }
void Form_MouseMove(Form2& form, int, int, float, float) { overBackground(form); }
