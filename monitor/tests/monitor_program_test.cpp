// orvypc monitor as it runs unattended: a process against the simulator,
// sending to a mail server on loopback (STARTTLS, login) that the test starts
// and stops itself. Rounds are a second apart; every wait ends on the event
// it waits for (a round's line, a mail arriving) within a bound.
#include "alert_mail.h"
#include "gateway_sim.h"
#include "processes.h"
#include "sim_data.h"
#include "sim_status_fields.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <tuple>
#include <unistd.h>

namespace {

using nlohmann::json;

constexpr std::uint8_t kFailureBatteryFault = 0x04;

// A luminaire with one passed test, and no test intervals: the logbook's
// history makes none of them overdue, whatever the date.
SimLuminaire luminaire(std::uint8_t unit, std::u16string name, std::u16string location) {
    SimLuminaire l;
    l.unit = unit;
    SimStatusFields status = healthy_status_fields();
    status.functionTestIntervalDays = 0;
    status.durationTestIntervalWeeks = 0;
    l.status = status_bytes(status);
    l.name = std::move(name);
    l.location = std::move(location);
    SimTestEntry passed;
    passed.year = 2026;
    passed.result = 1;
    l.entries.push_back(passed);
    return l;
}

std::vector<SimLuminaire> healthy_site() {
    return {luminaire(1, u"Stair 2 exit", u"Level 3 east"), luminaire(2, u"走廊 东", u"二楼"),
            luminaire(66, u"Plant room", u"Basement")};
}

void set_failure(GatewaySim& sim, std::uint8_t unit, std::uint8_t bits) {
    const std::size_t at = find_status_field("failureStatus")->replyOffset - 17;
    ASSERT_TRUE(sim.change_luminaire(unit, [&](SimLuminaire& l) { l.status[at] = bits; }));
}

class MonitorProgram : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = std::filesystem::temp_directory_path() / ("orvypc-monitor-" + std::to_string(getpid()) + "-" + name);
        std::filesystem::remove_all(folder_);
        for (const char* sub : {"mail", "config/OrvyPc", "home", "data"}) std::filesystem::create_directories(folder_ / sub);
        // The key store, ~/.netrc and a logbook of the test's own.
        setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
        setenv("HOME", (folder_ / "home").c_str(), 1);
        setenv("XDG_DATA_HOME", (folder_ / "data").c_str(), 1);
    }
    void TearDown() override {
        if (!HasFailure()) std::filesystem::remove_all(folder_);
    }

    void start_sim(std::uint16_t port = 0) {
        SimConfig config;
        config.port = port;
        config.luminaires = healthy_site();
        sim_ = std::make_unique<GatewaySim>(std::move(config));
        ASSERT_TRUE(sim_->start());
    }

    std::string write_password(const std::string& password, std::filesystem::perms mode) {
        const std::filesystem::path file = folder_ / "home" / "smtp-password";
        std::ofstream(file) << password << '\n';
        std::filesystem::permissions(file, mode);
        return file.string();
    }

    // The monitor's settings in the key store, as a user writes them.
    void write_key_store(int mailPort, const std::vector<std::string>& more = {}) {
        std::ofstream out(folder_ / "config/OrvyPc/classes.reg");
        out << "[Software\\OrvyPc\\Monitor]\n"
            << "\"Server\"=\"127.0.0.1:" << mailPort << "\"\n"
            << "\"Sender\"=\"orvypc@example.org\"\n"
            << "\"Recipients\"=\"tech@example.org, facilities@example.org\"\n"
            << "\"User\"=\"" << kMailUser << "\"\n";
        for (const std::string& line : more) out << line << '\n';
    }
    void write_usual_key_store(int mailPort) {
        write_key_store(mailPort, {"\"PasswordFile\"=\"" + write_password(kMailPassword, std::filesystem::perms::owner_read |
                                                                                          std::filesystem::perms::owner_write) +
                                       "\"",
                                   "\"CaFile\"=\"" + (folder_ / "mail" / "cert.pem").string() + "\""});
    }

    std::unique_ptr<Process> start_monitor(std::uint16_t gatewayPort, std::vector<std::string> more = {}) {
        std::vector<std::string> argv{ORVYPC_EXE, "monitor", "--gateway", "127.0.0.1", "--port",
                                      std::to_string(gatewayPort), "--every", "1s", "--json", "--timeout", "3000"};
        argv.insert(argv.end(), more.begin(), more.end());
        return std::make_unique<Process>(argv, folder_);
    }

    // Round `n`'s line, once it is there (null when it did not come).
    static json round(Process& monitor, int n) {
        const std::string mark = "\"round\":" + std::to_string(n) + ",";
        const int line = monitor.wait_for_line([&](const std::string& l) { return l.find(mark) != std::string::npos; });
        if (line < 0) return json();
        return json::parse(monitor.out_lines()[static_cast<std::size_t>(line)], nullptr, false);
    }
    // The number of the last round printed so far.
    static int last_round(Process& monitor) {
        const std::vector<std::string> lines = monitor.out_lines();
        for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
            const json j = json::parse(*it, nullptr, false);
            if (j.is_object() && j.contains("round")) return j["round"].get<int>();
        }
        return 0;
    }
    // Two more whole rounds after the present one: time enough for a mail
    // that should not come to have come.
    static void two_more_rounds(Process& monitor) {
        const int now = last_round(monitor);
        ASSERT_TRUE(round(monitor, now + 2).is_object()) << monitor.err();
    }

    // A stop between rounds ends it in order (0); one that comes while it
    // waits in a discovery or an exchange ends it by the signal itself
    // within half a second (128 + SIGTERM). Either way it ends.
    static void stop(Process& monitor) {
        monitor.signal(SIGTERM);
        const int status = monitor.wait_exit();
        EXPECT_TRUE(status == 0 || status == 128 + SIGTERM) << status << monitor.err();
    }

    // One `monitor --once --json` against the simulator: its exit status
    // and its round (null when it printed none). `killAt`: the test hook's
    // point, where the process kills itself.
    std::pair<int, json> once(const char* killAt = nullptr) {
        if (killAt) setenv(kKillAtVariable, killAt, 1);
        Process run({ORVYPC_EXE, "monitor", "--once", "--json", "--gateway", "127.0.0.1", "--port",
                     std::to_string(sim_->port()), "--timeout", "3000"},
                    folder_);
        unsetenv(kKillAtVariable);
        const int status = run.wait_exit();
        const std::vector<std::string> lines = run.out_lines();
        const json round = lines.empty() ? json() : json::parse(lines.back(), nullptr, false);
        return {status, round};
    }

    static constexpr const char* kKillAtVariable = "ORVYPC_TEST_KILL_AT";

    std::filesystem::path folder_;
    std::unique_ptr<GatewaySim> sim_;
};

