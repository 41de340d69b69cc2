// The Site survey page, headless, against the demonstration set on loopback:
// the survey runs on its worker while the page stays responsive, the table
// shows every luminaire with its verdict colour, sorts, cancels, and SAVE
// writes the workbook.
#include "gateway_link.h"
#include "gateway_sim.h"
#include "link_settings.h"
#include "prompts.h"
#include "resources.h"
#include "save_prompt.h"
#include "sim_data.h"
#include "reply.h"
#include "status_record.h"
#include "test_result_record.h"
#include "skin_button.h"
#include "survey_page.h"
#include "trace.h"

#include <QApplication>
#include <QProgressBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include <filesystem>

class SurveyPageTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { init_orvypc_resources(); }
    void init()
    {
        QVERIFY(aes_load_key() == 0);
        ResetLink();
        m_sim = std::make_unique<GatewaySim>(demo_config());
        QVERIFY(m_sim->start());
        LinkSettings s;
        s.gatewayAddress = "127.0.0.1";
        s.port = m_sim->port();
        s.heartbeatPeriodMs = 600000;
        s.recvTimeoutMs = s.sendTimeoutMs = 1000;
        set_link_settings(s);
        set_trace_sink({});
        ScanGateway();
        QCOMPARE(g_link.bConnected.load(), 1);
    }
    void cleanup()
    {
        ResetLink();
        m_sim.reset();
        QVERIFY(QApplication::topLevelWidgets().size() <= 1);
    }

    void surveysEveryLuminaireWithVerdictColoursAndSaves()
    {
        const auto dir = std::filesystem::temp_directory_path() / ("orvypc-survey-page-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        FixedPathPrompt save((dir / "site.xlsx").string());
        QWidget owner;
        owner.resize(901, 600);
        SurveyPage page(&owner, save);
        owner.show();
        page.show();
        QVERIFY(page.Running());
        QTRY_VERIFY_WITH_TIMEOUT(!page.Running(), 20000);
        const int rows = static_cast<int>(demo_luminaires().size());
        QCOMPARE(page.Table()->rowCount(), rows);
        QCOMPARE(page.Progress()->value(), page.Progress()->maximum());

        // Sorted by verdict, most urgent first; each verdict cell has its
        // colour: red, amber, grey, none.
        page.Table()->sortByColumn(3, Qt::AscendingOrder);
        const QStringList order{"fault", "overdue", "not read", "ok"};
        for (int r = 0; r < rows; ++r) {
            const QTableWidgetItem* v = page.Table()->item(r, 3);
            const QString text = v->text();
            if (text == "fault") QCOMPARE(v->background().color(), QColor(0xFF, 0, 0));
            else if (text == "overdue") QCOMPARE(v->background().color(), QColor(0xFF, 0x99, 0));
            else QCOMPARE(v->background().style(), Qt::NoBrush);
            if (r > 0) QVERIFY(order.indexOf(page.Table()->item(r - 1, 3)->text()) <= order.indexOf(text));
        }

        // A double-click shows the 74 status items of that row's luminaire,
        // the texts the status workbook has for the simulator's bytes.
        const QString address = page.Table()->item(0, 0)->text();
        const auto sim = demo_luminaires();
        const auto lum = std::find_if(sim.begin(), sim.end(), [&](const SimLuminaire& l) {
            return QString::fromStdString(FormatUnitAddress(l.unit)) == address;
        });
        QVERIFY(lum != sim.end());
        std::vector<std::uint8_t> reply(kRxBufSize, 0);
        std::copy(lum->status.begin(), lum->status.end(), reply.begin() + kStatusDataFirst);
        const std::vector<StatusItem> expected = status_items(reply.data());
        QStringList shown;
        QTimer::singleShot(0, [&] {
            auto* box = QApplication::activeModalWidget();
            if (box == nullptr) return;
            if (auto* items = box->findChild<QTableWidget*>(QString::number(IDC_SURVEY_ITEMS))) {
                for (int r = 0; r < items->rowCount(); ++r) shown << items->item(r, 1)->text() + "=" + items->item(r, 2)->text();
                QVERIFY(items->editTriggers() == QAbstractItemView::NoEditTriggers);
            }
            box->close();
        });
        page.OnShowItems(0);
        QCOMPARE(shown.size(), kStatusItemCount);
        for (int i = 0; i < kStatusItemCount; ++i)
            QCOMPARE(shown[i], QString::fromStdString(expected[std::size_t(i)].label + "=" + expected[std::size_t(i)].value));

        page.findChild<CxSkinButton*>(QString::number(IDC_SURVEY_SAVE))->click();
        QVERIFY(std::filesystem::is_regular_file(dir / "site.xlsx"));
        std::filesystem::remove_all(dir);

        // REPORT is the program's: off until it gives one, then handed the
        // survey shown.
        auto* report = page.findChild<CxSkinButton*>(QString::number(IDC_SURVEY_REPORT));
        QVERIFY(!report->isEnabled());
        const SiteSurvey* reported = nullptr;
        page.SetReportAction([&](const SiteSurvey& survey, const std::string&) { reported = &survey; });
        QVERIFY(report->isEnabled());
        report->click();
        QCOMPARE(reported, page.Survey());
    }

    void cancelEndsTheSurveyBetweenExchanges()
    {
        SimFaults slow;
        slow.replyDelayMs = 30;
        m_sim->set_faults(slow);
        FixedPathPrompt noSave(std::nullopt);
        SurveyPage page(nullptr, noSave);
        page.show();
        QTRY_VERIFY_WITH_TIMEOUT(page.Progress()->maximum() > 0, 10000);   // the list is in
        page.findChild<CxSkinButton*>(QString::number(IDC_SURVEY_CANCEL))->click();
        QTRY_VERIFY_WITH_TIMEOUT(!page.Running(), 5000);
        QVERIFY(page.Survey()->cancelled);
        QVERIFY(!page.Survey()->complete());
        page.hide();
    }

private:
    std::unique_ptr<GatewaySim> m_sim;
};

QTEST_MAIN(SurveyPageTest)
#include "survey_page_test.moc"
