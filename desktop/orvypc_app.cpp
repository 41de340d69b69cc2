#include "orvypc_app.h"

#include "end_signals.h"

#include "app_module.h"
#include "cli.h"
#include "demo_gateway.h"
#include "desktop.h"
#include "details_logbook.h"
#include "display_check.h"
#include "gateway_link.h"
#include "link_settings.h"
#include "listing_read_hook.h"
#include "listings.h"
#include "logbook_recording.h"
#include "luminaire_logbook.h"
#include "main_window.h"
#include "monitor_status.h"
#include "prompts.h"
#include "qt_prompts.h"
#include "qt_save_prompt.h"
#include "stop_request.h"
#include "resources.h"
#include "save_prompt.h"
#include "site_name_bar.h"
#include "status_page.h"
#include "survey_logbook.h"
#include "survey_page.h"
#include "survey_read_hook.h"
#include "survey_report.h"
#include "report_pdf.h"
#include "test_results_page.h"
#include "trace.h"

#include <QApplication>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <memory>
#include <cstdio>

namespace {

// At the end of the window the heartbeat is given this long to stop; one
// still in an exchange then ends with the process.
constexpr int kEndHeartbeatWaitMs = 300;

// The profile key the program is started under; nothing is stored there.
const char* const kProfileKey = "应用程序向导生成的本地应用程序";

}  // namespace

int COrvyPcApp::InitInstance(const Invocation& invocation, int argc, char** argv)
{
    init_orvypc_resources();
    const CommandLineInfo& info = invocation.server;

    if (info.runEmbedded) return RunEmbedded();

    if (info.unregister || info.registerServer) {
        COrvyPcModule module(RegistrationPaths::from_environment());
        std::string error;
        const bool ok = info.unregister ? module.UnregisterServer(&error) : module.RegisterServer(&error);
        if (!ok) {
            std::fprintf(stderr, "OrvyPc: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    return RunMainWindow(invocation, argc, argv);
}

// As an automation server the program exposes nothing and shows nothing; it
// runs until it is told to end (SIGTERM or SIGINT; Ctrl+C or the console
// closing on Windows) and then ends cleanly.
int COrvyPcApp::RunEmbedded()
{
    prepare_for_stop();
    wait_for_stop();
    return 0;
}

namespace {

// Every listing a page runs goes into the logbook; a logbook that cannot be
// used is said once, in a box, and the program goes on without it.
void RecordListingsInLogbook(const std::string& where)
{
    auto told = std::make_shared<bool>(false);
    set_listing_read_hook([where, told](const char* kind, const std::vector<TestResultRecord>& records,
                                        std::optional<std::uint8_t> unit) {
        const std::string gateway = g_link.pucDestIpBuf;
        const bool complete = last_listing_complete();
        const RunRecord run = listing_run(kind, gateway, records, complete, last_listing_reason(), unit);
        // A results listing read to its end is the gateway's whole list: its
        // site is told (or asked) from it.
        const bool whole = complete && std::string(kind) == "results";
        const std::string note = record_run({where, link_settings()}, run, gateway_found(gateway, records, whole));
        if (!note.empty() && !*told) {
            *told = true;
            prompts().message_box(note);
        }
    });
}

}  // namespace

COrvyPcDlg::MonitorLineSource MonitorLineFromLogbook(const std::string& where)
{
    return [where](const LinkSettings& link) { return monitor_status_text(read_monitor_status({where, link})); };
}

int COrvyPcApp::RunMainWindow(const Invocation& invocation, int argc, char** argv)
{
    if (const std::string reason = missing_display_reason(); !reason.empty()) {
        std::fprintf(stderr, "orvypc: %s\n", reason.c_str());
        return kExitUsage;
    }
    // --demo: the simulator on loopback, which the first discovery finds.
    LinkSettings link = invocation.options.link;
    DemoGateway demo;
    if (invocation.demo && !demo.start(&link)) return kExitNoLink;
    set_link_settings(link);
    const std::string& logbook = invocation.options.logbook;
    std::unique_ptr<DetailsLogbook> detailsLogbook;   // the Details page's history and remarks
    if (!invocation.options.noLogbook) {
        RecordListingsInLogbook(logbook);
        record_surveys_in_logbook(logbook);
        detailsLogbook = std::make_unique<DetailsLogbook>(logbook);
        set_luminaire_logbook(detailsLogbook.get());
    }
    int qtArgc = argc;
    QApplication app(qtArgc, argv);
    QCoreApplication::setOrganizationName(QString::fromUtf8(kProfileKey));
    QCoreApplication::setApplicationName(QStringLiteral("OrvyPc"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/orvypc.png")));

    int status = 0;
    {
        COrvyPcDlg dlg;
        QtPrompts qtPrompts(&dlg);
        set_prompts(&qtPrompts);
        // The save-file dialogs of the exports: the status workbook's filter
        // text differs from the lists' in its blanks.
        QtSavePrompt statusSavePrompt(&dlg, kStatusSaveFilter);
        QtSavePrompt listSavePrompt(&dlg, kListSaveFilter);
        dlg.SetStatusPageFactory([&](COrvyPcDlg* owner) -> QWidget* {
            return new StatuDialog(owner, statusSavePrompt);
        });
        dlg.SetTestResultPageFactory([&](COrvyPcDlg* owner) -> QWidget* {
            return new TestResultTab(owner, listSavePrompt);
        });
        // The Site survey page's report is made from the logbook: none without one.
        QtSavePrompt reportSavePrompt(&dlg, kReportSaveFilter);
        dlg.SetSurveyPageFactory([&](COrvyPcDlg* owner) -> QWidget* {
            auto* page = new SurveyPage(owner, listSavePrompt);
            if (!invocation.options.noLogbook) {
                page->SetReportAction([&](const SiteSurvey& survey, const std::string& logbookNote) {
                    report_surveyed_site(logbook, survey, logbookNote, reportSavePrompt);
                });
            }
            return page;
        });
        // What an unattended monitor keeps in the same logbook.
        if (!invocation.options.noLogbook) dlg.SetMonitorLineSource(MonitorLineFromLogbook(logbook));
        bool endedBySignal = false;
        WatchEndSignals(&dlg, [&endedBySignal] {
            endedBySignal = true;
            trace("end signal\n");
            QApplication::closeAllWindows();   // a modal box too
            QApplication::quit();
        });
        dlg.OnInitDialog();
        // The home page's site, named there: only with a logbook to keep it.
        if (!invocation.options.noLogbook) new SiteNameBar(&dlg, logbook);
        dlg.show();
        status = app.exec();
        // The heartbeat may be waiting for a box nobody will answer now.
        qtPrompts.shut_down();
        set_listing_read_hook({});
        set_survey_read_hook({});
        set_luminaire_logbook(nullptr);
        // Still in an exchange, the heartbeat ends with the process, now;
        // so does a read of the monitor's line still waiting for a server,
        // and a program told to end, as the close button ends it.
        if (!StopHeartbeatWithin(kEndHeartbeatWaitMs) || dlg.MonitorLineReading() || endedBySignal) {
            std::fflush(nullptr);
            std::_Exit(status);
        }
        set_prompts(nullptr);
    }
    return status;
}

int run_desktop(const Invocation& invocation, int argc, char** argv)
{
    COrvyPcApp theApp;
    return theApp.InitInstance(invocation, argc, argv);
}
