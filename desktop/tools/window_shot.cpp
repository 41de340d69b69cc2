// Renders the home page, connected to the demonstration gateway on
// loopback, into a PNG file (the picture in the documentation).
//
//   QT_QPA_PLATFORM=offscreen window_shot docs/main-window.png
#include "demo_gateway.h"
#include "gateway_link.h"
#include "link_settings.h"
#include "main_window.h"
#include "prompts.h"
#include "qt_prompts.h"
#include "resources.h"
#include "trace.h"

#include <QApplication>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_shot <file.png>\n");
        return 2;
    }
    QApplication app(argc, argv);
    init_orvypc_resources();
    set_trace_sink({});

    DemoGateway demo;
    LinkSettings settings;
    if (!demo.start(&settings)) return 1;
    set_link_settings(settings);

    int status = 0;
    {
        COrvyPcDlg dlg;
        QtPrompts prompts(&dlg);
        set_prompts(&prompts);
        dlg.OnInitDialog();
        dlg.show();
        QApplication::processEvents();
        if (!dlg.grab().save(QString::fromLocal8Bit(argv[1]))) {
            std::fprintf(stderr, "window_shot: cannot write %s\n", argv[1]);
            status = 1;
        }
        prompts.shut_down();
        ResetLink();
        set_prompts(nullptr);
    }
    return status;
}