TEST_F(MonitorProgram, AFaultIsMailedOnceWhileItStaysAndItsRecoveryOnce) {
    start_sim();
    MailServerProcess mail(folder_ / "mail");
    ASSERT_GT(mail.port(), 0);
    write_usual_key_store(mail.port());
    auto monitor = start_monitor(sim_->port(), {"--attach"});

    const json first = round(*monitor, 1);
    ASSERT_TRUE(first.is_object()) << monitor->err();
    EXPECT_TRUE(first["sites"][0]["first_round"]);
    EXPECT_EQ(first["sites"][0]["changes"], json::array());

    set_failure(*sim_, 1, kFailureBatteryFault);
    ASSERT_TRUE(eventually([&] { return !mail.messages().empty(); })) << monitor->err();
    two_more_rounds(*monitor);
    std::vector<json> got = mail.messages();
    ASSERT_EQ(got.size(), 1U);
    const json& m = got[0];
    EXPECT_EQ(m["subject"], "OrvyPc: 1 new fault at 127.0.0.1");
    EXPECT_EQ(m["envelope_to"], json::array({"tech@example.org", "facilities@example.org"}));
    EXPECT_TRUE(m["tls"]);
    EXPECT_NE(m["login"].get<std::string>().find(kMailUser), std::string::npos);
    EXPECT_EQ(m["structure"], json::array({"multipart/mixed", "multipart/alternative", "text/plain", "text/html",
                                           "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"}));
    EXPECT_NE(m["parts"][0]["text"].get<std::string>().find("A1  Stair 2 exit, Level 3 east: Battery fault (new)"),
              std::string::npos)
        << m["parts"][0]["text"];
    EXPECT_NE(m["parts"][1]["text"].get<std::string>().find("background-color:#FF0000\">fault"), std::string::npos);
    EXPECT_EQ(m["parts"][2]["sheets"], json::array({"Summary", "Luminaires", "History"}));
    EXPECT_EQ(m["defects"], json::array());
    EXPECT_EQ(m["bare_line_feeds"], 0);
    EXPECT_LE(m["longest_line"].get<int>(), 78);

    set_failure(*sim_, 1, 0);
    ASSERT_TRUE(eventually([&] { return mail.messages().size() >= 2; })) << monitor->err();
    two_more_rounds(*monitor);
    got = mail.messages();
    ASSERT_EQ(got.size(), 2U);
    EXPECT_EQ(got[1]["subject"], "OrvyPc: 1 recovered at 127.0.0.1");
    EXPECT_NE(got[1]["parts"][0]["text"].get<std::string>().find("A1  Stair 2 exit, Level 3 east: no longer: Battery fault"),
              std::string::npos);
    stop(*monitor);
}

