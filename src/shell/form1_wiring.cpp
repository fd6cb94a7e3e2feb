#include "shell/form1_wiring.h"

#include "chart/chart_generation.h"
#include "runtime/error_report.h"
#include "shell/event_hook.h"
#include "shell/hover.h"
#include "shell/main_window.h"
#include "slices/list_file.h"
#include "slices/manual_entry.h"
#include "windows/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>

namespace {

// No exception may leave a Qt slot or event handler.
template <class Handler>
auto safely(Form1& form, const char* name, Handler handler) {
    return [&form, name, handler](auto&&...) {
        unguarded(*form.platform.messages, QStringLiteral("Form1"), QLatin1String(name), handler);
    };
}

void onClick(Form1& form, PushButton* button, const char* name, void (*handler)(Form1&)) {
    QObject::connect(button, &QPushButton::clicked, &form,
                     safely(form, name, [&form, handler] { handler(form); }));
}

void onEnterKey(Form1& form, QLineEdit* box, const char* name, void (*handler)(Form1&, int&)) {
    EventHook::install(*box, QEvent::KeyPress, [&form, name, handler](QEvent* event) {
        const auto* key = static_cast<QKeyEvent*>(event);
        int keyAscii = (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
                           ? kKeyAsciiEnter
                           : (key->text().isEmpty() ? 0 : key->text().at(0).unicode());
        if (keyAscii != 0) safely(form, name, [&] { handler(form, keyAscii); })();
        return false;  // the key goes on to the box unchanged
    });
}

using MouseMoveHandlerOf = void (*)(Form1&, int, int, float, float);

void onMove(Form1& form, QWidget& control, const char* name, MouseMoveHandlerOf handler) {
    onMouseMove(control, [&form, name, handler](int button, int shift, float x, float y) {
        safely(form, name, [&] { handler(form, button, shift, x, y); })();
    });
}

// The local files a drag carries, in its order; none when it carries anything else.
QStringList draggedFiles(const QDropEvent& drag) {
    QStringList files;
    const QMimeData* data = drag.mimeData();
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files.append(url.toLocalFile());
    return files;
}

// Files dropped anywhere on the window load as the open dialog's choice would. A drop while
// files load, or while a dialog or the chart window holds the window, is refused; anything but
// files goes on to the control as before (text into a text box).
void onFileDrop(Form1& form, QWidget& target) {
    target.setAcceptDrops(true);
    const auto refused = [&form] {
        return loadingListFiles(form) || QApplication::activeModalWidget() != nullptr;
    };
    const auto offer = [refused](QEvent* event) {
        auto* drag = static_cast<QDropEvent*>(event);
        if (draggedFiles(*drag).isEmpty()) return false;
        if (refused())
            drag->ignore();
        else
            drag->acceptProposedAction();
        return true;
    };
    EventHook::install(target, QEvent::DragEnter, offer);
    EventHook::install(target, QEvent::DragMove, offer);
    EventHook::install(target, QEvent::Drop, [&form, refused](QEvent* event) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList files = draggedFiles(*drop);
        if (files.isEmpty()) return false;
        if (refused()) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        // After the drop is answered: a "File not found" box must not hold the drag's source.
        loadListFilesSoon(form, files);
        return true;
    });
}

}  // namespace

void loadListFilesSoon(Form1& form, const QStringList& paths) {
    if (paths.isEmpty()) return;
    QMetaObject::invokeMethod(
        &form,
        [&form, paths] {
            safely(form, "PushButton3_Click", [&] { loadListFiles(form, paths); })();
        },
        Qt::QueuedConnection);
}

void wireForm1(Form1& form) {
    onClick(form, form.PushButton1, "PushButton1_Click", PushButton1_Click);
    onClick(form, form.PushButton2, "PushButton2_Click", PushButton2_Click);
    onClick(form, form.PushButton3, "PushButton3_Click", PushButton3_Click);
    onClick(form, form.PushButton4, "PushButton4_Click", PushButton4_Click);
    onClick(form, form.PushButton5, "PushButton5_Click", PushButton5_Click);
    onClick(form, form.PushButton6, "PushButton6_Click", PushButton6_Click);
    onClick(form, form.PushButton7, "PushButton7_Click", PushButton7_Click);

    onMove(form, *form.PushButton1, "PushButton1_MouseMove", PushButton1_MouseMove);
    onMove(form, *form.PushButton2, "PushButton2_MouseMove", PushButton2_MouseMove);
    onMove(form, *form.PushButton3, "PushButton3_MouseMove", PushButton3_MouseMove);
    onMove(form, *form.PushButton4, "PushButton4_MouseMove", PushButton4_MouseMove);
    onMove(form, *form.PushButton5, "PushButton5_MouseMove", PushButton5_MouseMove);
    onMove(form, *form.PushButton6, "PushButton6_MouseMove", PushButton6_MouseMove);
    onMove(form, *form.PushButton7, "PushButton7_MouseMove", PushButton7_MouseMove);
    onMove(form, form, "Form_MouseMove", Form_MouseMove);
    // The list's rows and its column headers are both the list to the user.
    onMove(form, *form.ListView1->viewport(), "ListView1_MouseMove", ListView1_MouseMove);
    onMove(form, *form.ListView1->header()->viewport(), "ListView1_MouseMove", ListView1_MouseMove);
    onMove(form, *form.Frame1, "Frame1_MouseMove", Frame1_MouseMove);

    onEnterKey(form, form.Text1, "Text1_KeyPress", Text1_KeyPress);
    onEnterKey(form, form.Text2, "Text2_KeyPress", Text2_KeyPress);

    EventHook::install(*form.ListView1, QEvent::KeyPress, [&form](QEvent* event) {
        const auto* key = static_cast<QKeyEvent*>(event);
        int keyCode = virtualKeyCode(key->key());
        safely(form, "ListView1_KeyDown",
               [&] { ListView1_KeyDown(form, keyCode, shiftState(key->modifiers())); })();
        return false;
    });
    EventHook::install(*form.ListView1->viewport(), QEvent::MouseButtonDblClick, [&form](QEvent*) {
        safely(form, "ListView1_DblClick", [&] { ListView1_DblClick(form); })();
        return true;
    });

    onFileDrop(form, form);
    onFileDrop(form, *form.Text1);
    onFileDrop(form, *form.Text2);

    EventHook::install(form, QEvent::Close, [&form](QEvent* event) {
        int cancel = 0;
        safely(form, "Form_QueryUnload", [&] { Form_QueryUnload(form, cancel, 0); })();
        event->accept();
        return false;
    });
}
