#include "orvypc_app.h"

#include "end_signals.h"

#include "app_module.h"
#include "cli.h"
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
#include "prompts.h"
#include "qt_prompts.h"
#include "qt_save_prompt.h"
#include "stop_request.h"
#include "resources.h"
#include "save_prompt.h"
#include "status_page.h"
#include "survey_logbook.h"
#include "survey_page.h"
#include "survey_read_hook.h"
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

bool equals_ignoring_case(const std::string& a, const char* b)
{
    const std::string other(b);
    return a.size() == other.size() &&
           std::equal(a.begin(), a.end(), other.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

bool is_one_of(const std::string& name, std::initializer_list<const char*> names)
{
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return equals_ignoring_case(name, n); });
}

// The profile key the program is started under; nothing is stored there.
const char* const kProfileKey = "应用程序向导生成的本地应用程序";

}  // namespace

CommandLineInfo ParseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLineInfo info;
    for (const std::string& argument : arguments) {
        if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) continue;
        const std::string name = argument.substr(1);
        if (is_one_of(name, {"Embedding", "Automation"})) info.runEmbedded = true;
        else if (is_one_of(name, {"Unregister", "Unregserver", "UnregisterPerUser", "UnregserverPerUser"}))
            info.unregister = true;
        else if (is_one_of(name, {"Register", "Regserver", "RegisterPerUser", "RegserverPerUser"}))
            info.registerServer = true;
    }
    return info;
}

int COrvyPcApp::InitInstance(int argc, char** argv)
{
    init_orvypc_resources();
    const CommandLineInfo info = ParseCommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));

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
    return RunMainWindow(argc, argv);
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

bool COrvyPcApp::ApplyLinkOptions(int argc, char** argv)
{
    LinkSettings settings = link_settings();
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::string value;
        const auto eq = name.find('=');
        const bool inline_value = eq != std::string::npos;
        if (inline_value) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name != "--gateway" && name != "--broadcast" && name != "--port" && name != "--timeout")
            continue;  // anything else is left to the window system
        if (!inline_value && i + 1 < argc) value = argv[++i];
        const std::string error = apply_link_option(name, value, settings);
        if (!error.empty()) {
            std::fprintf(stderr, "orvypc: %s\n", error.c_str());
            return false;
        }
    }
    set_link_settings(settings);
    return true;
}

namespace {

// --logbook WHERE and --no-logbook, as the command line takes them.
bool LogbookOptions(int argc, char** argv, std::string* where)
{
    bool record = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--no-logbook") record = false;
        else if (arg.rfind("--logbook=", 0) == 0) *where = arg.substr(10);
        else if (arg == "--logbook" && i + 1 < argc) *where = argv[++i];
    }
    return record;
}

// Every listing a page runs goes into the logbook; a logbook that cannot be
// used is said once, in a box, and the program goes on without it.
void RecordListingsInLogbook(const std::string& where)
{
    auto told = std::make_shared<bool>(false);
    set_listing_read_hook([where, told](const char* kind, const std::vector<TestResultRecord>& records,
                                        std::optional<std::uint8_t> unit) {
        const RunRecord run = listing_run(kind, g_link.pucDestIpBuf, records, last_listing_complete(),
                                          last_listing_reason(), unit);
        const std::string note = record_run({where, link_settings()}, run);
        if (!note.empty() && !*told) {
            *told = true;
            prompts().message_box(note);
        }
    });
}

}  // namespace

int COrvyPcApp::RunMainWindow(int argc, char** argv)
{
    if (!ApplyLinkOptions(argc, argv)) return kExitUsage;
    if (const std::string reason = missing_display_reason(); !reason.empty()) {
        std::fprintf(stderr, "orvypc: %s\n", reason.c_str());
        return kExitUsage;
    }
    std::string logbook;
    std::unique_ptr<DetailsLogbook> detailsLogbook;   // the Details page's history and remarks
    if (LogbookOptions(argc, argv, &logbook)) {
        keep_local_logbook_open(true);
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
        dlg.SetSurveyPageFactory([&](COrvyPcDlg* owner) -> QWidget* { return new SurveyPage(owner, listSavePrompt); });
        bool endedBySignal = false;
        WatchEndSignals(&dlg, [&endedBySignal] {
            endedBySignal = true;
            trace("end signal\n");
            QApplication::closeAllWindows();   // a modal box too
            QApplication::quit();
        });
        dlg.OnInitDialog();
        dlg.show();
        status = app.exec();
        // The heartbeat may be waiting for a box nobody will answer now.
        qtPrompts.shut_down();
        set_listing_read_hook({});
        set_survey_read_hook({});
        set_luminaire_logbook(nullptr);
        keep_local_logbook_open(false);
        // Still in an exchange, the heartbeat ends with the process, now;
        // so does a program told to end, as the close button ends it.
        if (!StopHeartbeatWithin(kEndHeartbeatWaitMs) || endedBySignal) {
            std::fflush(nullptr);
            std::_Exit(status);
        }
        set_prompts(nullptr);
    }
    return status;
}

bool has_server_switch(int argc, char** argv)
{
    const CommandLineInfo info =
        ParseCommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
    return info.runEmbedded || info.unregister || info.registerServer;
}

int run_desktop(int argc, char** argv)
{
    COrvyPcApp theApp;
    return theApp.InitInstance(argc, argv);
}
