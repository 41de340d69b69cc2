// Renders the Site survey page, after a survey of the demonstration gateway
// on loopback, into a PNG file (the picture in the documentation):
//
//   QT_QPA_PLATFORM=offscreen survey_shot docs/survey-page.png
//
// On a window system (Windows, Wine) the picture is what the screen shows.
#include "demo_gateway.h"
#include "gateway_link.h"
#include "link_settings.h"
#include "main_window.h"
#include "prompts.h"
#include "qt_prompts.h"
#include "resources.h"
#include "save_prompt.h"
#include "survey_page.h"
#include "trace.h"
#include "window_picture.h"

#include <QApplication>
#include <QTableWidget>
#include <QThread>

#include <cstdio>
#include <string>

namespace {
constexpr int kMaxWaitRounds = 3000;   // 30 s at 10 ms
constexpr int kSortColumn = 3;         // the verdict column: faults first
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: survey_shot <file.png>\n");
        return 2;
    }
    QApplication app(argc, argv);
    init_orvypc_resources();
    set_trace_sink({});

    DemoGateway demo;
    LinkSettings settings;
    if (!demo.start(&settings)) return 1;
    set_link_settings(settings);

    bool ok = false;
    {
        COrvyPcDlg dlg;
        QtPrompts prompts(&dlg);
        set_prompts(&prompts);
        FixedPathPrompt noSave(std::nullopt);
        dlg.SetSurveyPageFactory([&](COrvyPcDlg* owner) -> QWidget* {
            auto* page = new SurveyPage(owner, noSave);
            page->SetReportAction([](const SiteSurvey&, const std::string&) {});   // REPORT as with a logbook
            return page;
        });
        dlg.OnInitDialog();
        dlg.show();
        dlg.OnSurvey();
        auto* page = static_cast<SurveyPage*>(dlg.SurveyPageWindow());
        for (int i = 0; page != nullptr && page->Running() && i < kMaxWaitRounds; ++i) {
            QApplication::processEvents();
            QThread::msleep(10);
        }
        if (page != nullptr && !page->Running()) {
            page->Table()->sortByColumn(kSortColumn, Qt::AscendingOrder);
            QApplication::processEvents();
            ok = window_picture(dlg).save(QString::fromLocal8Bit(argv[1]));
        }
        if (!ok) std::fprintf(stderr, "survey_shot: no picture written\n");
        prompts.shut_down();
        ResetLink();
        set_prompts(nullptr);
    }
    return ok ? 0 : 1;
}
