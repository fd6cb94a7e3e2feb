// The chart at 5 to 32,767 slices: from "Start Generating Chart" to the chart window's first
// painted frame and from its close to the window gone (in process, and with the real executable
// under its own Xvfb), one repaint, the memory the chart adds, the SVG and the JPEG save.
#include "chart/chart_generation.h"
#include "chart/jpeg_export.h"
#include "e2e_support.h"
#include "fakes/fake_platform.h"
#include "platform/chart/chart_control.h"
#include "platform/files/image_writer.h"
#include "runtime/chart_window_factory.h"
#include "shell/form2_wiring.h"
#include "shell/main_window.h"
#include "slices/persistence.h"
#include "windows/form1.h"
#include "windows/form2.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <malloc.h>
#include <poll.h>
#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <thread>

// Xlib's macros clash with Qt's names, so it comes after every Qt header.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
double megabytes(double bytes) { return bytes / (1024.0 * 1024.0); }

double heapInUse() { return double(mallinfo2().uordblks); }

double residentBytes(long pid) {
    QFile status(QStringLiteral("/proc/%1/statm").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = status.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toDouble() * double(::sysconf(_SC_PAGESIZE)) : 0;
}

// Calls back once, after the widget's first paint has been drawn and flushed.
class FirstFrame : public QObject {
  public:
    FirstFrame(QWidget& widget, std::function<void()> done) : done_(std::move(done)) {
        widget.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            watched->removeEventFilter(this);
            // A zero timer runs once the paint and its flush are over.
            QTimer::singleShot(0, this, [this] { done_(); });
        }
        return false;
    }

  private:
    std::function<void()> done_;
    bool seen_ = false;
};

void addRows(Form1& form, int rows) {
    form.ListView1->clear();
    for (int i = 0; i < rows; ++i) {
        const qsizetype row = form.ListView1->add(QStringLiteral("Slice %1").arg(i));
        form.ListView1->setSubItem(row, QString::number(i % 97 + 1));
    }
}

// The real chart and the real modal loop, over fake dialogs and message boxes.
struct ChartWindowEnvironment {
    ChartWindowEnvironment() {
        Platform& p = fake.platform();
        p.newChart = [this](QWidget* parent) -> std::unique_ptr<ChartControl> {
            return std::make_unique<PieChart>(parent, fake.clipboard);
        };
        setChartWindowFactory(loadChartWindow);
        form = std::make_unique<Form1>(p);
        Form_Load(*form);
    }
    FakePlatform fake;
    std::unique_ptr<Form1> form;
};

void BM_GenerateShowAndClose(benchmark::State& state) {
    ChartWindowEnvironment env;
    addRows(*env.form, int(state.range(0)));
    Clock::time_point clicked, painted, closing;
    double heapAdded = 0;
    double heapBefore = 0;
    env.fake.platform().showModal = [&](QDialog& dialog) {
        auto& window = static_cast<Form2&>(dialog);
        FirstFrame frame(window.MSChart1->widget(), [&] {
            painted = Clock::now();
            heapAdded += heapInUse() - heapBefore;
            closing = Clock::now();
            window.close();  // as the close box does
        });
        return dialog.exec();
    };
    double firstFrame = 0, close = 0;
    for (auto _ : state) {
        heapBefore = heapInUse();
        clicked = Clock::now();
        PushButton1_Click(*env.form);
        const Clock::time_point gone = Clock::now();
        firstFrame += seconds(painted - clicked);
        close += seconds(gone - closing);
        state.SetIterationTime(seconds(painted - clicked));
    }
    if (!env.fake.messages.shown.empty()) state.SkipWithError("the generation reported a failure");
    const double n = double(state.iterations());
    state.counters["slices"] = double(state.range(0));
    state.counters["first_frame_ms"] = firstFrame / n * 1000;
    state.counters["close_ms"] = close / n * 1000;
    state.counters["heap_added_MB"] = megabytes(heapAdded / n);
}
BENCHMARK(BM_GenerateShowAndClose)
    ->Arg(5)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(32767)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// One repaint of the chart on screen at its laid-out size.
void BM_Repaint(benchmark::State& state) {
    QWidget window;
    window.resize(660, 500);
    FakeClipboard clipboard;
    PieChart chart(&window, clipboard);
    chart.widget().move(6, 42);
    chart.setWidthTwips(9510);
    chart.setHeightTwips(6720);
    chart.setRowCount(1);
    for (int i = 1; i <= state.range(0); ++i) {
        chart.setColumnCount(i);
        chart.setColumn(i);
        chart.setColumnLabel(QStringLiteral("Slice %1 - %2").arg(i).arg(i % 97 + 1));
        chart.setData(QString::number(i % 97 + 1));
    }
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) state.SkipWithError("window not exposed");
    for (auto _ : state) chart.widget().repaint();
    state.counters["slices"] = double(state.range(0));
}
BENCHMARK(BM_Repaint)->Arg(5)->Arg(1000)->Arg(10000)->Arg(32767)->Unit(benchmark::kMillisecond);