TEST_F(MonitorProgram, AnAlertWaitsForTheMailServerAndArrivesOnceWithItsOriginalTime) {
    start_sim();
    int mailPort = 0;
    {
        MailServerProcess reserve(folder_ / "mail");   // makes the certificate and finds a free port
        mailPort = reserve.port();
        reserve.stop();
    }
    ASSERT_GT(mailPort, 0);
    write_usual_key_store(mailPort);
    auto monitor = start_monitor(sim_->port());
    ASSERT_TRUE(round(*monitor, 1).is_object()) << monitor->err();

    set_failure(*sim_, 66, kFailureBatteryFault);
    int waitingRound = 0;
    std::string queuedAt;
    ASSERT_TRUE(eventually([&] {
        const int n = last_round(*monitor);
        const json r = n > 0 ? round(*monitor, n) : json();
        if (!r.is_object() || r["mail"]["waiting"] != 1) return false;
        waitingRound = n;
        queuedAt = r["mail"]["oldest_waiting"].get<std::string>();
        return true;
    })) << monitor->err();
    const json later = round(*monitor, waitingRound + 1);
    ASSERT_TRUE(later.is_object());
    EXPECT_EQ(later["mail"]["waiting"], 1) << "the unchanged fault queued nothing more";
    EXPECT_EQ(later["mail"]["oldest_waiting"], queuedAt);
    EXPECT_FALSE(later["mail"]["error"].is_null());

    MailServerProcess mail(folder_ / "mail", mailPort);
    ASSERT_EQ(mail.port(), mailPort);
    ASSERT_TRUE(eventually([&] { return !mail.messages().empty(); })) << monitor->err();
    two_more_rounds(*monitor);
    const std::vector<json> got = mail.messages();
    ASSERT_EQ(got.size(), 1U);
    EXPECT_EQ(got[0]["subject"], "OrvyPc: 1 new fault at 127.0.0.1");
    EXPECT_EQ(local_time_text(got[0]["date_epoch"].get<std::time_t>(), kLocalIsoFormat), queuedAt);
    EXPECT_NE(got[0]["parts"][0]["text"].get<std::string>().find("B2  Plant room, Basement: Battery fault (new)"),
              std::string::npos);
    EXPECT_EQ(round(*monitor, last_round(*monitor))["mail"]["waiting"], 0);
    stop(*monitor);
}

