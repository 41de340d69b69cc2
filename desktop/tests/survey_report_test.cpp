// The Site survey page's REPORT as the program wires it: a survey of the
// demonstration gateway recorded into a real SQLite logbook, then the
// report of the site written from it; and refused, with nothing written,
// when the survey is not in the logbook.
#include "gateway_link.h"
#include "gateway_sim.h"
#include "link_settings.h"
#include "prompts.h"
#include "resources.h"
#include "save_prompt.h"
#include "sim_data.h"
#include "skin_button.h"
#include "survey_logbook.h"
#include "survey_page.h"
#include "survey_read_hook.h"
#include "survey_report.h"
#include "trace.h"

#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>

namespace {

class RecordedPrompts final : public Prompts {
public:
    void message_box(const std::string& text) override { messages.push_back(text); }
    void set_status_line(const std::string&) override {}
    std::vector<std::string> messages;
};

}  // namespace

class SurveyReportTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { init_orvypc_resources(); }

    void reportOfTheSiteJustSurveyed()
    {
        GatewaySim sim(demo_config());
        QVERIFY(sim.start());
        QVERIFY(aes_load_key() == 0);
        LinkSettings s;
        s.gatewayAddress = "127.0.0.1";
        s.port = sim.port();
        s.heartbeatPeriodMs = 600000;
        set_link_settings(s);
        set_trace_sink({});
        ScanGateway();
        QCOMPARE(g_link.bConnected.load(), 1);

        QTemporaryDir dir;
        const std::string book = dir.filePath(QStringLiteral("logbook.sqlite")).toStdString();
        const std::string pdf = dir.filePath(QStringLiteral("site.pdf")).toStdString();
        record_surveys_in_logbook(book);
        RecordedPrompts recorded;
        set_prompts(&recorded);
        FixedPathPrompt noWorkbook(std::nullopt), report(pdf);
        SurveyPage page(nullptr, noWorkbook);
        page.SetReportAction([&](const SiteSurvey& survey, const std::string& note) {
            report_surveyed_site(book, survey, note, report);
        });
        page.show();
        QTRY_VERIFY_WITH_TIMEOUT(!page.Running(), 20000);
        page.findChild<CxSkinButton*>(QString::number(IDC_SURVEY_REPORT))->click();
        QVERIFY2(recorded.messages.empty(), recorded.messages.empty() ? "" : recorded.messages[0].c_str());
        QVERIFY(std::filesystem::is_regular_file(pdf));
        QCOMPARE(report.proposed().at(0), "Test record 127.0.0.1 " + local_now_text().substr(0, 10) + ".pdf");

        // A survey the logbook could not take: no report of a record without it.
        std::filesystem::remove(pdf);
        report_surveyed_site(book, *page.Survey(), "logbook: the disk is full", report);
        QCOMPARE(recorded.messages.size(), std::size_t{1});
        QVERIFY(recorded.messages[0].find("this survey is not in it") != std::string::npos);
        QVERIFY(!std::filesystem::exists(pdf));

        page.hide();
        set_prompts(nullptr);
        set_survey_read_hook({});
        ResetLink();
    }
};

QTEST_MAIN(SurveyReportTest)
#include "survey_report_test.moc"
