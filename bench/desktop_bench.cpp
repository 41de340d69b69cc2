// The desktop program's start: from the top of main() to the end of the
// main window's first paint, the way the program starts it (application
// object, resources, window, its initialisation with the connection to the
// gateway, show), and the resident memory at that moment. The gateway is a
// simulator on loopback reached by address, so no discovery is waited out;
// it is started before the clock starts.
//
//   QT_QPA_PLATFORM=offscreen orvypc-desktop-bench [RUNS]
//
// Each run is a fresh process (the program starts once per process).
#include "gateway_link.h"
#include "gateway_sim.h"
#include "link_settings.h"
#include "main_window.h"
#include "prompts.h"
#include "qt_prompts.h"
#include "resources.h"
#include "sim_data.h"
#include "trace.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long rss_kb() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
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
                rss = rss_kb();
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }
    bool painted = false;
    Clock::time_point end;
    long rss = 0;
};

// One start in this process; writes "milliseconds rss_kb" to `out`.
int one_start(int argc, char** argv, int out) {
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
    const std::string line = std::to_string(ms) + " " + std::to_string(watch.rss) + "\n";
    return write(out, line.data(), line.size()) == static_cast<ssize_t>(line.size()) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 10;
    if (runs < 1) {
        std::fprintf(stderr, "usage: orvypc-desktop-bench [RUNS]\n");
        return 1;
    }
    std::vector<double> ms;
    std::vector<long> rss;
    for (int i = 0; i < runs; ++i) {
        int fds[2];
        if (pipe(fds) != 0) return 1;
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            int qtArgc = 1;
            _exit(one_start(qtArgc, argv, fds[1]));
        }
        close(fds[1]);
        char buf[128] = {};
        const ssize_t got = read(fds[0], buf, sizeof buf - 1);
        close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        double t = 0;
        long kb = 0;
        if (got <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || std::sscanf(buf, "%lf %ld", &t, &kb) != 2) {
            std::fprintf(stderr, "orvypc-desktop-bench: start %d failed\n", i + 1);
            return 1;
        }
        ms.push_back(t);
        rss.push_back(kb);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(rss.begin(), rss.end());
    std::printf("desktop start to first paint   median %8.1f ms   max %8.1f ms   RSS %ld kB   (%d starts)\n",
                ms[ms.size() / 2], ms.back(), rss[rss.size() / 2], runs);
    return 0;
}