TEST_F(MonitorProgram, AGatewayThatGoesAwayGivesOneUnreachableAndOneBackAlert) {
    start_sim();
    const std::uint16_t port = sim_->port();
    MailServerProcess mail(folder_ / "mail");
    write_usual_key_store(mail.port());
    auto monitor = start_monitor(port);
    ASSERT_TRUE(round(*monitor, 1).is_object()) << monitor->err();

    sim_.reset();
    ASSERT_TRUE(eventually([&] { return !mail.messages().empty(); })) << monitor->err();
    two_more_rounds(*monitor);
    ASSERT_EQ(mail.messages().size(), 1U);
    EXPECT_EQ(mail.messages()[0]["subject"], "OrvyPc: gateway unreachable at 127.0.0.1");

    start_sim(port);
    ASSERT_TRUE(eventually([&] { return mail.messages().size() >= 2; })) << monitor->err();
    two_more_rounds(*monitor);
    const std::vector<json> got = mail.messages();
    ASSERT_EQ(got.size(), 2U);
    EXPECT_EQ(got[1]["subject"], "OrvyPc: gateway back at 127.0.0.1");
    stop(*monitor);
}

// As the Done-when has it: the simulator program, a fault switched on
// through its command input, and the monitor at its own pace.
TEST_F(MonitorProgram, TheSimulatorProgramsFaultSwitchedOnGivesOneMailAndNoMoreWhileItStays) {
    const std::filesystem::path data = folder_ / "site.json";
    std::ofstream(data) << R"({"luminaires": [
        {"address": "A1", "name": "Stair 2 exit", "location": "Level 3 east",
         "status": {"functionTestIntervalDays": 0, "durationTestIntervalWeeks": 0},
         "entries": [{"type": "FT", "date": "2026-01-01 02:00:00", "result": "OK"}]},
        {"address": "B2", "name": "走廊 东", "location": "二楼",
         "status": {"functionTestIntervalDays": 0, "durationTestIntervalWeeks": 0},
         "entries": [{"type": "FT", "date": "2026-01-01 02:10:00", "result": "OK"}]}]})";
    Process sim({ORVYPC_SIM_PROGRAM, "--commands", "--data", data.string()}, folder_, true);
    const int listening = sim.wait_for_line([](const std::string& l) { return l.find(" port ") != std::string::npos; });
    ASSERT_GE(listening, 0) << sim.err();
    const std::string line = sim.out_lines()[static_cast<std::size_t>(listening)];
    const auto port = static_cast<std::uint16_t>(std::stoi(line.substr(line.find(" port ") + 6)));

    MailServerProcess mail(folder_ / "mail");
    write_usual_key_store(mail.port());
    auto monitor = start_monitor(port);
    ASSERT_TRUE(round(*monitor, 1).is_object()) << monitor->err();
    EXPECT_TRUE(mail.messages().empty());

    sim.write_line(R"({"address": "B2", "status": {"failureStatus": 8}})");
    ASSERT_GE(sim.wait_for_line([](const std::string& l) { return l == "ok B2"; }), 0) << sim.err();
    ASSERT_TRUE(eventually([&] { return !mail.messages().empty(); })) << monitor->err();
    two_more_rounds(*monitor);
    two_more_rounds(*monitor);
    const std::vector<json> got = mail.messages();
    ASSERT_EQ(got.size(), 1U);
    EXPECT_EQ(got[0]["subject"], "OrvyPc: 1 new fault at 127.0.0.1");
    EXPECT_NE(got[0]["parts"][0]["text"].get<std::string>().find("B2  走廊 东, 二楼: Lamp failure (new)"), std::string::npos)
        << got[0]["parts"][0]["text"];
    stop(*monitor);
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.wait_exit(), 0);
}

