// The Details page with the program's logbook behind it, against the
// simulator on loopback and real SQLite files: the history lists each entry
// once however often it was read, marks what the gateway no longer holds,
// and shows a remark in its place; without a logbook the controls are off;
// an empty remark and a logbook that cannot be used are said, and leave
// the file as it was.
#include "details_logbook.h"
#include "details_logbook_pane.h"
#include "details_page.h"
#include "listing_read_hook.h"
#include "listings.h"
#include "logbook.h"
#include "history_rows.h"
#include "logbook_recording.h"
#include "luminaire_logbook.h"
#include "page_fixture.h"
#include "resources.h"
#include "result_list_view.h"
#include "selection_state.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr std::uint8_t kUnit = 69;   // B5: three entries on the gateway
constexpr const char* kGateway = "127.0.0.1";

// An entry the gateway held once and has forgotten since.
LogEntry forgotten_entry(const std::string& gateway)
{
    LogEntry e;
    e.gateway = gateway;
    e.unit = kUnit;
    e.testType = 1;
    e.testTime = "2025-06-01 08:00:00";
    e.result = 0xFF;
    e.minutes = 42;
    e.name = "Exit (old)";
    e.location = "Level 1";
    return e;
}

bool record_entry(const std::string& path, const LogEntry& e)
{
    std::string why;
    std::unique_ptr<Logbook> book = open_logbook(path, &why);
    if (!book) return false;
    RunRecord run = listing_run("details", e.gateway, {}, false, "older run", std::nullopt);
    run.entries.push_back(e);
    return book->record(run);
}

QByteArray file_bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The Details page of B5 on the simulator, its listings recorded as the
// program records them, into the logbook at `where` (none when empty).
struct Page {
    QTemporaryDir folder;
    PageGateway gw{{page_luminaire(2, 1, u"Hall"), page_luminaire(kUnit, 3, u"Exit")}};
    FolderSavePrompt save{folder.path().toStdString()};
    std::unique_ptr<DetailsLogbook> logbook;
    QWidget owner;
    Details* details = nullptr;

    explicit Page(const std::string& where)
    {
        // A team server that is away falls back to a file in here.
        qputenv("XDG_DATA_HOME", folder.path().toUtf8());
        if (!where.empty()) {
            logbook = std::make_unique<DetailsLogbook>(where);
            set_luminaire_logbook(logbook.get());
            set_listing_read_hook([where](const char* kind, const std::vector<TestResultRecord>& records,
                                          std::optional<std::uint8_t> unit) {
                const std::string gateway = g_link.pucDestIpBuf;
                const bool complete = last_listing_complete();
                record_run({where, link_settings()},
                           listing_run(kind, gateway, records, complete, last_listing_reason(), unit),
                           gateway_found(gateway, records, complete && std::string(kind) == "results"));
            });
        }
        ucSelectUnit = kUnit;
        owner.resize(901, 600);
        owner.show();
        details = new Details(&owner, save);
        details->show();
    }
    ~Page()
    {
        set_luminaire_logbook(nullptr);
        set_listing_read_hook({});
    }
    template <class W> W* child(const char* name) { return details->findChild<W*>(QString::fromUtf8(name)); }
    QPushButton* toggle() { return child<QPushButton>(kHistoryToggleName); }
    QPushButton* add() { return child<QPushButton>(kAddRemarkName); }
    QLineEdit* remark() { return child<QLineEdit>(kRemarkTextName); }
    QTableWidget* history() { return child<QTableWidget>(kHistoryListName); }
    QString note() { return child<QLabel>(kLogbookNoteName)->text(); }
    void add_remark(const QString& text)
    {
        remark()->setText(text);
        QTest::mouseClick(add(), Qt::LeftButton);
    }
    QStringList column(int c)
    {
        QStringList out;
        for (int r = 0; r < history()->rowCount(); ++r) out << history()->item(r, c)->text();
        return out;
    }
};

constexpr int kDateColumn = 3, kTypeColumn = 4, kResultColumn = 6, kOnGatewayColumn = 7;

}  // namespace

class DetailsLogbookTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { init_orvypc_resources(); }
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void the_history_lists_each_entry_once_and_the_remark_in_its_place()
    {
        QTemporaryDir data;
        const std::string path = data.filePath(QStringLiteral("logbook.sqlite")).toStdString();
        QVERIFY(record_entry(path, forgotten_entry(kGateway)));
        QVERIFY(record_entry(path, forgotten_entry("127.0.0.99")));   // another gateway's B5
        Page p(path);
        QVERIFY(p.gw.connected());
        // Listed three times: shown, hidden, shown.
        p.details->hide();
        p.details->show();
        QVERIFY(p.toggle()->isEnabled() && p.remark()->isEnabled() && p.add()->isEnabled());
        QVERIFY(p.history()->isHidden() && p.details->List()->isVisible());

        p.add_remark(QStringLiteral("  battery replaced  "));
        QVERIFY(p.gw.prompts.boxes.empty());
        QVERIFY(p.remark()->text().isEmpty());
        QVERIFY(p.history()->isVisible() && p.details->List()->isHidden());
        QCOMPARE(p.history()->columnCount(), int(kHistoryColumns.size()));
        QCOMPARE(p.history()->geometry(), p.details->List()->geometry());

        // Newest first: the remark (written now), the three entries the
        // gateway sent, the forgotten one; nothing of the other gateway.
        const QStringList dates = p.column(kDateColumn);
        QCOMPARE(dates.size(), 5);
        QStringList sorted = dates;
        std::sort(sorted.begin(), sorted.end(), std::greater<>());
        QCOMPARE(dates, sorted);
        QCOMPARE(p.column(kTypeColumn).count(QStringLiteral("Note")), 1);
        QCOMPARE(p.column(kTypeColumn)[0], QStringLiteral("Note"));
        QCOMPARE(p.column(kResultColumn)[0],
                 QString::fromStdString("battery replaced (" + system_user_name() + ")"));
        QCOMPARE(p.column(kOnGatewayColumn),
                 (QStringList{"", "yes", "yes", "yes", "no"}));
        QCOMPARE(p.history()->item(4, kDateColumn)->text(), QStringLiteral("2025/06/01 08:00:00"));
        // Each entry the gateway holds, as its own list shows it, once.
        for (const RowTexts& row : p.details->List()->rows())
            QCOMPARE(dates.count(QString::fromStdString(row[kDateColumn])), 1);
        QVERIFY(p.note().contains(QStringLiteral("4 entries, 1 remark; 1 entry no longer")));

        // Back to what the gateway sent; shown again, the page starts there.
        QTest::mouseClick(p.toggle(), Qt::LeftButton);
        QVERIFY(p.history()->isHidden() && p.details->List()->isVisible());
        QTest::mouseClick(p.toggle(), Qt::LeftButton);
        QCOMPARE(p.history()->rowCount(), 5);
        p.details->hide();
        p.details->show();
        QVERIFY(!p.toggle()->isChecked() && p.details->List()->isVisible());

        // A remark written meanwhile by another run (the command line's
        // note) is there the next time.
        std::string why;
        std::unique_ptr<Logbook> other = open_logbook(path, &why);
        QVERIFY2(other != nullptr, why.c_str());
        QVERIFY(other->add_remark(dated_remark(kGateway, kUnit, "lamp replaced")));
        QTest::mouseClick(p.toggle(), Qt::LeftButton);
        QCOMPARE(p.column(kTypeColumn).count(QStringLiteral("Note")), 2);
    }

    void without_a_logbook_the_controls_are_off()
    {
        Page p("");
        QVERIFY(p.gw.connected());
        QVERIFY(!p.toggle()->isEnabled() && !p.remark()->isEnabled() && !p.add()->isEnabled());
        QVERIFY(p.note().contains(QStringLiteral("No logbook")));
        QCOMPARE(p.details->List()->rowCount(), 3);
    }

    void refusals_are_said_and_write_nothing_data()
    {
        QTest::addColumn<QByteArray>("fileBytes");   // empty: a fresh logbook
        QTest::addColumn<QString>("remark");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("note");
        QTest::newRow("empty remark") << QByteArray() << QStringLiteral("   ")
                                      << QStringLiteral("empty remark is not added") << QString();
        QTest::newRow("not a logbook") << QByteArray("this is no database, and it must stay as it is\n")
                                       << QStringLiteral("battery replaced")
                                       << QStringLiteral("The remark was not added to the logbook: ")
                                       << QStringLiteral("The logbook cannot be read: ");
    }
    void refusals_are_said_and_write_nothing()
    {
        QFETCH(QByteArray, fileBytes);
        QFETCH(QString, remark);
        QFETCH(QString, box);
        QFETCH(QString, note);
        QTemporaryDir data;
        const QString path = data.filePath(QStringLiteral("logbook.sqlite"));
        if (!fileBytes.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(fileBytes) == fileBytes.size());
        }
        Page p(path.toStdString());
        const QByteArray before = file_bytes(path);
        p.add_remark(remark);
        QCOMPARE(p.gw.prompts.boxes.size(), std::size_t(1));
        QVERIFY2(QString::fromStdString(p.gw.prompts.boxes[0]).contains(box), p.gw.prompts.boxes[0].c_str());
        QCOMPARE(p.remark()->text(), remark);   // kept for another try
        QTest::mouseClick(p.toggle(), Qt::LeftButton);
        QVERIFY(p.history()->isVisible());
        if (!note.isEmpty()) QVERIFY2(p.note().startsWith(note), qPrintable(p.note()));
        if (!fileBytes.isEmpty()) QCOMPARE(file_bytes(path), before);
        const int remarks = int(p.column(kTypeColumn).count(QStringLiteral("Note")));
        QCOMPARE(remarks, 0);
    }

    // A team server that is away: the page says so and uses this machine's
    // file, where the remark then is.
    void a_team_server_away_is_said_and_this_machine_keeps_the_remark()
    {
#ifdef _WIN32
        QSKIP("The Windows build has no team logbook server (its refusal: the command line's tests).");
#endif
        QTemporaryDir data;
        const std::string server = "postgresql:///orvypc?host=" + data.path().toStdString() + "/no-server-here";
        Page p(server);
        p.add_remark(QStringLiteral("lamp replaced"));
        QVERIFY(p.gw.prompts.boxes.empty());
        QVERIFY2(p.note().contains(QStringLiteral("team logbook is away")), qPrintable(p.note()));
        QCOMPARE(p.column(kTypeColumn).count(QStringLiteral("Note")), 1);
        std::string why;
        std::unique_ptr<Logbook> local = open_logbook(local_logbook_path(), &why);
        QVERIFY2(local != nullptr, why.c_str());
        QCOMPARE(local->history("", kUnit, "").items.front().remark.text, std::string("lamp replaced"));
    }
};

QTEST_MAIN(DetailsLogbookTest)
#include "details_logbook_test.moc"
