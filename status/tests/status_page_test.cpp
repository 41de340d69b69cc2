// The Status page against the gateway simulator on loopback: the address
// field's range check as the user types, PRINT's unit number and what the
// export receives, a refused query that exports nothing, hiding and showing,
// and the workbook PRINT writes, read back by the export tests' reader.
#include "page_fixture.h"
#include "resources.h"
#include "save_prompt.h"
#include "skin_button.h"
#include "status_page.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr std::uint8_t kStatusCommand = 0x21;

std::vector<SimLuminaire> luminaires()
{
    return {page_luminaire(0, 1), page_luminaire(5, 1), page_luminaire(63, 1), page_luminaire(69, 1),
            page_luminaire(127, 1)};
}

struct Page {
    QTemporaryDir folder;
    FolderSavePrompt save{folder.path().toStdString()};
    QWidget owner;
    StatuDialog page{&owner, save};

    Page()
    {
        owner.resize(901, 600);
        owner.show();
        page.show();
    }
    QLineEdit* address() { return page.findChild<QLineEdit*>(QString::number(IDC_SHORT_ADDRESS)); }
    QComboBox* line() { return page.findChild<QComboBox*>(QString::number(IDC_LINE_SELECTOR)); }
    CxSkinButton* button(int id) { return page.findChild<CxSkinButton*>(QString::number(id)); }
    void click(int id)
    {
        // A pixel inside the button's shape: the middle of its mask.
        CxSkinButton* b = button(id);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->width() / 2, b->height() / 2));
    }
    void retype(const QString& keys)
    {
        address()->selectAll();
        QTest::keyClick(address(), Qt::Key_Backspace);
        QTest::keyClicks(address(), keys);
    }
    QStringList workbooks() const { return QDir(folder.path()).entryList({QStringLiteral("*.xlsx")}, QDir::Files); }
};

}  // namespace

class StatusPageTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { init_orvypc_resources(); }
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void set_up_as_laid_out()
    {
        PageGateway gw(luminaires());
        Page p;
        QCOMPARE(p.page.size(), QSize(901, 600));
        QCOMPARE(p.line()->count(), 2);
        QCOMPARE(p.line()->itemText(0), QStringLiteral("A"));
        QCOMPARE(p.line()->itemText(1), QStringLiteral("B"));
        QCOMPARE(p.line()->currentIndex(), 0);
        QCOMPARE(p.address()->text(), QStringLiteral("0"));
        // Dialog units of the page's font: 1.5 pixels across, 1.625 down.
        QCOMPARE(p.address()->geometry(), QRect(398, 254, 89, 23));
        QCOMPARE(p.line()->pos(), QPoint(398, 205));
        // Skinned buttons at their places, the size of their bitmaps, no captions.
        const struct {
            int id;
            QRect rect;
        } buttons[] = {{IDC_STATUS_HOME, {322, 320, 105, 105}},
                       {IDC_STATUS_PRINT, {488, 320, 105, 105}},
                       {IDC_STATUS_CLOSE_CARD, {619, 114, 72, 30}},
                       {IDC_STATUS_CLOSE, {828, 3, 72, 30}}};
        for (const auto& b : buttons) {
            QCOMPARE(p.button(b.id)->geometry(), b.rect);
            QVERIFY(p.button(b.id)->text().isEmpty());
        }
    }

    void range_check_as_typed_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("boxes");
        QTest::newRow("63 is accepted") << "63" << "63" << 0;
        QTest::newRow("64 is out of range") << "64" << "0" << 1;
        QTest::newRow("7 then 0 makes 70") << "70" << "0" << 1;
        QTest::newRow("0 then 7 is 07") << "07" << "07" << 0;
        QTest::newRow("letters are not taken") << "a1b2" << "12" << 0;
        // The field is "0" after the box, and typing goes on after it.
        QTest::newRow("typing on after the box") << "999" << "09" << 1;
    }
    void range_check_as_typed()
    {
        QFETCH(QString, keys);
        QFETCH(QString, shown);
        QFETCH(int, boxes);
        PageGateway gw(luminaires());
        Page p;
        p.retype(keys);
        QCOMPARE(p.address()->text(), shown);
        QCOMPARE(int(gw.prompts.boxes.size()), boxes);
        for (const std::string& box : gw.prompts.boxes)
            QCOMPARE(box, std::string("Out of range! Please enter the number within 0-63!"));
        QVERIFY(gw.payloads_of(kStatusCommand).empty());  // typing queries nothing
    }

    void print_queries_the_unit_and_exports_the_address_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("name");
        QTest::newRow("empty field is address 0") << 0 << "" << 0 << "A0 Status_";
        QTest::newRow("A5") << 0 << "5" << 5 << "A5 Status_";
        QTest::newRow("B5 is unit 69") << 1 << "5" << 69 << "B5 Status_";
        QTest::newRow("B63 is unit 127") << 1 << "63" << 127 << "B63 Status_";
        QTest::newRow("A63") << 0 << "63" << 63 << "A63 Status_";
    }
    void print_queries_the_unit_and_exports_the_address()
    {
        QFETCH(int, line);
        QFETCH(QString, keys);
        QFETCH(int, unit);
        QFETCH(QString, name);
        PageGateway gw(luminaires());
        QVERIFY(gw.connected());
        Page p;
        p.line()->setCurrentIndex(line);
        p.retype(keys);
        QCOMPARE(p.address()->text(), keys);
        p.click(IDC_STATUS_PRINT);

        const auto requests = gw.payloads_of(kStatusCommand);
        QCOMPARE(requests.size(), std::size_t(1));
        QCOMPARE(requests[0], (std::vector<std::uint8_t>{0x41, std::uint8_t(unit)}));
        QCOMPARE(p.page.LineLetter(), std::string(line == 0 ? "A" : "B"));
        QVERIFY(gw.traced.find(line == 0 ? "选中A端口！\n" : "选中B端口！\n") != std::string::npos);
        // The proposed name carries the line letter and the address as typed.
        QCOMPARE(p.save.proposed().size(), std::size_t(1));
        const QString proposed = QString::fromStdString(p.save.proposed()[0]);
        QVERIFY2(proposed.startsWith(name) && proposed.endsWith(QStringLiteral(".xlsx")), qPrintable(proposed));
        QCOMPARE(p.workbooks(), QStringList{proposed});
        QVERIFY(gw.prompts.boxes.empty());
        // Busy while the export ran, and back to normal after.
        QCOMPARE(p.save.cursors, std::vector<int>{Qt::WaitCursor});
        QCOMPARE(shown_cursor(), -1);
    }

    void the_workbook_reads_back()
    {
        PageGateway gw(luminaires());
        Page p;
        p.line()->setCurrentIndex(1);
        p.retype(QStringLiteral("63"));
        p.click(IDC_STATUS_PRINT);
        QCOMPARE(p.workbooks().size(), 1);
        const QByteArray reply(reinterpret_cast<const char*>(g_link.ucRxBuf), 60);
        const QString problem = check_workbook({QStringLiteral("status"), p.folder.filePath(p.workbooks()[0]),
                                                QString::fromLatin1(reply.toHex()), QStringLiteral("B"),
                                                QStringLiteral("63")});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void a_refused_query_exports_nothing()
    {
        PageGateway gw(luminaires());
        SimFaults faults;
        faults.unitsMissing = {69};
        gw.sim().set_faults(faults);
        Page p;
        p.line()->setCurrentIndex(1);
        p.retype(QStringLiteral("5"));
        p.click(IDC_STATUS_PRINT);
        QCOMPARE(gw.payloads_of(kStatusCommand).size(), std::size_t(1));
        QCOMPARE(gw.prompts.boxes.size(), std::size_t(1));  // the query's own message
        QCOMPARE(gw.prompts.cursors, std::vector<int>{Qt::WaitCursor});  // asked while the query blocked
        QCOMPARE(shown_cursor(), -1);
        QVERIFY(p.save.proposed().empty());
        QVERIFY(p.workbooks().isEmpty());
        // The page is as it was: PRINT again, now answered.
        gw.sim().set_faults({});
        p.click(IDC_STATUS_PRINT);
        QCOMPARE(p.workbooks().size(), 1);
    }

    void a_cancelled_dialog_writes_nothing()
    {
        PageGateway gw(luminaires());
        QTemporaryDir folder;
        FixedPathPrompt cancel(std::nullopt);
        QWidget owner;
        StatuDialog page(&owner, cancel);
        owner.show();
        page.show();
        auto* print = page.findChild<CxSkinButton*>(QString::number(IDC_STATUS_PRINT));
        QTest::mouseClick(print, Qt::LeftButton, {}, QPoint(52, 52));
        QCOMPARE(cancel.proposed().size(), std::size_t(1));
        QVERIFY(gw.prompts.boxes.empty());
    }

    void hide_and_show_keep_line_and_address_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("HOME") << IDC_STATUS_HOME;
        QTest::newRow("close on the card") << IDC_STATUS_CLOSE_CARD;
        QTest::newRow("close") << IDC_STATUS_CLOSE;
        QTest::newRow("Escape in the address field") << 0;
    }
    void hide_and_show_keep_line_and_address()
    {
        QFETCH(int, how);
        PageGateway gw(luminaires());
        Page p;
        p.line()->setCurrentIndex(1);
        p.retype(QStringLiteral("17"));
        if (how == 0) QTest::keyClick(p.address(), Qt::Key_Escape);
        else p.click(how);
        QVERIFY(p.page.isHidden());
        QVERIFY(gw.payloads_of(kStatusCommand).empty());  // hiding queries nothing
        p.page.show();
        QCOMPARE(p.line()->currentText(), QStringLiteral("B"));
        QCOMPARE(p.address()->text(), QStringLiteral("17"));
    }

    void address_numbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("leading zero") << "070" << 70;
        QTest::newRow("digits then more") << "12x9" << 12;
        QTest::newRow("too long for an int") << "123456789012345" << INT_MAX;
    }
    void address_numbers()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        QCOMPARE(ReadAddressNumber(text.toStdString()), number);
    }
};

QTEST_MAIN(StatusPageTest)
#include "status_page_test.moc"