// Every gateway that answers, and every one seen before: a gateway that
// stops answering the discovery is still surveyed (and found unreachable),
// not forgotten. No mail server: the changes are only printed.
TEST_F(MonitorProgram, AllGatewaysKeepsTheGatewaysSeenBefore) {
    start_sim();
    SimFaults two = sim_->faults();
    two.extraGateways = 1;   // 127.0.0.2 answers the discovery but takes no connection
    sim_->set_faults(two);
    Process monitor({ORVYPC_EXE, "monitor", "--all-gateways", "--broadcast", "127.255.255.255", "--port",
                     std::to_string(sim_->port()), "--every", "1s", "--json", "--timeout", "2000"},
                    folder_);
    const json first = round(monitor, 1);
    ASSERT_TRUE(first.is_object()) << monitor.err();
    ASSERT_EQ(first["sites"].size(), 2U);
    EXPECT_EQ(first["sites"][0]["gateway"], "127.0.0.1");
    EXPECT_TRUE(first["sites"][0]["reachable"]);
    EXPECT_EQ(first["sites"][1]["gateway"], "127.0.0.2");
    EXPECT_FALSE(first["sites"][1]["reachable"]);
    EXPECT_EQ(first["sites"][1]["changes"][0]["change"], "gateway unreachable");
    EXPECT_FALSE(first["mail"]["set_up"]);
    EXPECT_EQ(first["mail"]["waiting"], 1);

    sim_->set_faults(SimFaults{});
    const int now = last_round(monitor);
    const json later = round(monitor, now + 2);
    ASSERT_TRUE(later.is_object()) << monitor.err();
    ASSERT_EQ(later["sites"].size(), 2U);
    EXPECT_EQ(later["sites"][1]["gateway"], "127.0.0.2");
    EXPECT_EQ(later["sites"][1]["changes"], json::array());
    EXPECT_EQ(later["mail"]["waiting"], 1);
    stop(monitor);
}

TEST_F(MonitorProgram, AStopBetweenRoundsEndsItInOrder) {
    start_sim();
    Process monitor({ORVYPC_EXE, "monitor", "--gateway", "127.0.0.1", "--port", std::to_string(sim_->port()), "--every",
                     "1h"},
                    folder_);
    ASSERT_GE(monitor.wait_for_line([](const std::string& l) { return l.find(" round 1: ") != std::string::npos; }), 0)
        << monitor.err();
    monitor.signal(SIGINT);
    EXPECT_EQ(monitor.wait_exit(), 0) << monitor.err();
}

TEST_F(MonitorProgram, OnceDoesOneRoundAndSaysWhenItsMailCouldNotGo) {
    start_sim();
    set_failure(*sim_, 2, kFailureBatteryFault);
    write_key_store(1, {"\"CaFile\"=\"/nonexistent.pem\""});   // nothing listens on port 1
    Process once({ORVYPC_EXE, "monitor", "--once", "--gateway", "127.0.0.1", "--port", std::to_string(sim_->port())},
                 folder_);
    EXPECT_EQ(once.wait_exit(), 9) << once.err();   // the mail could not go
    const std::vector<std::string> lines = once.out_lines();
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_NE(lines[0].find(" round 1: 127.0.0.1 3 luminaires (2 ok, 0 overdue, 1 fault, 0 not read), 1 change: A2 new fault;"
                            " mail: 0 sent, 1 waiting since "),
              std::string::npos)
        << lines[0];
}

// The monitor keeps its rounds under the logbook's site: a site named
// between two rounds is the same site, named so in the round.
TEST_F(MonitorProgram, ARoundIsKeptUnderTheSiteAndItsNameGoesWithIt) {
    start_sim();
    ASSERT_EQ(once().first, 0);   // no mail settings: rounds only
    Process name({ORVYPC_EXE, "site", "name", "Hospital West", "--site", "127.0.0.1", "--gateway", "127.0.0.1",
                  "--port", std::to_string(sim_->port())},
                 folder_);
    ASSERT_EQ(name.wait_exit(), 0) << name.err();
    ASSERT_NO_FATAL_FAILURE(set_failure(*sim_, 1, kFailureBatteryFault));
    const json round = once().second;
    ASSERT_TRUE(round.is_object());
    EXPECT_EQ(round["sites"][0]["site"], "Hospital West") << round;
    EXPECT_EQ(round["sites"][0]["first_round"], false) << round;
    EXPECT_EQ(round["sites"][0]["changes"].size(), 1U) << round;
}

