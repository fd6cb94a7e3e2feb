// A helper for the fault tests: runs the main window's close sequence over the real settings
// store ($XDG_CONFIG_HOME/Brakenwel.conf), as the program does when it closes, or the chart
// window's JPEG save through the real writer, and prints every message box it would show.
//
//   store_writer save <tag> <rows>   one close with the list <tag>0=0, <tag>1=1, ...
//   store_writer start <tag> <rows>  the main window's load, then that close
//   store_writer loop <rows>         closes again and again, alternating the lists "a" and "b",
//                                    printing "writing a" before each and "saved a" after it
//   store_writer jpeg <path>         one "Save Pie Chart As JPG" of an empty chart to <path>
#include "chart/chart_window.h"
#include "chart/jpeg_export.h"
#include "fakes/fake_platform.h"
#include "platform/settings_store.h"
#include "shell/main_window.h"
#include "store_lists.h"
#include "windows/form1.h"
#include "windows/form2.h"

#include <QApplication>
#include <cstdio>

namespace {

void fill(Form1& form, const QString& tag, int rows) {
    ListView& list = *form.ListView1;
    list.clear();
    for (int i = 0; i < rows; ++i)
        list.setSubItem(list.add(storeListName(tag, i)), storeListValue(i));
}

bool close(Form1& form, FakePlatform& fake) {
    fake.application.ended = false;
    int cancel = 0;
    Form_QueryUnload(form, cancel, 0);
    return fake.application.ended;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    FakePlatform fake;
    QtSettingsStore store;
    fake.platform().settings = &store;
    fake.messages.onShow = [](const ShownMessage& m) {
        std::printf("message: %s\n%s\n", qPrintable(m.title), qPrintable(m.text));
        std::fflush(stdout);
    };
    if (args.size() == 3 && args.at(1) == u"jpeg") {
        // The fake image writer saves through the real one.
        const std::unique_ptr<Form2> chart = loadChartWindow(fake.platform(), nullptr);
        fake.dialogAnswers.push_back([&](CommonDialog& d) { d.FileName = args.at(2); });
        PushButton5_Click(*chart);
        return 0;
    }
    Form1 form(fake.platform());

    if (args.size() == 4 && (args.at(1) == u"save" || args.at(1) == u"start")) {
        if (args.at(1) == u"start") Form_Load(form);
        fill(form, args.at(2), args.at(3).toInt());
        const bool ended = close(form, fake);
        std::printf("%s\n", ended ? "ended" : "did not end");
        return ended ? fake.application.exitCode : 3;
    }
    if (args.size() == 3 && args.at(1) == u"loop") {
        const int rows = args.at(2).toInt();
        for (;;) {
            for (const QString& tag : {QStringLiteral("a"), QStringLiteral("b")}) {
                fill(form, tag, rows);
                std::printf("writing %s\n", qPrintable(tag));
                std::fflush(stdout);
                if (!close(form, fake) || !fake.messages.shown.empty()) return 1;
                std::printf("saved %s\n", qPrintable(tag));
                std::fflush(stdout);
            }
        }
    }
    std::fprintf(stderr, "usage: store_writer save|start <tag> <n> | loop <n> | jpeg <path>\n");
    return 2;
}
