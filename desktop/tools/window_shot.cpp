// Renders the home page, connected to the demonstration gateway on
// loopback, into a PNG file (the picture in the documentation); with
// --message, with the program's message box of that text over it.
//
//   QT_QPA_PLATFORM=offscreen window_shot docs/main-window.png
//   window_shot --message TEXT picture.png
//
// On a window system (Windows, Wine) the picture is what the screen shows.
#include "demo_gateway.h"
#include "gateway_link.h"
#include "link_settings.h"
#include "main_window.h"
#include "prompts.h"
#include "qt_prompts.h"
#include "resources.h"
#include "trace.h"
#include "window_picture.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    const bool withMessage = argc == 4 && std::string(argv[1]) == "--message";
    if (argc != 2 && !withMessage) {
        std::fprintf(stderr, "usage: window_shot [--message TEXT] <file.png>\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[argc - 1]);
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
        QPixmap picture;
        if (withMessage) {
            // Taken while the box waits for its answer, then answered.
            QTimer::singleShot(0, [&] {
                picture = window_picture(dlg);
                if (QWidget* box = QApplication::activeModalWidget()) box->close();
            });
            prompts.message_box(argv[2]);
        } else {
            picture = window_picture(dlg);
        }
        if (!picture.save(file)) {
            std::fprintf(stderr, "window_shot: cannot write %s\n", qPrintable(file));
            status = 1;
        }
        prompts.shut_down();
        ResetLink();
        set_prompts(nullptr);
    }
    return status;
}