// The monitor killed (SIGKILL, by its test hook) at each point of the round
// that meets a new fault, then started again: the alert arrives once, or,
// killed between the server's acceptance and its note of it, once more with
// the same Message-ID and saying it may be a copy. Each run is a --once, as
// a timer starts it: the state is the logbook's, and a later run with the
// fault unchanged sends nothing.
TEST_F(MonitorProgram, AMonitorKilledAnywhereInARoundSendsItsAlertOnce) {
    struct Case {
        const char* point;
        std::size_t mailsAfterKill;
        std::size_t mailsAfterRestart;
    };
    const Case cases[] = {
        {"survey", 0, 1},          // nothing kept: the restart finds the fault again
        {"alert-queued", 0, 1},    // kept, not sent: the restart sends it
        {"mail-accepted", 1, 2},   // taken, not noted: sent again, said to be a copy
    };
    start_sim();
    MailServerProcess mail(folder_ / "mail");
    ASSERT_GT(mail.port(), 0);
    write_usual_key_store(mail.port());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.point);
        const std::filesystem::path data = folder_ / "data" / c.point;   // a logbook of the case's own
        setenv("XDG_DATA_HOME", data.c_str(), 1);
        ASSERT_NO_FATAL_FAILURE(set_failure(*sim_, 1, 0));
        const std::size_t before = mail.messages().size();
        ASSERT_EQ(once().first, 0);

        ASSERT_NO_FATAL_FAILURE(set_failure(*sim_, 1, kFailureBatteryFault));
        EXPECT_EQ(once(c.point).first, 128 + SIGKILL);
        EXPECT_EQ(mail.messages().size(), before + c.mailsAfterKill);

        const auto [status, round] = once();
        EXPECT_EQ(status, 0);
        const std::vector<json> got = mail.messages();
        ASSERT_EQ(got.size(), before + c.mailsAfterRestart);
        const json& last = got.back();
        EXPECT_EQ(last["subject"], "OrvyPc: 1 new fault at 127.0.0.1");
        const bool copy = c.mailsAfterRestart == 2;
        EXPECT_EQ(last["parts"][0]["text"].get<std::string>().find("This message may be a second copy") == 0, copy)
            << last["parts"][0]["text"];
        if (copy) {
            EXPECT_EQ(last["message_id"], got[before]["message_id"]);
            EXPECT_EQ(last["date"], got[before]["date"]);
        }
        // No change since: the stored round is the comparison, nothing goes.
        EXPECT_EQ(round["sites"][0]["changes"].size(), c.point == std::string("survey") ? 1U : 0U) << round;
        const auto [again, quiet] = once();
        EXPECT_EQ(again, 0);
        EXPECT_EQ(quiet["sites"][0]["changes"], json::array());
        EXPECT_EQ(quiet["sites"][0]["first_round"], false);
        EXPECT_EQ(mail.messages().size(), got.size());
    }
}