void fillChart(PieChart& chart, int slices, QSize size) {
    chart.setWidthTwips(float(size.width() * 15));
    chart.setHeightTwips(float(size.height() * 15));
    for (int i = 1; i <= slices; ++i) {
        chart.setColumnCount(i);
        chart.setColumn(i);
        chart.setColumnLabel(QStringLiteral("Slice %1").arg(i));
        chart.setData(QString::number(i % 7 + 1));
    }
}

QImage chartPicture(int slices, QSize size) {
    QWidget window;
    FakeClipboard clipboard;
    PieChart chart(&window, clipboard);
    fillChart(chart, slices, size);
    return chart.picture();
}

// The vector form of an 800 x 600 chart picture, as it goes on the clipboard beside the bitmap.
void BM_Svg800x600(benchmark::State& state) {
    QWidget window;
    FakeClipboard clipboard;
    PieChart chart(&window, clipboard);
    fillChart(chart, int(state.range(0)), QSize(800, 600));
    qsizetype bytes = 0;
    for (auto _ : state) bytes = chart.svg().size();
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_Svg800x600)->Arg(5)->Arg(32767)->Unit(benchmark::kMillisecond);

// SavePictureAsJpeg of an 800 x 600 chart picture.
void BM_SaveJpeg800x600(benchmark::State& state) {
    const QImage picture = chartPicture(int(state.range(0)), QSize(800, 600));
    QTemporaryDir folder;
    QtImageWriter writer;
    const QString path = folder.filePath(QStringLiteral("chart.jpg"));
    for (auto _ : state) SavePictureAsJpeg(writer, picture, path, kJpegQuality);
    state.counters["bytes"] = double(QFile(path).size());
}
BENCHMARK(BM_SaveJpeg800x600)->Arg(5)->Arg(32767)->Unit(benchmark::kMillisecond);

// The whole "Save Pie Chart As JPG" handler after the dialog: copy, clipboard, encode, write.
void BM_SaveHandler800x600(benchmark::State& state) {
    ChartWindowEnvironment env;
    addRows(*env.form, int(state.range(0)));
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("chart.jpg"));
    env.fake.platform().showModal = [&](QDialog& dialog) {
        auto& window = static_cast<Form2&>(dialog);
        window.MSChart1->setWidthTwips(800 * 15);
        window.MSChart1->setHeightTwips(600 * 15);
        for (auto _ : state) {
            env.fake.dialogAnswers.push_back([&](CommonDialog& d) { d.FileName = path; });
            PushButton5_Click(window);
        }
        return 0;
    };
    PushButton1_Click(*env.form);
    if (!env.fake.messages.shown.empty()) state.SkipWithError("the save reported a failure");
}
BENCHMARK(BM_SaveHandler800x600)->Arg(5)->Arg(32767)->Unit(benchmark::kMillisecond);

// The real executable under Xvfb: the click on "Start Generating Chart" (through xdotool) to the
// chart window's first painted pixels, and the close box to the window destroyed.
class XWatch {
  public:
    explicit XWatch(const QString& display)
        : display_(XOpenDisplay(display.toLocal8Bit().constData())) {
        if (!display_) return;
        XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
        XSync(display_, False);
    }
    ~XWatch() {
        if (display_) XCloseDisplay(display_);
        if (xtest_) ::dlclose(xtest_);
    }

    // Clicks go through XTest, loaded at run time: xdotool spends about 100 ms of its own before
    // its click lands, more than the chart window takes to appear.
    void movePointer(Window window, int x, int y) {
        int rootX = 0, rootY = 0;
        Window child = 0;
        XTranslateCoordinates(display_, window, DefaultRootWindow(display_), x, y, &rootX, &rootY,
                              &child);
        if (auto motion = xtestFunction<int (*)(Display*, int, int, int, unsigned long)>(
                "XTestFakeMotionEvent"))
            motion(display_, -1, rootX, rootY, 0);
        XFlush(display_);
    }
    bool click() {
        auto button =
            xtestFunction<int (*)(Display*, unsigned, Bool, unsigned long)>("XTestFakeButtonEvent");
        if (!button) return false;
        button(display_, 1, True, 0);
        button(display_, 1, False, 0);
        XFlush(display_);
        return true;
    }

