// The desktop program: the home page and its buttons, the status line with
// and without a gateway, the Qt prompts, the close button, the start-up
// switches and the registration they write.
//
// Discovery only ever goes to 127.255.255.255, on a port nobody listens on
// or on the simulator's port. The close button and the automation-server
// mode end their process, so they run in a child process (this same
// program, told by ORVYPC_DESKTOP_TEST_CHILD what to do). The registration
// is checked where the system keeps it: the key store file on POSIX, the
// registry on Windows.
#include "app_module.h"
#include "cli.h"
#include "demo_gateway.h"
#include "desktop.h"
#include "end_request.h"
#include "gateway_link.h"
#include "gateway_sim.h"
#include "key_store.h"
#include "link_settings.h"
#include "logbook.h"
#include "main_window.h"
#include "orvypc_app.h"
#include "placeholder_page.h"
#include "qt_prompts.h"
#include "resources.h"
#include "sim_data.h"
#include "skin_button.h"
#include "trace.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdlib>
#include <iostream>
#include <optional>
#include <thread>

namespace {

const std::string kNoDeviceText = "There is no connection device. Please check the connection!\n";
const char* const kChildVariable = "ORVYPC_DESKTOP_TEST_CHILD";

// A loopback port that nobody listens on: a simulator's, once it is gone.
std::uint16_t unused_port()
{
    GatewaySim sim(demo_config());
    return sim.start() ? sim.port() : 0;
}

#ifdef _WIN32
// A text value of the current user's registry, or nothing.
std::optional<std::string> registry_text(const std::string& key, const std::string& name)
{
    const std::wstring k = QString::fromStdString(key).toStdWString();
    const std::wstring n = name == "@" ? std::wstring() : QString::fromStdString(name).toStdWString();
    wchar_t text[1024];
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_CURRENT_USER, k.c_str(), n.c_str(), RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return QString::fromWCharArray(text).toStdString();
}

bool registry_has_key(const std::string& key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, QString::fromStdString(key).toStdWString().c_str(), 0, KEY_READ, &opened) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}
#endif

LinkSettings loopback_settings(std::uint16_t port)
{
    LinkSettings s;
    s.broadcastAddress = "127.255.255.255";
    s.port = port;
    s.discoveryRounds = 50;
    s.roundPauseMs = 4;
    s.heartbeatPeriodMs = 600000;  // no heartbeat during a test unless asked
    s.sendTimeoutMs = 2000;
    s.recvTimeoutMs = 2000;
    return s;
}

// The real prompts with the modal box replaced by a record of what it said.
class RecordingPrompts : public QtPrompts {
public:
    using QtPrompts::QtPrompts;
    QStringList boxes;
    std::vector<Qt::HANDLE> boxThreads;

protected:
    void show_message_box(const QString& text) override
    {
        boxes << text;
        boxThreads.push_back(QThread::currentThreadId());
    }
};

// The window as start-up builds it, with recorded boxes.
struct Home {
    COrvyPcDlg dlg;
    RecordingPrompts recorder{&dlg};
    Home() { set_prompts(&recorder); }
    ~Home()
    {
        recorder.shut_down();
        ResetLink();
        set_prompts(nullptr);
    }
    void open()
    {
        dlg.OnInitDialog();
        dlg.show();
    }
    template <class T = QWidget> T* control(int id) { return dlg.findChild<T*>(QString::number(id)); }
    QPoint inside(int id)
    {
        // A pixel of the button's shape: the first non-white one of its middle row.
        auto* b = control<CxSkinButton>(id);
        const QImage& m = b->maskBitmap();
        const int y = m.height() / 2;
        for (int x = 0; x < m.width(); ++x)
            if ((m.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) return b->pos() + QPoint(x + 3, y);
        return {};
    }
    void click(QPoint at) { QTest::mouseClick(dlg.windowHandle(), Qt::LeftButton, {}, at); }
};

bool any_pixel(const QImage& image, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) return true;
    return false;
}