// A message the server refuses for good (554 after its last line) is tried
// at three sends and then set aside, said in the round; the alerts after it
// are not held back.
TEST_F(MonitorProgram, AnAlertTheServerRefusesForGoodIsSetAsideAndHoldsNoOtherBack) {
    start_sim();
    MailServerProcess mail(folder_ / "mail", 0, "LOGIN,PLAIN", "new fault");
    ASSERT_GT(mail.port(), 0);
    write_usual_key_store(mail.port());
    ASSERT_EQ(once().first, 0);
    ASSERT_NO_FATAL_FAILURE(set_failure(*sim_, 1, kFailureBatteryFault));
    auto [status, round] = once();
    EXPECT_EQ(status, 9);
    EXPECT_EQ(round["mail"]["waiting"], 1) << round;
    EXPECT_NE(round["mail"]["error"].get<std::string>().find("554"), std::string::npos) << round;

    ASSERT_NO_FATAL_FAILURE(set_failure(*sim_, 1, 0));
    std::tie(status, round) = once();
    EXPECT_EQ(status, 9);
    ASSERT_EQ(mail.messages().size(), 1U);
    EXPECT_EQ(mail.messages()[0]["subject"], "OrvyPc: 1 recovered at 127.0.0.1");
    EXPECT_EQ(round["mail"]["waiting"], 1);

    std::tie(status, round) = once();
    EXPECT_EQ(status, 9);
    EXPECT_EQ(round["mail"]["waiting"], 0);
    ASSERT_EQ(round["mail"]["set_aside"].size(), 1U) << round;
    EXPECT_EQ(round["mail"]["set_aside"][0]["subject"], "OrvyPc: 1 new fault at 127.0.0.1");
    EXPECT_EQ(round["mail"]["set_aside"][0]["refusals"], 3);

    std::tie(status, round) = once();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(round["mail"]["set_aside"], json::array());
    EXPECT_EQ(mail.messages().size(), 1U);
}

// --test-mail against the loopback server: each login mechanism, the
// password from a file only the user reads or from ~/.netrc; and the set-ups
// that must be refused, with a reason and no mail.
TEST_F(MonitorProgram, TestMailLogsInOverStartTlsAndRefusesWhatIsUnsafe) {
    struct Case {
        const char* name;
        const char* mechanisms;
        const char* passwordFrom;   // "file", "netrc", "open file" (mode 0644), "wrong"
        bool trustCertificate;
        int status;
        const char* said;           // on standard error, or the login the server saw
    };
    const Case cases[] = {
        {"LOGIN, password from a private file", "LOGIN", "file", true, 0, "LOGIN monitor"},
        {"PLAIN, password from ~/.netrc", "PLAIN", "netrc", true, 0, "PLAIN monitor"},
        {"a password file others can read", "LOGIN,PLAIN", "open file", true, 9, "can be read or changed by others"},
        {"a certificate nobody vouches for", "LOGIN,PLAIN", "file", false, 9, "did not take the message"},
        {"a wrong password", "LOGIN,PLAIN", "wrong", true, 9, "did not take the message"},
    };
    const auto privateMode = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(folder_ / "mail");
        std::filesystem::create_directories(folder_ / "mail");
        std::filesystem::remove(folder_ / "home" / ".netrc");
        MailServerProcess mail(folder_ / "mail", 0, c.mechanisms);
        ASSERT_GT(mail.port(), 0);
        std::vector<std::string> more;
        const std::string how = c.passwordFrom;
        if (how == "netrc") {
            std::ofstream(folder_ / "home" / ".netrc")
                << "machine 127.0.0.1 login " << kMailUser << " password " << kMailPassword << "\n";
            std::filesystem::permissions(folder_ / "home" / ".netrc", privateMode);
        } else {
            const auto mode = how == "open file" ? privateMode | std::filesystem::perms::group_read |
                                                       std::filesystem::perms::others_read
                                                 : privateMode;
            more.push_back("\"PasswordFile\"=\"" + write_password(how == "wrong" ? "guess" : kMailPassword, mode) + "\"");
        }
        if (c.trustCertificate) more.push_back("\"CaFile\"=\"" + mail.certificate().string() + "\"");
        write_key_store(mail.port(), more);

        Process run({ORVYPC_EXE, "monitor", "--test-mail"}, folder_);
        EXPECT_EQ(run.wait_exit(), c.status) << run.err();
        const std::vector<json> got = mail.messages();
        if (c.status == 0) {
            ASSERT_EQ(got.size(), 1U);
            EXPECT_EQ(got[0]["subject"], "OrvyPc: test message");
            EXPECT_EQ(got[0]["login"], c.said);
            EXPECT_TRUE(got[0]["tls"]);
        } else {
            EXPECT_TRUE(got.empty());
            EXPECT_NE(run.err().find(c.said), std::string::npos) << run.err();
        }
        mail.stop();
    }
}

}  // namespace