    // The next top-level window mapped, or 0 after the timeout.
    Window nextMapped(std::chrono::milliseconds timeout) {
        return waitFor(timeout, [](const XEvent& e) {
            return e.type == MapNotify ? e.xmap.window : Window(0);
        });
    }
    bool destroyed(Window window, std::chrono::milliseconds timeout) {
        return waitFor(timeout, [window](const XEvent& e) {
                   return e.type == DestroyNotify && e.xdestroywindow.window == window ? window : 0;
               }) != 0;
    }
    // True once a pixel of the row through the middle of the chart, as fitted to the window's
    // first size, is neither white, black nor the colour at its left end: the pie is drawn.
    bool pieDrawn(Window window) {
        constexpr int kWidth = 540;
        XImage* row = XGetImage(display_, window, 6, 42 + 208, kWidth, 1, AllPlanes, ZPixmap);
        if (!row) return false;
        const unsigned long background = XGetPixel(row, 0, 0);
        bool drawn = false;
        for (int x = 0; x < kWidth && !drawn; ++x) {
            const unsigned long p = XGetPixel(row, x, 0) & 0xFFFFFF;
            drawn = p != 0xFFFFFF && p != (background & 0xFFFFFF) && p != 0;
        }
        XDestroyImage(row);
        return drawn;
    }

  private:
    template <class Function>
    Function xtestFunction(const char* name) {
        if (!xtest_) xtest_ = ::dlopen("libXtst.so.6", RTLD_NOW);
        return xtest_ ? reinterpret_cast<Function>(::dlsym(xtest_, name)) : nullptr;
    }

    template <class Match>
    Window waitFor(std::chrono::milliseconds timeout, Match match) {
        const auto end = Clock::now() + timeout;
        while (Clock::now() < end) {
            while (XPending(display_)) {
                XEvent event;
                XNextEvent(display_, &event);
                if (Window w = match(event)) return w;
            }
            pollfd pfd{ConnectionNumber(display_), POLLIN, 0};
            ::poll(&pfd, 1, 5);
        }
        return 0;
    }

    Display* display_;
    void* xtest_ = nullptr;
};

QString storedRows(int rows) {
    QString text;
    for (int i = 0; i < rows; ++i)
        text += QStringLiteral("Slice %1").arg(i) + QString::fromUtf16(kNameValueSeparator) +
                QString::number(i % 97 + 1) + QString::fromUtf16(kRowTerminator);
    return text;
}

void BM_RealChartWindowUnderXvfb(benchmark::State& state) {
    XvfbServer x;
    if (x.display().isEmpty()) {
        state.SkipWithError("Xvfb could not start");
        return;
    }
    ProgramRun run(x);
    run.writeStoredData(storedRows(int(state.range(0))));
    if (run.startAndTimeUntilMapped().count() < 0) {
        state.SkipWithError("no window appeared");
        return;
    }
    const unsigned long mainWindow =
        run.waitForWindow(QStringLiteral("Quorvel Wedge Studio Deluxe"));
    const long pid =
        runTool(x.display(), {"xdotool", "getwindowpid", QString::number(mainWindow)}).toLong();
    std::this_thread::sleep_for(500ms);
    XWatch watch(x.display());
    double close = 0, rssAdded = 0, mapped = 0;
    for (auto _ : state) {
        watch.movePointer(mainWindow, 268, 433);  // "Start Generating Chart"
        std::this_thread::sleep_for(100ms);
        const double rssBefore = residentBytes(pid);
        const auto clicked = Clock::now();
        if (!watch.click()) {
            state.SkipWithError("XTest is not available");
            break;
        }
        const Window chart = watch.nextMapped(60s);
        if (!chart) {
            state.SkipWithError("no chart window appeared");
            break;
        }
        mapped += seconds(Clock::now() - clicked);
        while (!watch.pieDrawn(chart) && Clock::now() - clicked < 60s)
            std::this_thread::sleep_for(1ms);
        const auto painted = Clock::now();
        rssAdded += residentBytes(pid) - rssBefore;
        state.SetIterationTime(seconds(painted - clicked));
        std::this_thread::sleep_for(200ms);
        const auto closing = Clock::now();
        run.closeBox(chart);
        if (!watch.destroyed(chart, 60s)) {
            state.SkipWithError("the chart window did not go");
            break;
        }
        close += seconds(Clock::now() - closing);
        std::this_thread::sleep_for(200ms);
    }
    run.signalAndWait(SIGKILL);
    const double n = double(std::max<benchmark::IterationCount>(1, state.iterations()));
    state.counters["slices"] = double(state.range(0));
    state.counters["close_ms"] = close / n * 1000;
    state.counters["rss_added_MB"] = megabytes(rssAdded / n);
    state.counters["mapped_ms"] = mapped / n * 1000;
}
BENCHMARK(BM_RealChartWindowUnderXvfb)
    ->Arg(5)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(32767)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
