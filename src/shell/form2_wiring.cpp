#include "shell/form2_wiring.h"

#include "chart/chart_window.h"
#include "chart/jpeg_export.h"
#include "platform/desktop/window_frame.h"
#include "runtime/error_report.h"
#include "shell/event_hook.h"
#include "shell/hover.h"
#include "windows/form2.h"

namespace {

const QString kForm = QStringLiteral("Form2");

void onClick(Form2& form, PushButton* button, const char* name, void (*handler)(Form2&)) {
    QObject::connect(button, &QPushButton::clicked, &form, [&form, name, handler] {
        unguarded(*form.platform.messages, kForm, QLatin1String(name), [&] { handler(form); });
    });
}

using MouseMoveHandlerOf = void (*)(Form2&, int, int, float, float);

void onMove(Form2& form, QWidget& control, const char* name, MouseMoveHandlerOf handler) {
    onMouseMove(control, [&form, name, handler](int button, int shift, float x, float y) {
        unguarded(*form.platform.messages, kForm, QLatin1String(name),
                  [&] { handler(form, button, shift, x, y); });
    });
}

}  // namespace

void wireForm2(Form2& form) {
    onClick(form, form.PushButton5, "PushButton5_Click", PushButton5_Click);
    onClick(form, form.PushButton1, "PushButton1_Click", PushButton1_Click);

    onMove(form, *form.PushButton5, "PushButton5_MouseMove", PushButton5_MouseMove);
    onMove(form, *form.PushButton1, "PushButton1_MouseMove", PushButton1_MouseMove);
    onMove(form, form, "Form_MouseMove", Form_MouseMove);

    // The first display brings a resize too; restoring from minimized changes only the state.
    for (QEvent::Type type : {QEvent::Resize, QEvent::WindowStateChange}) {
        EventHook::install(form, type, [&form](QEvent*) {
            unguarded(*form.platform.messages, kForm, QStringLiteral("Form_Resize"),
                      [&] { Form_Resize(form); });
            return false;
        });
    }
    onFrameChange(form, [&form] {
        unguarded(*form.platform.messages, kForm, QStringLiteral("Form_Resize"),
                  [&] { refitAfterFrameChange(form); });
    });
}

std::unique_ptr<Form2> loadChartWindow(Platform& platform, QWidget* owner) {
    auto form = std::make_unique<Form2>(platform, owner);
    wireForm2(*form);
    Form_Load(*form);
    return form;
}
