// The Test Results and Details pages against the gateway simulator on
// loopback: the listing on every show and hide, the columns set up once,
// selection by click (and the re-arm below the last row), Detail without a
// click, the details newest first, and the two workbooks read back by the
// export tests' reader.
#include "details_page.h"
#include "listings.h"
#include "listing_read_hook.h"
#include "page_fixture.h"
#include "resources.h"
#include "result_list.h"
#include "result_list_view.h"
#include "save_prompt.h"
#include "selection_state.h"
#include "skin_button.h"
#include "test_result_record.h"
#include "test_results_page.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr std::uint8_t kResultsCommand = 0x10;
constexpr std::uint8_t kDetailsCommand = 0x15;

// Six luminaires on both lines; B5 (unit 69) holds three entries.
std::vector<SimLuminaire> luminaires()
{
    return {page_luminaire(0, 1, u"Stair"), page_luminaire(2, 2, u"Hall"),   page_luminaire(7, 1, u"Lift"),
            page_luminaire(69, 3, u"Exit"), page_luminaire(70, 0, u"Roof"), page_luminaire(127, 1, u"Dock")};
}

std::size_t first_requests(const PageGateway& gw, std::uint8_t cmd)
{
    std::size_t n = 0;
    for (const auto& p : gw.payloads_of(cmd))
        if (p.size() != kFollowUpPayloadLen) ++n;
    return n;
}

struct Pages {
    QTemporaryDir folder;
    FolderSavePrompt save{folder.path().toStdString()};
    QWidget owner;
    TestResultTab* page;

    Pages()
    {
        ucSelectID = 0;
        ucSelectUnit = 0;
        bIdSelected = false;
        owner.resize(901, 600);
        owner.show();
        page = new TestResultTab(&owner, save);
        page->show();
    }
    ResultListView* list() { return page->List(); }
    Details* details() { return page->DetailsPage(); }
    void click(QWidget* in, int id)
    {
        auto* b = in->findChild<CxSkinButton*>(QString::number(id), Qt::FindDirectChildrenOnly);
        QVERIFY(b != nullptr);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->width() / 2, b->height() / 2));
    }
    void click_row(int row)
    {
        const QRect r = list()->visualRect(list()->model()->index(row, 1));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, r.center());
    }
    void click_below_rows()
    {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, QPoint(40, list()->viewport()->height() - 5));
    }
    QStringList workbooks() const { return QDir(folder.path()).entryList({QStringLiteral("*.xlsx")}, QDir::Files); }
    // The rows a list shows, as JSON for the reader.
    QString rows_file(const ResultList& l, const QString& name) const
    {
        QJsonArray rows;
        for (const RowTexts& r : l.rows()) {
            QJsonArray row;
            for (const std::string& t : r) row.append(QString::fromStdString(t));
            rows.append(row);
        }
        QFile f(folder.filePath(name));
        if (!f.open(QIODevice::WriteOnly)) return {};
        f.write(QJsonDocument(rows).toJson());
        return f.fileName();
    }
};

QStringList headings(const QTableWidget* list)
{
    QStringList out;
    for (int c = 0; c < list->columnCount(); ++c) out << list->horizontalHeaderItem(c)->text();
    return out;
}

const QStringList kHeadings{"Address", "Name", "Location", "Test Date", "Type", "Time(min)", "Result"};

}  // namespace

class ResultPagesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { init_orvypc_resources(); }
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void lists_every_luminaire_with_its_headings()
    {
        PageGateway gw(luminaires());
        QVERIFY(gw.connected());
        Pages p;
        QCOMPARE(p.list()->geometry(), QRect(11, 55, 866, 377));  // dialog units of the page's font
        QCOMPARE(headings(p.list()), kHeadings);
        QVERIFY(p.list()->horizontalHeader()->isVisible());
        QVERIFY(p.list()->showGrid());
        QCOMPARE(p.list()->selectionBehavior(), QAbstractItemView::SelectRows);
        const std::vector<RowTexts> rows = p.list()->rows();
        QCOMPARE(rows.size(), std::size_t(5));  // the luminaire without entries has no row
        QStringList addresses;
        for (const RowTexts& r : rows) addresses << QString::fromStdString(r[kColAddress]);
        QCOMPARE(addresses, (QStringList{"A0", "A2", "A7", "B5", "B63"}));
        QCOMPARE(iShortAddressCount, 5);
        for (int c = 0; c < 7; ++c) QCOMPARE(p.list()->columnWidth(c), p.list()->ClientWidth() / 7);
    }

    void a_gateway_without_results_gives_an_empty_list_with_its_headings()
    {
        PageGateway gw({page_luminaire(3, 0)});
        Pages p;
        QCOMPARE(p.list()->rowCount(), 0);
        QCOMPARE(headings(p.list()), kHeadings);
        QCOMPARE(first_requests(gw, kResultsCommand), std::size_t(1));
    }

    void every_show_and_hide_lists_again_but_headings_stay_once()
    {
        PageGateway gw(luminaires());
        Pages p;
        QCOMPARE(first_requests(gw, kResultsCommand), std::size_t(1));
        p.click(p.page, IDC_RESULTS_HOME);
        QVERIFY(p.page->isHidden());
        QCOMPARE(first_requests(gw, kResultsCommand), std::size_t(2));
        p.page->show();
        QCOMPARE(first_requests(gw, kResultsCommand), std::size_t(3));
        QCOMPARE(p.list()->columnCount(), 7);
        QCOMPARE(headings(p.list()), kHeadings);
        QCOMPARE(p.list()->rowCount(), 5);  // emptied before each listing
    }

    void each_way_back_hides_the_page_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("HOME") << IDC_RESULTS_HOME;
        QTest::newRow("close") << IDC_RESULTS_CLOSE;
        QTest::newRow("Escape") << 0;
    }
    void each_way_back_hides_the_page()
    {
        QFETCH(int, how);
        PageGateway gw(luminaires());
        Pages p;
        if (how == 0) QTest::keyClick(p.list(), Qt::Key_Escape);
        else p.click(p.page, how);
        QVERIFY(p.page->isHidden());
    }

    void column_width_is_a_seventh_of_the_client_width()
    {
        ResultListView list;
        list.resize(900, 300);
        list.resize(900 + 870 - list.ClientWidth(), 300);
        QCOMPARE(list.ClientWidth(), 870);
        list.InitColumns();
        for (int c = 0; c < 7; ++c) QCOMPARE(list.columnWidth(c), 124);
        list.InitColumns();
        QCOMPARE(list.columnCount(), 7);
    }

    void detail_without_a_click_asks_for_one()
    {
        PageGateway gw(luminaires());
        Pages p;
        p.click(p.page, IDC_RESULTS_DETAIL);
        QCOMPARE(gw.prompts.boxes, std::vector<std::string>{"Please select ID number!"});
        QVERIFY(gw.traced.find("请先选择ID号！\n") != std::string::npos);
        QVERIFY(p.details() == nullptr);
        QCOMPARE(first_requests(gw, kDetailsCommand), std::size_t(0));
    }

    void a_clicked_row_opens_its_details_newest_first()
    {
        PageGateway gw(luminaires());
        Pages p;
        p.click_row(3);
        QCOMPARE(int(ucSelectID), 3);
        QCOMPARE(int(ucSelectUnit), 69);
        QVERIFY(bIdSelected);
        p.click(p.page, IDC_RESULTS_DETAIL);
        QVERIFY(!bIdSelected);
        QVERIFY(p.details() != nullptr && p.details()->isVisible());
        QCOMPARE(p.details()->geometry(), QRect(0, 0, 901, 600));
        QCOMPARE(p.details()->List()->geometry(), QRect(11, 54, 873, 406));
        QCOMPARE(gw.payloads_of(kDetailsCommand)[0], std::vector<std::uint8_t>{69});
        QCOMPARE(headings(p.details()->List()), kHeadings);
        // The gateway sends the entries oldest first; the list shows them the other way round.
        const std::vector<RowTexts> rows = p.details()->List()->rows();
        QCOMPARE(rows.size(), std::size_t(3));
        QCOMPARE(QString::fromStdString(rows[0][kColTestDate]), QStringLiteral("2026/03/02 03:12:05"));
        QCOMPARE(QString::fromStdString(rows[1][kColTestDate]), QStringLiteral("2026/02/02 03:11:05"));
        QCOMPARE(QString::fromStdString(rows[2][kColTestDate]), QStringLiteral("2026/01/02 03:10:05"));
        for (const RowTexts& r : rows) QCOMPARE(r[kColAddress], std::string("B5"));

        // Back lists again on the way out; Detail again needs a new click.
        p.click(p.details(), IDC_DETAILS_BACK);
        QVERIFY(p.details()->isHidden());
        QCOMPARE(first_requests(gw, kDetailsCommand), std::size_t(2));
        p.click(p.page, IDC_RESULTS_DETAIL);
        QCOMPARE(gw.prompts.boxes, std::vector<std::string>{"Please select ID number!"});
        QVERIFY(p.details()->isHidden());
        QCOMPARE(first_requests(gw, kDetailsCommand), std::size_t(2));
    }

    // What the logbook records: each listing's decoded entries, one per
    // row, with the listing's kind and luminaire.
    void each_listing_hands_its_entries_to_the_hook()
    {
        std::vector<std::tuple<std::string, std::vector<TestResultRecord>, std::optional<std::uint8_t>>> heard;
        set_listing_read_hook([&](const char* kind, const std::vector<TestResultRecord>& records,
                                  std::optional<std::uint8_t> unit) { heard.emplace_back(kind, records, unit); });
        {
            PageGateway gw(luminaires());
            Pages p;
            p.click_row(3);
            p.click(p.page, IDC_RESULTS_DETAIL);
            QCOMPARE(heard.size(), std::size_t(2));
            QCOMPARE(std::get<0>(heard[0]), std::string("results"));
            QCOMPARE(std::get<1>(heard[0]).size(), p.list()->rows().size());
            QVERIFY(!std::get<2>(heard[0]).has_value());
            QCOMPARE(std::get<0>(heard[1]), std::string("details"));
            QCOMPARE(std::get<2>(heard[1]).value_or(0), std::uint8_t(69));
            const std::vector<RowTexts> rows = p.details()->List()->rows();
            const std::vector<TestResultRecord>& records = std::get<1>(heard[1]);
            QCOMPARE(records.size(), rows.size());
            // Received oldest first, shown newest first.
            for (std::size_t i = 0; i < rows.size(); ++i)
                QCOMPARE(result_row_texts(records[i]), rows[rows.size() - 1 - i]);
        }
        set_listing_read_hook({});
    }

    void a_click_below_the_last_row_rearms_the_row_before()
    {
        PageGateway gw(luminaires());
        Pages p;
        p.click_row(1);
        p.click(p.page, IDC_RESULTS_DETAIL);
        Details* details = p.details();
        QTest::keyClick(details->List(), Qt::Key_Escape);  // Escape hides the details page too
        QVERIFY(details->isHidden());
        QVERIFY(!bIdSelected);
        p.click_below_rows();
        QVERIFY(bIdSelected);
        QCOMPARE(int(ucSelectID), 1);
        QCOMPARE(int(ucSelectUnit), 2);
        p.click(p.page, IDC_RESULTS_DETAIL);
        QVERIFY(p.details() == details);  // the same page again
        QVERIFY(details->isVisible());
        QCOMPARE(details->List()->rowCount(), 2);
        QVERIFY(gw.prompts.boxes.empty());
    }

    void a_luminaire_without_entries_gives_an_empty_details_list()
    {
        PageGateway gw(luminaires());
        QTemporaryDir folder;
        FolderSavePrompt save(folder.path().toStdString());
        QWidget owner;
        owner.show();
        ucSelectUnit = 70;  // B6: known to the gateway, no stored entry
        auto* details = new Details(&owner, save);
        details->show();
        QCOMPARE(gw.payloads_of(kDetailsCommand)[0], std::vector<std::uint8_t>{70});
        QCOMPARE(details->List()->rowCount(), 0);
        QCOMPARE(headings(details->List()), kHeadings);
        details->hide();
        details->show();
        QCOMPARE(details->List()->columnCount(), 7);
        QCOMPARE(first_requests(gw, kDetailsCommand), std::size_t(3));
    }

    void details_list_the_luminaire_clicked_even_after_a_new_listing()
    {
        // The Test Results page lists anew on every show and hide; a gateway
        // whose list changed in between puts another unit in the clicked
        // row's place. Details (and its workbook's name) stay with the
        // luminaire the user clicked.
        PageGateway gw(luminaires());
        Pages p;
        p.click_row(3);
        cShortAddressArr[3] = 2;  // as a new listing of a changed gateway would
        p.click(p.page, IDC_RESULTS_DETAIL);
        QCOMPARE(gw.payloads_of(kDetailsCommand)[0], std::vector<std::uint8_t>{69});
        for (const RowTexts& r : p.details()->List()->rows()) QCOMPARE(r[kColAddress], std::string("B5"));
        p.click(p.details(), IDC_DETAILS_PRINT);
        QVERIFY(QString::fromStdString(p.save.proposed().at(0)).startsWith(QStringLiteral("B5 Test Details_")));
    }

    void print_writes_the_list_as_shown()
    {
        PageGateway gw(luminaires());
        Pages p;
        p.click(p.page, IDC_RESULTS_PRINT);
        QCOMPARE(p.save.proposed().size(), std::size_t(1));
        const QString name = QString::fromStdString(p.save.proposed()[0]);
        QVERIFY2(name.startsWith(QStringLiteral("TestResult_")), qPrintable(name));
        QCOMPARE(p.workbooks(), QStringList{name});
        const QString problem = check_workbook({QStringLiteral("results"), p.folder.filePath(name),
                                                p.rows_file(*p.list(), QStringLiteral("results.json"))});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY(gw.prompts.boxes.empty());
        QCOMPARE(p.save.cursors, std::vector<int>{Qt::WaitCursor});
        QCOMPARE(shown_cursor(), -1);
    }

    void a_failed_save_is_reported_and_the_page_goes_on()
    {
        PageGateway gw(luminaires());
        QTemporaryDir folder;
        // A folder that is not there: the spreadsheet cannot save the copy.
        FixedPathPrompt nowhere(folder.filePath(QStringLiteral("missing/list.xlsx")).toStdString());
        QWidget owner;
        owner.show();
        auto* page = new TestResultTab(&owner, nowhere);
        page->show();
        auto* print = page->findChild<CxSkinButton*>(QString::number(IDC_RESULTS_PRINT));
        QTest::mouseClick(print, Qt::LeftButton, {}, QPoint(44, 44));
        QCOMPARE(gw.prompts.boxes.size(), std::size_t(1));  // the failure's own text, in a box
        QVERIFY(!gw.prompts.boxes[0].empty());
        QCOMPARE(shown_cursor(), -1);
        QVERIFY(page->isVisible());
        QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("missing/list.xlsx"))));
        // The page goes on: Print again asks again.
        QTest::mouseClick(print, Qt::LeftButton, {}, QPoint(44, 44));
        QCOMPARE(nowhere.proposed().size(), std::size_t(2));
    }

    void details_print_names_the_luminaire_and_writes_its_entries()
    {
        PageGateway gw(luminaires());
        Pages p;
        p.click_row(3);
        p.click(p.page, IDC_RESULTS_DETAIL);
        p.click(p.details(), IDC_DETAILS_PRINT);
        p.click(p.details(), IDC_DETAILS_PRINT);
        QCOMPARE(p.save.proposed().size(), std::size_t(2));
        const QString name = QString::fromStdString(p.save.proposed()[0]);
        QVERIFY2(name.startsWith(QStringLiteral("B5 Test Details_")), qPrintable(name));
        QVERIFY(QString::fromStdString(p.save.proposed()[1]).startsWith(QStringLiteral("B5 Test Details_")));
        QCOMPARE(int(ucSelectUnit), 69);  // naming the file leaves the selection alone
        const QString problem =
            check_workbook({QStringLiteral("details"), p.folder.filePath(name),
                            p.rows_file(*p.details()->List(), QStringLiteral("details.json"))});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        p.click(p.details(), IDC_DETAILS_CLOSE);
        QVERIFY(p.details()->isHidden());
        QVERIFY(p.page->isVisible());
    }

    void a_listing_cut_short_keeps_the_rows_received()
    {
        PageGateway gw(luminaires());
        SimFaults faults;
        faults.closeAfterReplies = 3;  // the first reply and two follow-ups
        gw.sim().set_faults(faults);
        Pages p;
        QCOMPARE(p.list()->rowCount(), 3);
        QCOMPARE(shown_cursor(), -1);
    }

    // A list that is not whole says so and why, is saved only when the user
    // agrees, and then as incomplete; Run again lists it anew.
    void an_incomplete_list_says_so_and_is_saved_only_when_asked()
    {
        PageGateway gw(luminaires());
        SimFaults faults;
        faults.closeAfterReplies = 3;
        gw.sim().set_faults(faults);
        Pages p;
        auto* notice = p.page->findChild<QLabel*>(QStringLiteral("incompleteNotice"));
        auto* again = p.page->findChild<QPushButton*>(QStringLiteral("runAgain"));
        QVERIFY(notice != nullptr && again != nullptr);
        QCOMPARE(p.list()->rowCount(), 3);
        QVERIFY(notice->isVisible() && again->isVisible());
        // Whether the gateway's close is seen before the next request goes
        // out (the connection is reopened) or after (the request meets the
        // closed connection) depends on the scheduler: either cuts the list.
        const std::string reason = notice->text().contains(QStringLiteral("the connection was reopened during the listing"))
                                       ? "the connection was reopened during the listing"
                                       : "the gateway closed the connection";
        QVERIFY2(notice->text().contains(QString::fromStdString(reason)), qPrintable(notice->text()));

        p.click(p.page, IDC_RESULTS_PRINT);   // answered No
        QCOMPARE(gw.prompts.questions.size(), std::size_t(1));
        QVERIFY(p.save.proposed().empty());
        QVERIFY(p.workbooks().isEmpty());

        gw.prompts.answerYes = true;
        p.click(p.page, IDC_RESULTS_PRINT);
        QCOMPARE(p.workbooks().size(), 1);
        MemoryResultList marked;
        for (const RowTexts& r : p.list()->rows()) marked.insert_row(false, r);
        marked.insert_row(false, {"INCOMPLETE LIST", reason, "", "", "", "", ""});
        const QString problem = check_workbook({QStringLiteral("results"), p.folder.filePath(p.workbooks()[0]),
                                                p.rows_file(marked, QStringLiteral("marked.json"))});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));

        gw.sim().set_faults({});
        QTest::mouseClick(again, Qt::LeftButton);
        QCOMPARE(p.list()->rowCount(), 5);   // the luminaire without entries has no row
        QVERIFY(!notice->isVisible() && !again->isVisible());
        p.click(p.page, IDC_RESULTS_PRINT);
        QCOMPARE(gw.prompts.questions.size(), std::size_t(2));   // a whole list is saved without asking
        QCOMPARE(p.save.proposed().size(), std::size_t(2));
    }

    void a_details_listing_without_reply_tells_while_busy()
    {
        PageGateway gw(luminaires());
        Pages p;
        p.click_row(3);
        SimFaults faults;
        faults.dropReplies = true;
        faults.onlyCommands = {kDetailsCommand};
        gw.sim().set_faults(faults);
        p.click(p.page, IDC_RESULTS_DETAIL);
        QCOMPARE(p.details()->List()->rowCount(), 0);
        QCOMPARE(gw.prompts.boxes,
                 std::vector<std::string>{"tcp recv fails! The current network may have been disconnected."});
        QCOMPARE(gw.prompts.cursors, std::vector<int>{Qt::WaitCursor});
        QCOMPARE(shown_cursor(), -1);
    }

    void closing_the_owner_lists_nothing()
    {
        PageGateway gw(luminaires());
        Pages p;
        const std::size_t before = gw.payloads_of(kResultsCommand).size();
        p.owner.hide();
        QCOMPARE(gw.payloads_of(kResultsCommand).size(), before);
    }
};

QTEST_MAIN(ResultPagesTest)
#include "result_pages_test.moc"
