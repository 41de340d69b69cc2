// The desktop program's start: from the top of main() to the end of the
// main window's first paint, the way the program starts it (application
// object, resources, window, its initialisation with the connection to the
// gateway, show), and the resident memory at that moment. The gateway is a
// simulator on loopback reached by address, so no discovery is waited out;
// it is started before the clock starts. Also from the start of the process
// (the loader and the Qt libraries before main()), as the one who started it
// sees it.
//
//   QT_QPA_PLATFORM=offscreen orvypc-desktop-bench [RUNS]
//
// Each run is a fresh process (the program starts once per process): this
// same program, told by ORVYPC_DESKTOP_BENCH_CHILD to start the window.
#include "gateway_link.h"
#include "gateway_sim.h"
#include "link_settings.h"
#include "main_window.h"
#include "process_memory.h"
#include "prompts.h"
#include "qt_prompts.h"
#include "resources.h"
#include "sim_data.h"
#include "trace.h"

#include <QApplication>
#include <QEvent>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// One clock for the whole machine, so that a child's moments compare with
// its parent's.
using Clock = std::chrono::steady_clock;
const char* const kChildVariable = "ORVYPC_DESKTOP_BENCH_CHILD";

long long micros(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

// Ends the event loop once the watched window has been painted.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted) {
            painted = true;
            // After the paint itself: the filter runs before it.
            QTimer::singleShot(0, [this] {
                end = Clock::now();
                rss = resident_memory_kb();
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }
    bool painted = false;
    Clock::time_point end;
    long rss = 0;
};

// One start in this process; prints "milliseconds paint_end_us rss_kb".
int one_start(int argc, char** argv) {
    GatewaySim sim(demo_config());
    if (!sim.start()) return 1;
    set_trace_sink({});

    const auto start = Clock::now();
    QApplication app(argc, argv);
    init_orvypc_resources();
    LinkSettings settings;
    settings.gatewayAddress = "127.0.0.1";
    settings.port = sim.port();
    set_link_settings(settings);
    FirstPaint watch;
    {
        COrvyPcDlg dlg;
        QtPrompts prompts(&dlg);
        set_prompts(&prompts);
        dlg.installEventFilter(&watch);
        dlg.OnInitDialog();
        dlg.show();
        QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });   // bound: never painted
        const int status = app.exec();
        prompts.shut_down();
        ResetLink();
        set_prompts(nullptr);
        if (status != 0 || !watch.painted) return 1;
    }
    const double ms = std::chrono::duration<double, std::milli>(watch.end - start).count();
    std::printf("%f %lld %ld\n", ms, micros(watch.end), watch.rss);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv(kChildVariable) != nullptr) return one_start(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 10;
    if (runs < 1) {
        std::fprintf(stderr, "usage: orvypc-desktop-bench [RUNS]\n");
        return 1;
    }
    QCoreApplication app(argc, argv);
    std::vector<double> ms, whole;
    std::vector<long> rss;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kChildVariable, "1");
        child.setProcessEnvironment(env);
        const long long started = micros(Clock::now());
        child.start(QCoreApplication::applicationFilePath(), {});
        double t = 0;
        long long paintedUs = 0;
        long kb = 0;
        if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 ||
            std::sscanf(child.readAllStandardOutput().constData(), "%lf %lld %ld", &t, &paintedUs, &kb) != 3) {
            std::fprintf(stderr, "orvypc-desktop-bench: start %d failed\n", i + 1);
            return 1;
        }
        ms.push_back(t);
        whole.push_back(double(paintedUs - started) / 1000.0);
        rss.push_back(kb);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(whole.begin(), whole.end());
    std::sort(rss.begin(), rss.end());
    std::printf("desktop start to first paint   median %8.1f ms   max %8.1f ms   RSS %ld kB   (%d starts)\n",
                ms[ms.size() / 2], ms.back(), rss[rss.size() / 2], runs);
    std::printf("  from the process's start     median %8.1f ms   max %8.1f ms\n", whole[whole.size() / 2],
                whole.back());
    return 0;
}
