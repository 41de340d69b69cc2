// Renders the three pages, connected to the demonstration gateway on
// loopback, into PNG files (the pictures in the documentation):
//
//   QT_QPA_PLATFORM=offscreen page_shots docs/
//
// writes status-page.png, test-results-page.png, details-page.png and
// details-history-page.png (the Details page showing the luminaire's
// history from a logbook made for the picture, with one remark).
#include "demo_gateway.h"
#include "details_logbook.h"
#include "details_logbook_pane.h"
#include "details_page.h"
#include "gateway_link.h"
#include "link_settings.h"
#include "listing_read_hook.h"
#include "listings.h"
#include "logbook_recording.h"
#include "main_window.h"
#include "prompts.h"
#include "qt_prompts.h"
#include "resources.h"
#include "result_list_view.h"
#include "save_prompt.h"
#include "status_page.h"
#include "test_results_page.h"
#include "trace.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

namespace {

bool shoot(QWidget& window, const QDir& dir, const char* name)
{
    QApplication::processEvents();
    if (window.grab().save(dir.filePath(QString::fromLatin1(name)))) return true;
    std::fprintf(stderr, "page_shots: cannot write %s\n", name);
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: page_shots <folder>\n");
        return 2;
    }
    QApplication app(argc, argv);
    init_orvypc_resources();
    set_trace_sink({});
    const QDir dir(QString::fromLocal8Bit(argv[1]));

    DemoGateway demo;
    LinkSettings settings;
    if (!demo.start(&settings)) return 1;
    set_link_settings(settings);

    // The listings go into a logbook of the picture's own, as the program
    // records them.
    const QTemporaryDir logbookDir;
    const std::string logbook = logbookDir.filePath(QStringLiteral("logbook.sqlite")).toStdString();
    DetailsLogbook detailsLogbook(logbook);
    set_luminaire_logbook(&detailsLogbook);
    set_listing_read_hook([logbook](const char* kind, const std::vector<TestResultRecord>& records,
                                    std::optional<std::uint8_t> unit) {
        const std::string gateway = g_link.pucDestIpBuf;
        const bool complete = last_listing_complete();
        record_run({logbook, link_settings()},
                   listing_run(kind, gateway, records, complete, last_listing_reason(), unit),
                   gateway_found(gateway, records, complete && std::string(kind) == "results"));
    });

    bool ok = true;
    {
        COrvyPcDlg dlg;
        QtPrompts prompts(&dlg);
        set_prompts(&prompts);
        FixedPathPrompt noSave(std::nullopt);  // nothing is exported here
        dlg.SetStatusPageFactory([&](COrvyPcDlg* owner) -> QWidget* { return new StatuDialog(owner, noSave); });
        dlg.SetTestResultPageFactory([&](COrvyPcDlg* owner) -> QWidget* { return new TestResultTab(owner, noSave); });
        dlg.OnInitDialog();
        dlg.show();

        dlg.OnStatus();
        auto* status = static_cast<StatuDialog*>(dlg.StatusPage());
        status->findChild<QComboBox*>(QString::number(IDC_LINE_SELECTOR))->setCurrentIndex(1);
        status->findChild<QLineEdit*>(QString::number(IDC_SHORT_ADDRESS))->setText(QStringLiteral("5"));
        ok = shoot(dlg, dir, "status-page.png") && ok;
        status->hide();

        dlg.OnTestResults();
        auto* results = static_cast<TestResultTab*>(dlg.TestResultPage());
        const int row = 3;
        results->List()->selectRow(row);
        results->OnClickList(row);
        ok = shoot(dlg, dir, "test-results-page.png") && ok;
        results->OnDetail();
        ok = shoot(dlg, dir, "details-page.png") && ok;
        Details* details = results->DetailsPage();
        details->findChild<QLineEdit*>(QString::fromUtf8(kRemarkTextName))->setText(QStringLiteral("battery replaced"));
        details->findChild<QPushButton*>(QString::fromUtf8(kAddRemarkName))->click();
        ok = shoot(dlg, dir, "details-history-page.png") && ok;

        prompts.shut_down();
        ResetLink();
        set_prompts(nullptr);
    }
    set_listing_read_hook({});
    set_luminaire_logbook(nullptr);
    return ok ? 0 : 1;
}