QString read_text(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// --- child processes --------------------------------------------------------

// Connects to a simulator with a fast heartbeat, then presses close. With
// `silentGateway` the gateway stops answering once connected, so close comes
// while a heartbeat waits for its reply (a receive time-out of a minute).
int child_close(bool silentGateway = false)
{
    int argc = 1;
    char name[] = "desktop_test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    init_orvypc_resources();
    GatewaySim sim(demo_config());
    if (!sim.start()) return 20;
    LinkSettings s = loopback_settings(sim.port());
    s.heartbeatPeriodMs = 20;
    if (silentGateway) s.recvTimeoutMs = 60000;
    set_link_settings(s);
    COrvyPcDlg dlg;
    QtPrompts prompts(&dlg);
    set_prompts(&prompts);
    dlg.OnInitDialog();
    dlg.show();
    if (!QTest::qWaitForWindowExposed(&dlg)) return 21;
    if (silentGateway) {
        SimFaults quiet;
        quiet.silent = true;
        sim.set_faults(quiet);
        const auto heartbeats = [&] {
            int n = 0;
            for (const auto& f : sim.received_frames()) n += f.size() == 22 && f[14] == 0xFF;
            return n;
        };
        const int before = heartbeats();
        for (int i = 0; i < 1000 && heartbeats() <= before; ++i) QTest::qWait(10);  // one is now unanswered
    }
    for (int i = 0; i < 1000 && !silentGateway && sim.replies_sent() < 2; ++i) QTest::qWait(10);  // heartbeats flow
    std::cout << (HeartbeatRunning() ? "heartbeat running\n" : "no heartbeat\n") << std::flush;
    auto* close = dlg.findChild<CxSkinButton*>(QString::number(IDC_CLOSE));
    QTest::mouseClick(dlg.windowHandle(), Qt::LeftButton, {}, close->geometry().center());
    return 22;  // the close button did not end the process
}

// The automation-server start: no window, runs until told to end.
int child_embedding(const char* switchText)
{
    hold_end_requests();
    std::cout << "ready\n" << std::flush;
    char name[] = "orvypc";
    std::string text = switchText;
    char* argv[] = {name, text.data(), nullptr};
    const int code = run_desktop(parse_invocation(2, argv), 2, argv);
    std::cout << (QCoreApplication::instance() == nullptr ? "no window\n" : "window\n") << std::flush;
    return code;
}

// What a child has written since the last call, its lines ended by "\n"
// (Windows' text mode writes "\r\n").
QString child_output(QProcess& child)
{
    return QString::fromUtf8(child.readAllStandardOutput()).remove(QLatin1Char('\r'));
}

QProcess* start_child(const QString& mode, QObject* owner)
{
    auto* child = new QProcess(owner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildVariable, mode);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child->setProcessEnvironment(env);
    child->start(QCoreApplication::applicationFilePath(), {});
    return child;
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        init_orvypc_resources();
        set_trace_sink({});
        QVERIFY(aes_load_key() == 0);
    }
    void init()
    {
        ResetLink();
        set_link_settings(loopback_settings(unused_port()));
    }
    void cleanup()
    {
        ResetLink();
        QTRY_COMPARE(QApplication::topLevelWidgets().size(), 0);
    }

    // --- the home page ------------------------------------------------------

    void home_page_layout_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("Status") << IDC_STATUS << QRect(247, 132, 196, 196);
        QTest::newRow("Test Results") << IDC_TEST_RESULTS << QRect(457, 342, 196, 195);
        QTest::newRow("close") << IDC_CLOSE << QRect(829, 3, 72, 30);
    }
    void home_page_layout()
    {
        QFETCH(int, id);
        QFETCH(QRect, geometry);
        Home home;
        home.open();
        QCOMPARE(home.dlg.size(), QSize(901, 600));
        QCOMPARE(home.dlg.minimumSize(), home.dlg.maximumSize());  // not resizable
        QVERIFY(home.dlg.windowFlags() & Qt::FramelessWindowHint);
        auto* button = home.control<CxSkinButton>(id);
        QVERIFY(button);
        QCOMPARE(button->geometry(), geometry);
        QCOMPARE(button->text(), QString());
        QVERIFY(button->isVisible());
        QVERIFY(!button->mask().isEmpty());
    }

    void hidden_controls_stay_hidden()
    {
        Home home;
        home.open();
        auto* scan = home.control<QPushButton>(IDC_SCAN);
        QVERIFY(scan && !scan->isVisible());
        QCOMPARE(scan->text(), QStringLiteral("扫描"));
        auto* number = home.control<QLineEdit>(IDC_NUMBER);
        QVERIFY(number && !number->isVisible());
    }

    void no_gateway_status_line_is_red_and_page_buttons_do_nothing()
    {
        Home home;
        int made = 0;
        auto factory = [&](COrvyPcDlg* owner) {
            ++made;
            return new QWidget(owner);
        };
        home.dlg.SetStatusPageFactory(factory);
        home.dlg.SetTestResultPageFactory(factory);
        home.open();
        QVERIFY(QTest::qWaitForWindowExposed(&home.dlg));

        auto* line = home.control<StatusLine>(IDC_STATUS_LINE);
        QVERIFY(line->isVisible());
        QCOMPARE(line->text().toStdString(), kNoDeviceText);
        QCOMPARE(line->TextColour(), QColor(255, 0, 0));
        const QImage shot = line->grab().toImage();
        QVERIFY(any_pixel(shot, 0xFF0000));
        QCOMPARE(shot.pixel(1, 1) & 0xFFFFFF, 0xFFFFFFu);  // white behind the text

        home.click(home.inside(IDC_STATUS));
        home.click(home.inside(IDC_TEST_RESULTS));
        QCOMPARE(made, 0);
        QVERIFY(home.dlg.StatusPage() == nullptr && home.dlg.TestResultPage() == nullptr);
        QVERIFY(home.recorder.boxes.isEmpty());
    }

    void white_corner_clicks_do_not_reach_the_buttons_data()
    {
        QTest::addColumn<int>("id");
        QTest::newRow("Status") << IDC_STATUS;
        QTest::newRow("Test Results") << IDC_TEST_RESULTS;
        QTest::newRow("close (not pressed inside)") << IDC_CLOSE;
    }
    void white_corner_clicks_do_not_reach_the_buttons()
    {
        QFETCH(int, id);
        Home home;
        home.open();
        QVERIFY(QTest::qWaitForWindowExposed(&home.dlg));
        auto* button = home.control<CxSkinButton>(id);
        QCOMPARE(button->maskBitmap().pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
        QSignalSpy clicks(button, &QAbstractButton::clicked);
        home.click(button->pos());  // the top-left corner pixel is white
        QCOMPARE(clicks.size(), 0);
        if (id != IDC_CLOSE) {  // a click inside the close button would end this process
            home.click(home.inside(id));
            QCOMPARE(clicks.size(), 1);
        }
    }

    void with_gateway_status_line_is_black_and_pages_open_once()
    {
        GatewaySim sim(demo_config());
        QVERIFY(sim.start());
        set_link_settings(loopback_settings(sim.port()));
        Home home;
        QList<QWidget*> made;
        home.dlg.SetStatusPageFactory([&](COrvyPcDlg* owner) {
            made << new QWidget(owner);
            return made.back();
        });
        home.dlg.SetTestResultPageFactory([](COrvyPcDlg*) { return nullptr; });
        home.open();
        QVERIFY(QTest::qWaitForWindowExposed(&home.dlg));

        auto* line = home.control<StatusLine>(IDC_STATUS_LINE);
        QCOMPARE(line->text(), QStringLiteral("Connecting to 127.0.0.1 success !"));
        QCOMPARE(line->TextColour(), QColor(0, 0, 0));
        QVERIFY(any_pixel(line->grab().toImage(), 0x000000));
        QVERIFY(!any_pixel(line->grab().toImage(), 0xFF0000));

        const QPoint status = home.inside(IDC_STATUS);
        home.click(status);
        QCOMPARE(made.size(), 1);
        QWidget* page = home.dlg.StatusPage();
        QCOMPARE(page, made.front());
        QVERIFY(page->isVisible());
        QCOMPARE(page->geometry(), QRect(0, 0, 901, 600));
        QCOMPARE(home.dlg.childAt(status), page);  // laid over the home page
        page->hide();
        home.click(status);
        QCOMPARE(made.size(), 1);  // the same page again
        QVERIFY(page->isVisible());
        page->hide();

        // A page that cannot be made is reported, and not shown.
        home.click(home.inside(IDC_TEST_RESULTS));
        QCOMPARE(home.recorder.boxes, QStringList{QStringLiteral("子窗口的句柄为空！")});
        QVERIFY(home.dlg.TestResultPage() == nullptr);
    }

    // An unattended monitor's rounds in the window's logbook: the status
    // line says, below the link's own text, when the last round ran and how
    // many luminaires need attention (each site's newest round, whichever
    // machine's), read at start-up and again when the home page is shown.
    void status_line_shows_the_monitors_last_round()
    {
        QTemporaryDir dir;
        const std::string where = dir.filePath(QStringLiteral("logbook.sqlite")).toStdString();
        std::string why;
        const std::unique_ptr<Logbook> book = open_logbook(where, &why);
        QVERIFY2(book, why.c_str());
        const std::time_t t = 1'800'000'000;
        const auto round = [&](const char* host, const char* site, std::time_t at, bool reachable, int attention) {
            MonitorRoundRecord r;
            r.site = {host, site, site, utc_text(at), "", reachable, attention, "{}", ""};
            return book->monitor_state().commit_round(r);
        };
        QVERIFY(round("pc", "10.0.0.9", t, true, 3));
        QVERIFY(round("pc", "10.0.0.8", t - 3600, false, 2));
        QVERIFY(round("server", "10.0.0.8", t - 7200, true, 9));   // an older round of the same site
        const auto said = [](std::time_t at, const char* rest) {
            return QStringLiteral("Monitor ") +
                   QDateTime::fromSecsSinceEpoch(at).toString(QStringLiteral("yyyy-MM-dd HH:mm")) + QString::fromUtf8(rest);
        };

        GatewaySim sim(demo_config());
        QVERIFY(sim.start());
        set_link_settings(loopback_settings(sim.port()));
        Home home;
        home.dlg.SetStatusPageFactory([](COrvyPcDlg* owner) { return new QWidget(owner); });
        home.dlg.SetMonitorLineSource(MonitorLineFromLogbook(where));
        home.open();
        QVERIFY(QTest::qWaitForWindowExposed(&home.dlg));
        auto* line = home.control<StatusLine>(IDC_STATUS_LINE);
        QTRY_COMPARE(line->MonitorText(), said(t, ": 5 luminaires need attention, 1 gateway unreachable"));
        QCOMPARE(line->text(), QStringLiteral("Connecting to 127.0.0.1 success !"));
        const QImage shot = line->grab().toImage();
        QVERIFY(any_pixel(shot.copy(0, 0, shot.width(), shot.height() / 2), 0x000000));
        QVERIFY(any_pixel(shot.copy(0, shot.height() * 2 / 3, shot.width(), shot.height() / 3), 0x000000));

        // A new round while a page is open: the home page shows it.
        home.click(home.inside(IDC_STATUS));
        QVERIFY(round("pc", "10.0.0.9", t + 600, true, 0));
        QVERIFY(round("pc", "10.0.0.8", t + 600, true, 1));
        home.dlg.StatusPage()->hide();
        QTRY_COMPARE(line->MonitorText(), said(t + 600, ": 1 luminaire needs attention"));

        // No monitor records into a logbook without its rounds, and none
        // that is not there yet (which is not made for the look).
        const std::string none = dir.filePath(QStringLiteral("none.sqlite")).toStdString();
        QCOMPARE(MonitorLineFromLogbook(none)(link_settings()), std::string());
        QVERIFY(!QFile::exists(QString::fromStdString(none)));
        QVERIFY(open_logbook(none, &why));
        QCOMPARE(MonitorLineFromLogbook(none)(link_settings()), std::string());
    }

    void placeholder_pages_lead_back_home_data()
    {
        QTest::addColumn<bool>("statusPage");
        QTest::addColumn<int>("backId");
        QTest::addColumn<QRect>("backGeometry");
        QTest::newRow("Status page, HOME") << true << 1028 << QRect(322, 320, 105, 105);
        QTest::newRow("Status page, card close") << true << 1030 << QRect(619, 114, 72, 30);
        QTest::newRow("Status page, close") << true << 1031 << QRect(828, 3, 72, 30);
        QTest::newRow("Test Results page, HOME") << false << 1 << QRect(478, 486, 88, 89);
        QTest::newRow("Test Results page, close") << false << 1002 << QRect(829, 3, 72, 30);
    }
    void placeholder_pages_lead_back_home()
    {
        QFETCH(bool, statusPage);
        QFETCH(int, backId);
        QFETCH(QRect, backGeometry);
        GatewaySim sim(demo_config());
        QVERIFY(sim.start());
        set_link_settings(loopback_settings(sim.port()));
        Home home;
        home.dlg.SetStatusPageFactory(MakeStatusPlaceholder);
        home.dlg.SetTestResultPageFactory(MakeTestResultPlaceholder);
        home.open();
        QVERIFY(QTest::qWaitForWindowExposed(&home.dlg));
        const QPoint opener = home.inside(statusPage ? IDC_STATUS : IDC_TEST_RESULTS);

        home.click(opener);
        QWidget* page = statusPage ? home.dlg.StatusPage() : home.dlg.TestResultPage();
        QVERIFY(page && page->isVisible());
        auto* back = page->findChild<CxSkinButton*>(QString::number(backId));
        QVERIFY(back);
        QCOMPARE(back->geometry(), backGeometry);
        QTest::mouseClick(home.dlg.windowHandle(), Qt::LeftButton, {},
                          back->geometry().topLeft() + QPoint(back->width() / 2, back->height() / 2));
        QVERIFY(!page->isVisible());
        QVERIFY(home.dlg.isVisible());

        home.click(opener);  // the same page again
        QCOMPARE(statusPage ? home.dlg.StatusPage() : home.dlg.TestResultPage(), page);
        QVERIFY(page->isVisible());
        QTest::keyClick(page, Qt::Key_Escape);
        QVERIFY(!page->isVisible());
        QVERIFY(home.recorder.boxes.isEmpty());
    }

    void escape_ends_the_window()
    {
        Home home;
        home.open();
        QVERIFY(QTest::qWaitForWindowExposed(&home.dlg));
        QTest::keyClick(&home.dlg, Qt::Key_Escape);
        QVERIFY(!home.dlg.isVisible());
    }

    void close_button_ends_the_process_with_status_0()
    {
        QProcess* child = start_child("close", this);
        QVERIFY(child->waitForFinished(60000));
        const QString out = child_output(*child);
        QCOMPARE(child->exitStatus(), QProcess::NormalExit);
        QCOMPARE(child->exitCode(), 0);
        QVERIFY2(out.contains("heartbeat running\n"), qPrintable(out));
        QVERIFY2(out.endsWith("exit"), qPrintable(out));  // the last trace: nothing ran on
    }

    void close_button_does_not_wait_for_a_silent_gateway()
    {
        // A heartbeat waits up to a minute for its reply; close must not.
        QProcess* child = start_child("close-silent", this);
        QVERIFY2(child->waitForFinished(20000), "close waited for the heartbeat's receive time-out");
        QCOMPARE(child->exitStatus(), QProcess::NormalExit);
        QCOMPARE(child->exitCode(), 0);
        const QString out = child_output(*child);
        QVERIFY2(out.endsWith("exit"), qPrintable(out));
    }

    // --- the prompts --------------------------------------------------------

    void worker_box_is_shown_on_the_ui_thread_and_waited_for()
    {
        Home home;
        std::atomic<bool> returned{false};
        std::thread worker([&] {
            home.recorder.message_box("check the lamp");
            returned = true;
        });
        QTRY_COMPARE(home.recorder.boxes.size(), 1);
        QTRY_VERIFY(returned.load());
        worker.join();
        QCOMPARE(home.recorder.boxes.front(), QStringLiteral("check the lamp"));
        QCOMPARE(home.recorder.boxThreads.front(), QThread::currentThreadId());
    }

    void shut_down_releases_a_waiting_worker()
    {
        Home home;
        std::atomic<bool> returned{false};
        std::thread worker([&] {
            home.recorder.message_box("nobody answers");
            returned = true;
        });
        // The box has not been shown (no events processed); shutting down
        // lets the worker go, and the box is never shown afterwards.
        QTest::qWait(0);
        home.recorder.shut_down();
        worker.join();
        QVERIFY(returned.load());
        QCoreApplication::processEvents();
        QVERIFY(home.recorder.boxes.size() <= 1);
        home.recorder.message_box("after");  // the user-interface thread still shows its own
        QVERIFY(home.recorder.boxes.contains("after"));
    }

    void real_message_box_has_the_caption_and_one_ok_button()
    {
        COrvyPcDlg dlg;
        QtPrompts prompts(&dlg);
        QString caption, text;
        QMessageBox::StandardButtons buttons;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            caption = box->windowTitle();
            text = box->text();
            buttons = box->standardButtons();
            box->button(QMessageBox::Ok)->click();
        });
        prompts.message_box("Out of range! Please enter the number within 0-63!");
        QCOMPARE(caption, QStringLiteral("OrvyPc"));
        QCOMPARE(text, QStringLiteral("Out of range! Please enter the number within 0-63!"));
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    // --- start-up -------------------------------------------------------------

    void command_line_switches_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("effect");  // 0 window, 1 embedded, 2 register, 3 unregister
        QTest::newRow("none") << "" << 0;
        QTest::newRow("/Embedding") << "/Embedding" << 1;
        QTest::newRow("-automation") << "-automation" << 1;
        QTest::newRow("/Regserver") << "/Regserver" << 2;
        QTest::newRow("-REGSERVER") << "-REGSERVER" << 2;
        QTest::newRow("/register") << "/register" << 2;
        QTest::newRow("-RegisterPerUser") << "-RegisterPerUser" << 2;
        QTest::newRow("/regserverperuser") << "/regserverperuser" << 2;
        QTest::newRow("/Unregister") << "/Unregister" << 3;
        QTest::newRow("-unregserver") << "-unregserver" << 3;
        QTest::newRow("/UnregisterPerUser") << "/UnregisterPerUser" << 3;
        QTest::newRow("-UnregserverPerUser") << "-UnregserverPerUser" << 3;
        QTest::newRow("no introducer") << "Regserver" << 0;
        QTest::newRow("double dash") << "--Regserver" << 0;
        QTest::newRow("bare slash") << "/" << 0;
        QTest::newRow("longer name") << "/Regserverx" << 0;
        QTest::newRow("link option") << "--broadcast" << 0;
    }
    void command_line_switches()
    {
        QFETCH(QString, argument);
        QFETCH(int, effect);
        std::vector<std::string> args;
        if (!argument.isEmpty()) args.push_back(argument.toStdString());
        const CommandLineInfo info = ParseCommandLine(args);
        const int got = info.runEmbedded ? 1 : info.registerServer ? 2 : info.unregister ? 3 : 0;
        QCOMPARE(got, effect);
        std::string name = "orvypc";
        std::vector<char*> argv{name.data()};
        for (auto& a : args) argv.push_back(a.data());
        QCOMPARE(parse_invocation(int(argv.size()), argv.data()).server.any(), effect != 0);
    }

    void register_and_unregister_switches_data()
    {
        QTest::addColumn<QString>("registerSwitch");
        QTest::addColumn<QString>("unregisterSwitch");
        QTest::newRow("plain") << "/RegServer" << "/UnregServer";
        QTest::newRow("dash, lower case") << "-register" << "-unregister";
        QTest::newRow("per user") << "/RegisterPerUser" << "-UNREGSERVERPERUSER";
    }
    void register_and_unregister_switches()
    {
        QFETCH(QString, registerSwitch);
        QFETCH(QString, unregisterSwitch);
        QTemporaryDir config, data;
        QVERIFY(config.isValid() && data.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        const RegistrationPaths paths = RegistrationPaths::from_environment();
        const std::string other = "AppID\\{00000000-1111-2222-3333-444444444444}";
        const std::string version = type_lib_key() + "\\1.0";
        const std::string typeLibFile = version + "\\0\\" + type_library_platform();
        QCOMPARE(app_id_key(), std::string("AppID\\") + kAppIdText);

        // Someone else's AppID entry must survive both.
        KeyStore others;
        others.set_value(other, "@", "Other");
        std::string error;
        QVERIFY2(change_user_key_store(paths.key_store(), others, {}, &error), error.c_str());

        auto run = [](const QString& sw) {
            std::string name = "orvypc", text = sw.toStdString();
            char* argv[] = {name.data(), text.data(), nullptr};
            return run_desktop(parse_invocation(2, argv), 2, argv);
        };
        QCOMPARE(run(registerSwitch), 0);
        QVERIFY(QApplication::topLevelWidgets().isEmpty());  // no window
        QCOMPARE(run(registerSwitch), 0);  // again: the same entries, nothing doubled

#ifdef _WIN32
        // Where HKEY_CLASSES_ROOT shows them to this user.
        const std::string classes = "Software\\Classes\\";
        QCOMPARE(registry_text(classes + app_id_key(), "@"), std::optional<std::string>("OrvyPc"));
        QCOMPARE(registry_text(classes + app_exe_key(), "AppID"), std::optional<std::string>(kAppIdText));
        QCOMPARE(registry_text(classes + version, "@"), std::optional<std::string>("OrvyPcLib"));
        QCOMPARE(registry_text(classes + typeLibFile, "@"), std::optional<std::string>(paths.executable));
        QVERIFY(paths.dataHome.empty());  // the Start menu's entry is the setup program's

        QCOMPARE(run(unregisterSwitch), 0);
        QVERIFY(registry_has_key(classes + "AppID"));  // kept
        QVERIFY(!registry_has_key(classes + app_id_key()));
        QVERIFY(!registry_has_key(classes + app_exe_key()));
        QVERIFY(!registry_has_key(classes + type_lib_key()));
        QCOMPARE(registry_text(classes + other, "@"), std::optional<std::string>("Other"));
        QVERIFY(change_user_key_store(paths.key_store(), KeyStore(), {other}, &error));
#else
        QCOMPARE(QString::fromStdString(paths.key_store()), config.path() + "/OrvyPc/classes.reg");
        KeyStore store;
        QVERIFY(store.load(paths.key_store()));
        QVERIFY(store.value(app_id_key(), "@") && *store.value(app_id_key(), "@") == "OrvyPc");
        QVERIFY(store.value(app_exe_key(), "AppID") && *store.value(app_exe_key(), "AppID") == kAppIdText);
        QVERIFY(store.value(version, "@") && *store.value(version, "@") == "OrvyPcLib");
        QVERIFY(store.value(typeLibFile, "@"));
        const auto keysAfterTwice = store.keys();

        const QString entry = read_text(QString::fromStdString(paths.desktop_entry()));
        QVERIFY(entry.startsWith("[Desktop Entry]\n"));
        QVERIFY(entry.contains("\nName=OrvyPc\n"));
        QVERIFY(entry.contains("\nExec=\"" + QString::fromStdString(paths.executable) + "\"\n"));
        QVERIFY(entry.contains("\nIcon=orvypc\n"));
        QCOMPARE(QString::fromStdString(paths.desktop_entry()), data.path() + "/applications/orvypc.desktop");
        QFile icon(QString::fromStdString(paths.icon())), embedded(":/icons/orvypc.png");
        QVERIFY(icon.open(QIODevice::ReadOnly) && embedded.open(QIODevice::ReadOnly));
        QCOMPARE(icon.readAll(), embedded.readAll());

        QCOMPARE(run(unregisterSwitch), 0);
        QVERIFY(store.load(paths.key_store()));
        QVERIFY(store.has_key("AppID"));  // kept
        QVERIFY(!store.has_key(app_id_key()));
        QVERIFY(!store.has_key(app_exe_key()));
        QVERIFY(!store.has_key(type_lib_key()));
        QVERIFY(store.value(other, "@"));
        QVERIFY(!QFile::exists(QString::fromStdString(paths.desktop_entry())));
        QVERIFY(!QFile::exists(QString::fromStdString(paths.icon())));
        QCOMPARE(int(keysAfterTwice.size()), 11);  // 2 before + 9 written, nothing doubled
        QCOMPARE(store.keys(), (std::vector<std::string>{"AppID", other, "TypeLib"}));
#endif
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_DATA_HOME");
    }

    // A key store file that cannot be read is never overwritten. On Windows
    // it is only the file an earlier build left to carry over: the
    // registration goes into the registry all the same.
    void unreadable_key_store_is_left_alone()
    {
        QTemporaryDir config, data;
        // No menu folder where the system has none for the program (Windows).
        const std::string menus = RegistrationPaths::from_environment().dataHome.empty() ? "" : data.path().toStdString();
        const RegistrationPaths paths{config.path().toStdString(), menus, "/opt/orvypc"};
        QVERIFY(QDir().mkpath(config.path() + "/OrvyPc"));
        QFile bad(QString::fromStdString(paths.key_store()));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("[AppID]\nthis is no value line\n");
        bad.close();
        COrvyPcModule module(paths);
        std::string error;
#ifdef _WIN32
        QVERIFY2(module.RegisterServer(&error), error.c_str());
        QVERIFY(module.UnregisterServer(&error));
#else
        QVERIFY(!module.RegisterServer(&error));
        QVERIFY(!error.empty());
#endif
        QCOMPARE(read_text(bad.fileName()), QStringLiteral("[AppID]\nthis is no value line\n"));
    }

    void key_store_keeps_texts_and_case_insensitive_keys()
    {
        QTemporaryDir dir;
        const std::string path = dir.filePath("k.reg").toStdString();
        KeyStore store;
        store.set_value("AppID\\{X}", "@", "quote \" and back\\slash");
        store.set_value("AppID\\{X}", "Path", "C:\\a b\\c");
        store.create_key("Empty\\Key");
        QVERIFY(store.save(path));
        KeyStore back;
        QVERIFY(back.load(path));
        QCOMPARE(*back.value("appid\\{x}", "@"), std::string("quote \" and back\\slash"));
        QCOMPARE(*back.value("APPID\\{X}", "path"), std::string("C:\\a b\\c"));
        QVERIFY(back.has_key("Empty") && back.has_key("empty\\key"));
        QVERIFY(back.remove_key("EMPTY"));
        QVERIFY(!back.has_key("Empty\\Key"));
        QVERIFY(!back.remove_key("Empty"));
    }

    void desktop_entry_quotes_the_program_path()
    {
        const std::string text = COrvyPcModule::DesktopEntryText("/opt/my apps/orvy$pc%1");
        QVERIFY(text.find("\nExec=\"/opt/my apps/orvy\\\\$pc%%1\"\n") != std::string::npos);
    }

    void embedding_runs_without_a_window_until_told_to_end_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("request");
        const std::vector<EndRequest> requests = end_requests();
        const EndRequest& last = requests.back();
        QTest::newRow(qPrintable("-Embedding, " + requests.front().name)) << "embedding:-Embedding" << requests.front().id;
        QTest::newRow(qPrintable("/automation, " + last.name)) << "embedding:/automation" << last.id;
    }
    void embedding_runs_without_a_window_until_told_to_end()
    {
        QFETCH(QString, mode);
        QFETCH(int, request);
        QProcess* child = start_child(mode, this);
        QVERIFY(child->waitForStarted(10000));
        QString out;
        QTRY_VERIFY_WITH_TIMEOUT((out += child_output(*child)).contains("ready"), 20000);
        QVERIFY(!child->waitForFinished(200));  // still running: nothing ends it by itself
        QVERIFY(request_end(*child, request, 20000));
        out += child_output(*child);
        QCOMPARE(child->exitStatus(), QProcess::NormalExit);
        QCOMPARE(child->exitCode(), 0);
        QVERIFY2(out.contains("no window"), qPrintable(out));
    }

    // --- --demo ---------------------------------------------------------------

    void demo_switch_points_the_front_end_at_the_simulator()
    {
        std::string a0 = "orvypc", a1 = "scan", a2 = "--demo";
        char* argv[] = {a0.data(), a1.data(), a2.data(), nullptr};
        Invocation invocation = parse_invocation(3, argv);
        QVERIFY(invocation.demo && invocation.frontEnd == FrontEnd::Commands && invocation.error.empty());
        DemoGateway demo;
        QVERIFY(demo.start(&invocation.options.link));
        QCOMPARE(QString::fromStdString(invocation.options.link.broadcastAddress), QStringLiteral("127.255.255.255"));
        QVERIFY(invocation.options.link.port > 0);
        QCOMPARE(run_commands(invocation.options), kExitOk);  // the front end found the demonstration gateway
        QVERIFY(!parse_invocation(2, argv).demo);
    }

    // --- artwork --------------------------------------------------------------

    void bitmaps_have_the_sizes_of_their_roles_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("faceAndMask");
        QTest::newRow("162 main background") << 162 << QSize(902, 601) << false;
        QTest::newRow("150 Status") << 150 << QSize(196, 196) << true;
        QTest::newRow("151 Test Results") << 151 << QSize(196, 195) << true;
        QTest::newRow("165 close") << 165 << QSize(72, 30) << true;
        QTest::newRow("166 status page") << 166 << QSize(902, 601) << false;
        QTest::newRow("169 PRINT") << 169 << QSize(105, 105) << true;
        QTest::newRow("170 HOME") << 170 << QSize(105, 105) << true;
        QTest::newRow("171 test results page") << 171 << QSize(902, 601) << false;
        QTest::newRow("172 round button") << 172 << QSize(88, 89) << true;
        QTest::newRow("173 details page") << 173 << QSize(902, 601) << false;
    }
    void bitmaps_have_the_sizes_of_their_roles()
    {
        QFETCH(int, id);
        QFETCH(QSize, size);
        QFETCH(bool, faceAndMask);
        const QImage image = CxSkinButton::LoadSkinBitmap(unsigned(id));
        QCOMPARE(image.size(), size);
        if (!faceAndMask) return;
        // Pure white outside the shape, one very light grey inside, and a
        // shape that is neither empty nor the whole bitmap.
        int inside = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y) & 0xFFFFFF;
                if (p == 0xFFFFFF) continue;
                QCOMPARE(p, QRgb(0xFCFCFC));
                ++inside;
            }
        QVERIFY(inside > 0 && inside < image.width() * image.height());
        QCOMPARE(image.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    }
};

int main(int argc, char** argv)
{
    const QByteArray child = qgetenv(kChildVariable);
    if (child == "close") return child_close();
    if (child == "close-silent") return child_close(true);
    if (child.startsWith("embedding:")) return child_embedding(child.mid(10).constData());
    QApplication app(argc, argv);
    DesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "desktop_test.moc"
