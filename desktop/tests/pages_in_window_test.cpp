// The pages inside the real main window, as start-up builds them, against
// the simulator on loopback: each opens over the home page at its origin,
// takes the keys, and Escape hides it without ending the program; a second
// press brings back the same page; Details lies over Test Results.
#include "details_page.h"
#include "gateway_link.h"
#include "gateway_sim.h"
#include "link_settings.h"
#include "logbook.h"
#include "main_window.h"
#include "prompts.h"
#include "qt_prompts.h"
#include "qt_save_prompt.h"
#include "resources.h"
#include "result_list_view.h"
#include "save_prompt.h"
#include "sim_data.h"
#include "skin_button.h"
#include "status_page.h"
#include "survey_logbook.h"
#include "survey_page.h"
#include "survey_read_hook.h"
#include "test_results_page.h"
#include "trace.h"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

#include <filesystem>
#include <fstream>

namespace {

class RecordingPrompts : public QtPrompts {
public:
    using QtPrompts::QtPrompts;
    QStringList boxes;

protected:
    void show_message_box(const QString& text) override { boxes << text; }
};

struct Window {
    GatewaySim sim{demo_config()};
    COrvyPcDlg dlg;
    RecordingPrompts recorder{&dlg};
    FixedPathPrompt save{std::nullopt};

    Window()
    {
        set_trace_sink({});
        aes_load_key();
        ResetLink();
        sim.start();
        LinkSettings s;
        s.broadcastAddress = "127.255.255.255";
        s.port = sim.port();
        s.roundPauseMs = 4;
        s.heartbeatPeriodMs = 600000;
        s.sendTimeoutMs = 1000;
        s.recvTimeoutMs = 1000;
        set_link_settings(s);
        set_prompts(&recorder);
        dlg.SetStatusPageFactory([this](COrvyPcDlg* owner) -> QWidget* { return new StatuDialog(owner, save); });
        dlg.SetTestResultPageFactory(
            [this](COrvyPcDlg* owner) -> QWidget* { return new TestResultTab(owner, save); });
        dlg.OnInitDialog();
        dlg.show();
        QApplication::setActiveWindow(&dlg);
    }
    ~Window()
    {
        recorder.shut_down();
        ResetLink();
        set_prompts(nullptr);
        set_trace_sink(trace_to_stdout);
    }
    // Clicks the middle of a button's shape (the middle of its mask).
    void click(QWidget* in, int id)
    {
        auto* b = in->findChild<CxSkinButton*>(QString::number(id), Qt::FindDirectChildrenOnly);
        QVERIFY(b != nullptr);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->width() / 2, b->height() / 2));
    }
};

}  // namespace

class PagesInWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { init_orvypc_resources(); }
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void escape_hides_a_page_and_the_program_goes_on_data()
    {
        QTest::addColumn<int>("button");
        QTest::newRow("Status") << IDC_STATUS;
        QTest::newRow("Test Results") << IDC_TEST_RESULTS;
    }
    void escape_hides_a_page_and_the_program_goes_on()
    {
        QFETCH(int, button);
        Window w;
        QVERIFY(g_link.bConnected.load() == 1);
        w.click(&w.dlg, button);
        QWidget* page = button == IDC_STATUS ? w.dlg.StatusPage() : w.dlg.TestResultPage();
        QVERIFY(page != nullptr && page->isVisible());
        QCOMPARE(page->geometry(), QRect(0, 0, 901, 600));
        QVERIFY(page->hasFocus() || page->isAncestorOf(QApplication::focusWidget()));
        // The keys go to the page, not to the home page's button beneath.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(page->isHidden());
        QVERIFY(w.dlg.isVisible());
        // Opened again: the same page.
        w.click(&w.dlg, button);
        QCOMPARE(button == IDC_STATUS ? w.dlg.StatusPage() : w.dlg.TestResultPage(), page);
        QVERIFY(page->isVisible());
        QVERIFY(w.recorder.boxes.isEmpty());
    }

    void the_survey_page_opens_over_the_window_and_stays_while_it_runs()
    {
        Window w;
        SimFaults slow;
        slow.replyDelayMs = 5;   // long enough to press Escape while it runs
        slow.onlyCommands = {0x21};   // the status requests: one a luminaire, however many tests it stores
        w.sim.set_faults(slow);
        w.dlg.SetSurveyPageFactory([&w](COrvyPcDlg* owner) -> QWidget* { return new SurveyPage(owner, w.save); });
        w.click(&w.dlg, IDC_SURVEY);
        auto* page = static_cast<SurveyPage*>(w.dlg.SurveyPageWindow());
        QVERIFY(page != nullptr && page->isVisible());
        QCOMPARE(page->geometry(), QRect(0, 0, 901, 600));
        QVERIFY(page->Running());
        QTest::keyClick(page, Qt::Key_Escape);
        QVERIFY(page->isVisible());   // the survey holds the link: no other page meanwhile
        QTRY_VERIFY_WITH_TIMEOUT(!page->Running(), 30000);
        QVERIFY(page->Survey() != nullptr && page->Survey()->complete());
        QTest::keyClick(page, Qt::Key_Escape);
        QVERIFY(page->isHidden());
        QVERIFY(w.recorder.boxes.isEmpty());
    }

    // The page's survey goes into the logbook as start-up sets it, its
    // history comes back from there; a logbook that cannot be used is said
    // on the page, left as it was, and the survey is shown all the same.
    void the_survey_page_records_into_the_logbook_or_says_why_not()
    {
        const auto dir = std::filesystem::temp_directory_path() / ("orvypc-page-logbook-" + new_run_uid().substr(0, 8));
        std::filesystem::create_directories(dir);
        const std::string good = (dir / "logbook.sqlite").string(), bad = (dir / "damaged.sqlite").string();
        std::ofstream(bad) << "not a database at all";
        struct Case {
            std::string where;
            bool recorded;
        };
        for (const Case& c : {Case{good, true}, Case{bad, false}}) {
            Window w;
            record_surveys_in_logbook(c.where);
            w.dlg.SetSurveyPageFactory([&w](COrvyPcDlg* owner) -> QWidget* { return new SurveyPage(owner, w.save); });
            w.click(&w.dlg, IDC_SURVEY);
            auto* page = static_cast<SurveyPage*>(w.dlg.SurveyPageWindow());
            QTRY_VERIFY_WITH_TIMEOUT(!page->Running(), 30000);
            set_survey_read_hook({});
            QVERIFY(page->Survey()->complete());
            const QString note = page->findChild<QLabel*>(QString::number(IDC_SURVEY_NOTE))->text();
            QCOMPARE(note.contains("not recorded in the logbook"), !c.recorded);
            QCOMPARE(page->Survey()->luminaires.at(0).logged.has_value(), c.recorded);
            if (!c.recorded) {
                QCOMPARE(std::filesystem::file_size(bad), std::string("not a database at all").size());
                continue;
            }
            std::string why;
            auto book = open_logbook(good, &why);
            QVERIFY2(book != nullptr, why.c_str());
            const auto changes = book->changes_after(0, 0);
            QVERIFY(changes && changes->runs.size() == 1);
            QCOMPARE(changes->runs[0].kind, std::string("survey"));
            QCOMPARE(changes->runs[0].snapshots.size(), demo_luminaires().size());
            QCOMPARE(page->Survey()->luminaires.at(0).logged->size(), demo_luminaires().at(0).entries.size());
        }
        std::filesystem::remove_all(dir);
    }

    void details_lie_over_test_results_and_escape_goes_back_to_them()
    {
        Window w;
        w.click(&w.dlg, IDC_TEST_RESULTS);
        auto* results = static_cast<TestResultTab*>(w.dlg.TestResultPage());
        ResultListView* list = results->List();
        QVERIFY(list->rowCount() > 2);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(2, 0)).center());
        w.click(results, IDC_RESULTS_DETAIL);
        Details* details = results->DetailsPage();
        QVERIFY(details != nullptr && details->isVisible());
        QCOMPARE(details->mapTo(&w.dlg, QPoint(0, 0)), QPoint(0, 0));
        QCOMPARE(details->List()->rows().front()[0], list->rows()[2][0]);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(details->isHidden());
        QVERIFY(results->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(results->isHidden());
        QVERIFY(w.dlg.isVisible());
    }
};

QTEST_MAIN(PagesInWindowTest)
#include "pages_in_window_test.moc"
