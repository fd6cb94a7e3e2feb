// Start-up with a stored list, the close-time store, and list work at a million rows.
#include "fakes/fake_platform.h"
#include "list_file_generator.h"
#include "platform/controls/list_view.h"
#include "platform/store/settings_store.h"
#include "runtime/error_report.h"
#include "shell/main_window.h"
#include "slices/persistence.h"
#include "windows/form1.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kApp = QStringLiteral("Brakenwel");
const QString kSection = QStringLiteral("Quorvel Wedge Studio Deluxe");

QString encodedRows(int rows) {
    return variedStoredList(rows, kNameValueSeparator, kRowTerminator);
}

struct RealStoreWindow {
    explicit RealStoreWindow() : store(folder.path()) { fake.platform().settings = &store; }
    QTemporaryDir folder;
    QtSettingsStore store;
    FakePlatform fake;
};

// Reading the store, restoring the rows and showing the window up to its first frame.
void BM_RestoreAndShow(benchmark::State& state) {
    RealStoreWindow env;
    env.store.SaveSetting(kApp, kSection, "Data", encodedRows(int(state.range(0))));
    for (auto _ : state) {
        Form1 form(env.fake.platform());
        Form_Load(form);
        form.show();
        if (!QTest::qWaitForWindowExposed(&form)) state.SkipWithError("window not exposed");
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(form.ListView1->count());
        state.PauseTiming();
        form.hide();
        state.ResumeTiming();
    }
    state.counters["rows"] = double(state.range(0));
}
BENCHMARK(BM_RestoreAndShow)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The close sequence's encoding and store write.
void BM_EncodeAndStore(benchmark::State& state) {
    RealStoreWindow env;
    Form1 form(env.fake.platform());
    Form_Load(form);
    VariedRows varied;
    char name[32];
    char value[32];
    for (int i = 0; i < state.range(0); ++i) {
        const qsizetype row = form.ListView1->add(QString::fromLatin1(name, varied.name(name)));
        form.ListView1->setSubItem(row, QString::fromLatin1(value, varied.value(value)));
    }
    for (auto _ : state) {
        GuardedProcedure guard(env.fake.messages, "Form1", "Form_QueryUnload");
        saveList(form, guard);
    }
    if (!env.fake.messages.shown.empty()) state.SkipWithError("the store reported a failure");
}
BENCHMARK(BM_EncodeAndStore)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Appending rows one at a time as every loader does, with the view attached.
void BM_AppendRows(benchmark::State& state) {
    for (auto _ : state) {
        ListView view;
        view.addColumn("Name");
        view.addColumn(" Value");
        for (int i = 0; i < state.range(0); ++i) view.setSubItem(view.add(u"name123456"), u"12.5");
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(view.model()->rowCount());
    }
}
BENCHMARK(BM_AppendRows)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

// What the user does in a list of a million rows: jump to the end, select, remove in the middle.
void BM_InteractWithMillionRows(benchmark::State& state) {
    ListView view;
    view.addColumn("Name");
    view.addColumn(" Value");
    view.resize(520, 169);
    for (int i = 0; i < 1000000; ++i) view.setSubItem(view.add(u"name123456"), u"12.5");
    view.show();
    QCoreApplication::processEvents();
    int step = 0;
    for (auto _ : state) {
        switch (step++ % 3) {
            case 0:
                view.scrollToBottom();
                break;
            case 1:
                view.setCurrentIndex(view.model()->index(view.model()->rowCount() / 2, 0));
                break;
            default:
                view.remove(view.count() / 2);
                break;
        }
        view.repaint();
    }
}
BENCHMARK(BM_InteractWithMillionRows)->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
