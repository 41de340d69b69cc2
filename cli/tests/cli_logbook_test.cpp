// The logbook on the command line: orvypc run as a process against the
// simulator, recording into real logbooks (a SQLite file, the suite's own
// PostgreSQL server), read back through the logbook's interface.
#include "cli_logbook.h"
#include "gateway_sim.h"
#include "logbook_fixture.h"
#include "logbook_recording.h"
#include "run_orvypc.h"
#include "sim_data.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <ctime>
#include <map>
#include <set>
#include <thread>

namespace {

constexpr std::uint8_t kUnit = 0;   // A0 of the demonstration data

class CliLogbook : public testing::Test {
protected:
    void SetUp() override {
        sim_ = std::make_unique<GatewaySim>(demo_config());
        ASSERT_TRUE(sim_->start());
        // The fallback logbook of this machine lives in the test's folder.
        set_local_data_folder(fx_.file("data"));
        book_ = fx_.file("logbook.sqlite");
    }
    std::vector<std::string> args(std::vector<std::string> a, const std::string& logbook = "") const {
        a.insert(a.end(), {"--gateway", "127.0.0.1", "--port", std::to_string(sim_->port()), "--logbook",
                           logbook.empty() ? book_ : logbook});
        return a;
    }
    std::size_t sim_entries(std::uint8_t unit) const {
        for (const SimLuminaire& l : demo_config().luminaires) {
            if (l.unit == unit) return l.entries.size();
        }
        return 0;
    }
    std::vector<std::string> history_lines(const std::string& logbook = "") {
        const Outcome h = run_orvypc(args({"history", "A0"}, logbook));
        EXPECT_EQ(h.status, 0) << h.err;
        std::vector<std::string> lines = h.lines();
        if (!lines.empty()) lines.erase(lines.begin());   // the heading
        return lines;
    }

    StoreFixture fx_;
    std::unique_ptr<GatewaySim> sim_;
    std::string book_;
};

// The gateway's list, read by results, details and history again and again,
// is in the history once per entry, each held by the gateway, with the
// minutes the gateway stored (the results list shows "none" for a function
// test's minutes in its first row; the logbook keeps the stored value).
TEST_F(CliLogbook, ListingsReadAgainShowEachEntryOnce) {
    for (const char* command : {"results", "results", "details"}) {
        std::vector<std::string> a = {command};
        if (std::string(command) == "details") a.push_back("A0");
        const Outcome r = run_orvypc(args(a));
        ASSERT_EQ(r.status, 0) << command << ": " << r.err;
        EXPECT_EQ(r.err, "") << command;
    }
    const std::vector<std::string> first = history_lines();
    EXPECT_EQ(first.size(), sim_entries(kUnit));
    EXPECT_EQ(history_lines(), first);
    const SimConfig demo = demo_config();
    const SimTestEntry newest = demo.luminaires.at(0).entries.back();
    ASSERT_EQ(demo.luminaires.at(0).unit, kUnit);
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first[0].find("\t" + std::to_string(newest.minutes) + "\t"), std::string::npos) << first[0];
    for (const std::string& line : first) EXPECT_EQ(line.substr(line.rfind('\t') + 1), "yes") << line;
}

TEST_F(CliLogbook, AnEntryTheGatewayForgotIsMarkedAndKept) {
    {
        auto book = fx_.open(book_);
        ASSERT_TRUE(book);
        ASSERT_TRUE(book->record(run_of({entry("2001-01-01 09:00:00", kUnit, "Old name", 1, 0, "127.0.0.1")}, {kUnit})));
    }
    const std::vector<std::string> lines = history_lines();
    ASSERT_EQ(lines.size(), sim_entries(kUnit) + 1);
    EXPECT_NE(lines.back().find("Old name"), std::string::npos);
    EXPECT_EQ(lines.back().substr(lines.back().rfind('\t') + 1), "no");
}

TEST_F(CliLogbook, AnIncompleteListingIsRecordedAsSuch) {
    SimFaults f;
    f.closeAfterReplies = 3;
    sim_->set_faults(f);
    const Outcome r = run_orvypc(args({"details", "A0", "--retries", "0", "--timeout", "500"}));
    EXPECT_NE(r.status, 0);
    auto book = fx_.open(book_);
    ASSERT_TRUE(book);
    const auto changes = book->changes_after(0, 0);
    ASSERT_TRUE(changes && changes->runs.size() == 1);
    EXPECT_FALSE(changes->runs[0].complete);
    EXPECT_FALSE(changes->runs[0].reason.empty());
    EXPECT_GT(changes->runs[0].entries.size(), 0u);
    EXPECT_LT(changes->runs[0].entries.size(), sim_entries(kUnit));
    EXPECT_TRUE(changes->runs[0].fullListings.empty()) << "an incomplete list says nothing of what is held";
}

struct Unusable {
    const char* what;
    std::vector<std::string> extra;
    void (*make)(const std::string& path);
    const char* says;
    int status;   // a run that could not be recorded is never passed off as recorded
};

TEST_F(CliLogbook, WithoutALogbookTheListingStillWorksAndSaysSo) {
    const std::vector<Unusable> cases = {
        {"--no-logbook", {"--no-logbook"}, [](const std::string&) {}, "", 0},
        {"a damaged file", {}, [](const std::string& p) { std::ofstream(p) << "not a database at all"; },
         "this run is not recorded", kExitLogbook},
    };
    for (const Unusable& c : cases) {
        std::filesystem::remove(book_);
        c.make(book_);
        const std::string before = read_bytes(book_);
        std::vector<std::string> a = args({"results"});
        a.insert(a.end(), c.extra.begin(), c.extra.end());
        const Outcome r = run_orvypc(a);
        EXPECT_EQ(r.status, c.status) << c.what << ": " << r.err;
        EXPECT_GT(r.lines().size(), 1u) << c.what;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.what << ": " << r.err;
        EXPECT_EQ(read_bytes(book_), before) << c.what;
    }
    EXPECT_EQ(run_orvypc(args({"history", "A0", "--no-logbook"})).status, kExitLogbook) << "a damaged logbook is not read";
}

TEST_F(CliLogbook, ARemarkStandsInTheHistoryAndTheWorkbook) {
    ASSERT_EQ(run_orvypc(args({"details", "A0"})).status, 0);
    const Outcome note = run_orvypc(args({"logbook", "note", "A0", "battery replaced"}));
    ASSERT_EQ(note.status, 0) << note.err;
    const std::vector<std::string> lines = history_lines();
    ASSERT_EQ(lines.size(), sim_entries(kUnit) + 1);
    EXPECT_NE(lines[0].find("\tNote\t"), std::string::npos) << lines[0];   // written now: the newest
    EXPECT_NE(lines[0].find("battery replaced"), std::string::npos);

    const std::string xlsx = fx_.file("site.xlsx");
    const Outcome e = run_orvypc(args({"logbook", "export", "-o", xlsx}));
    ASSERT_EQ(e.status, 0) << e.err;
    // The seal of the last record it covers, as verify finds it and in the
    // workbook's footer.
    const Outcome v = run_orvypc(args({"logbook", "verify"}));
    ASSERT_EQ(v.status, 0) << v.err;
    const std::string sealLine = e.out.substr(0, e.out.find('\n'));
    EXPECT_EQ(sealLine.rfind("seal of the last record: ", 0), 0u) << e.out;
    EXPECT_NE(v.out.find(sealLine), std::string::npos) << v.out;
    // Read back by the system's openpyxl (scripts/deps.sh): the nine
    // columns, every row, landscape, one page wide.
    const std::string script =
        "import openpyxl,sys\n"
        "ws=openpyxl.load_workbook(sys.argv[1]).active\n"
        "print([c.value for c in ws[1]]);print(ws.max_row-1)\n"
        // fitToWidth left out of the file is its default, 1.
        "print(ws.page_setup.orientation, ws.page_setup.fitToWidth or 1, ws.page_setup.fitToHeight,"
        " ws.sheet_properties.pageSetUpPr.fitToPage)\n"
        "print(sum(1 for r in ws.iter_rows(min_row=2,values_only=True) if r[4]=='Note'))\n"
        "print(ws.oddFooter.left.text)\n";
    std::ofstream(fx_.file("read.py")) << script;
    const std::string out = fx_.file("read.out");
    ASSERT_EQ(std::system(("/usr/bin/python3 " + fx_.file("read.py") + " " + xlsx + " > " + out).c_str()), 0);
    EXPECT_EQ(read_bytes(out),
              "['Address', 'Name', 'Location', 'Test Date', 'Type', 'Time(min)', 'Result', 'Gateway', 'First Read']\n" +
                  std::to_string(sim_entries(kUnit) + 1) + "\nlandscape 1 0 True\n1\n" + sealLine + "\n");
}

#if ORVYPC_TEST_POSTGRES_STORE
// A team server that cannot be reached: the run is kept on this machine and
// a sync pushes it, once, however often it runs.
TEST_F(CliLogbook, TheTeamServerAwayRecordsLocallyAndSyncPushesOnce) {
    const std::string away = "postgresql:///postgres?host=" + fx_.file("no-server") + "&user=nobody";
    const Outcome r = run_orvypc(args({"details", "A0"}, away));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("logbook sync"), std::string::npos) << r.err;
    const std::string team = fx_.new_store(StoreKind::Postgres);
    ASSERT_FALSE(team.empty()) << "the suite's PostgreSQL server is not there";
    for (int round = 0; round < 2; ++round) {
        const Outcome s = run_orvypc(args({"logbook", "sync"}, team));
        ASSERT_EQ(s.status, 0) << s.err;
        EXPECT_NE(s.err.find(round == 0 ? "1 run(s) and 0 remark(s) new" : "0 run(s) and 0 remark(s) new"),
                  std::string::npos) << s.err;
    }
    auto book = fx_.open(team);
    ASSERT_TRUE(book);
    EXPECT_EQ(book->entry_count(), sim_entries(kUnit));
    EXPECT_EQ(history_lines(team).size(), sim_entries(kUnit));
}
#else
// A build without the server store: a server named is refused with the
// reason, by the logbook's commands with their exit status, by a listing
// on standard error; nothing goes to a local file that no sync could push.
TEST_F(CliLogbook, ATeamServerIsRefusedWhereTheBuildHasNone) {
    const std::string team = "postgresql://tech@logbook.example.org/orvypc_logbook";
    struct Case {
        std::vector<std::string> command;
        std::string logbook;
        int status;
        const char* says;   // besides the reason
    };
    const std::vector<Case> cases = {
        {{"history", "A0"}, team, kExitLogbook, "logbook: "},
        {{"logbook", "note", "A0", "lamp changed"}, team, kExitLogbook, "logbook: "},
        {{"logbook", "sync"}, team, kExitLogbook, "logbook sync: "},
        {{"logbook", "sync"}, "", kExitLogbook, "logbook sync: "},
        {{"results"}, team, kExitLogbook, "this run is not recorded"},
    };
    for (const Case& c : cases) {
        const Outcome r = run_orvypc(args(c.command, c.logbook));
        const std::string what = c.command[0] + (c.command.size() > 1 ? " " + c.command[1] : "");
        EXPECT_EQ(r.status, c.status) << what << ": " << r.err;
        EXPECT_NE(r.err.find(kNoTeamLogbook), std::string::npos) << what << ": " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << what << ": " << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(fx_.file("data"))) << "no run went to this machine's logbook";
}
#endif

// Without --logbook a simulator's runs go to the demonstration logbook in
// this machine's local data folder ($XDG_DATA_HOME, %LOCALAPPDATA%).
TEST_F(CliLogbook, ALoopbackGatewayRecordsIntoTheLocalDataFolder) {
    const Outcome r = run_orvypc({"results", "--gateway", "127.0.0.1", "--port", std::to_string(sim_->port())});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::filesystem::path demo = std::filesystem::path(fx_.file("data")) / "OrvyPc" / "demo-logbook.sqlite";
    auto book = fx_.open(demo.string());
    ASSERT_TRUE(book);
    EXPECT_GT(book->entry_count(), 0u);
    EXPECT_FALSE(std::filesystem::exists(demo.parent_path() / "logbook.sqlite")) << "no simulated entry in a site's logbook";
}

std::size_t demo_entry_count() {
    std::size_t n = 0;
    for (const SimLuminaire& l : demo_luminaires()) n += l.entries.size();
    return n;
}

// Each survey is one run of kind "survey": every entry once however often
// it is read, a status snapshot of each luminaire whose status was read,
// each whole history a full listing; an incomplete one says so.
TEST_F(CliLogbook, ASurveyRecordsEachEntryOnceAndASnapshotPerReadLuminaire) {
    struct Case {
        const char* name;
        std::vector<std::string> extra;
        std::set<std::uint8_t> missing;   // status "no such unit": not read
        std::size_t runs;                 // surveys in the logbook after it
        bool complete;
    };
    const Case cases[] = {
        {"a survey", {}, {}, 1, true},
        {"the same again", {}, {}, 2, true},
        {"--no-logbook records nothing", {"--no-logbook"}, {}, 2, true},
        {"A2 not read", {}, {2}, 3, false},
    };
    const std::vector<SimLuminaire> demo = demo_luminaires();
    std::map<std::uint8_t, std::size_t> snapshots;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimFaults f;
        f.unitsMissing = c.missing;
        sim_->set_faults(f);
        std::vector<std::string> a = args({"survey"});
        a.insert(a.end(), c.extra.begin(), c.extra.end());
        const Outcome r = run_orvypc(a);
        EXPECT_EQ(r.status, c.complete ? 0 : 6) << r.err;
        const bool recorded = c.extra.empty();
        if (recorded) {
            for (const SimLuminaire& l : demo) snapshots[l.unit] += c.missing.count(l.unit) == 0 ? 1 : 0;
        }
        auto book = fx_.open(book_);
        ASSERT_TRUE(book);
        EXPECT_EQ(book->entry_count(), demo_entry_count());
        const auto sites = book->sites();
        ASSERT_TRUE(sites && sites->size() == 1u);
        const std::string site = sites->front().uid;
        for (const SimLuminaire& l : demo) EXPECT_EQ(book->snapshots(site, l.unit).size(), snapshots[l.unit]) << int(l.unit);
        const auto changes = book->changes_after(0, 0);
        ASSERT_TRUE(changes);
        ASSERT_EQ(changes->runs.size(), c.runs);
        const RunRecord& last = changes->runs.back();
        EXPECT_EQ(last.kind, "survey");
        EXPECT_EQ(last.complete, c.complete);
        EXPECT_EQ(last.reason.empty(), c.complete) << last.reason;
        EXPECT_EQ(last.fullListings.size(), demo.size());
    }
}

// An entry dated `daysAgo` days before now on this machine's clock, which
// the program takes the gateway's to be.
SimTestEntry dated(std::uint8_t type, int daysAgo, std::string* date = nullptr) {
    const std::time_t when = std::time(nullptr) - static_cast<std::time_t>(daysAgo) * 24 * 3600;
    std::tm t{};
    localtime_r(&when, &t);
    SimTestEntry e;
    e.type = type;
    e.year = static_cast<std::uint16_t>(t.tm_year + 1900);
    e.month = static_cast<std::uint8_t>(t.tm_mon + 1);
    e.day = static_cast<std::uint8_t>(t.tm_mday);
    e.hour = 2;
    e.result = 1;
    e.minutes = type == 1 ? 180 : 1;
    if (date != nullptr) {
        char text[16];
        std::strftime(text, sizeof text, "%Y-%m-%d", &t);
        *date = text;
    }
    return e;
}

// The gateway forgets a duration test a survey read: the next survey's
// History sheet still has it, marked as no longer on the gateway, beside a
// remark, and the luminaire is overdue by it (52 weeks), though the
// gateway's bits say nothing; without the logbook it is ok.
TEST_F(CliLogbook, ATestTheGatewayForgotStaysInTheSurveyAndMakesItOverdue) {
    constexpr int kLongAgo = 400, kYesterday = 1;   // the demonstration gear: 28 days, 52 weeks
    std::string dtDate;
    SimConfig config;
    config.luminaires = {demo_luminaires().at(0)};   // A0, healthy
    SimLuminaire& a0 = config.luminaires[0];
    ASSERT_EQ(a0.status.at(31 - 17), 28);
    ASSERT_EQ(a0.status.at(33 - 17), 52);
    a0.entries = {dated(1, kLongAgo, &dtDate), dated(0, kYesterday)};
    auto serve = [&] {
        sim_ = std::make_unique<GatewaySim>(config);
        ASSERT_TRUE(sim_->start());
    };
    serve();
    ASSERT_EQ(run_orvypc(args({"survey"})).status, 0);
    ASSERT_EQ(run_orvypc(args({"logbook", "note", "A0", "battery replaced"})).status, 0);
    a0.entries.erase(a0.entries.begin());
    serve();

    const std::string why = "Duration test overdue (last in the logbook " + dtDate + ")";
    const std::string xlsx = fx_.file("site.xlsx");
    const Outcome o = run_orvypc(args({"survey", "-o", xlsx}));
    ASSERT_EQ(o.status, 0) << o.err;
    const nlohmann::json expected = {
        {"gateway", "127.0.0.1"}, {"site", {{"overdue", 1}}}, {"verdicts", {{"A0", "overdue"}}}, {"historyRows", 3},
        {"historyMarks", {{"A0", "Note", ""}, {"A0", "FT", "yes"}, {"A0", "DT", "no"}}},
        {"attentionWhy", {{"A0", why}}}};
    std::ofstream(fx_.file("expected.json")) << expected.dump();
    EXPECT_EQ(std::system(("/usr/bin/python3 " ORVYPC_CHECK_SURVEY " " + xlsx + " " + fx_.file("expected.json")).c_str()), 0);

    struct Case {
        std::vector<std::string> extra;
        const char* verdict;
        const char* historyFrom;
        std::size_t historyLines;
        std::string why;
    };
    const Case cases[] = {
        {{}, "overdue", "logbook", 3, why},
        {{"--no-logbook"}, "ok", "gateway", 1, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> a = args({"survey", "--json"});
        a.insert(a.end(), c.extra.begin(), c.extra.end());
        const Outcome r = run_orvypc(a);
        ASSERT_EQ(r.status, 0) << r.err;
        const nlohmann::json l = nlohmann::json::parse(r.out).at("luminaires").at(0);
        SCOPED_TRACE(l.dump());
        EXPECT_EQ(l.at("verdict"), c.verdict);
        EXPECT_EQ(l.at("why"), c.why.empty() ? nlohmann::json() : nlohmann::json(c.why));
        EXPECT_EQ(l.at("history_from"), c.historyFrom);
        ASSERT_EQ(l.at("history").size(), c.historyLines);
        if (c.historyLines == 3) {
            EXPECT_EQ(l["history"][0].at("type"), "remark");
            EXPECT_EQ(l["history"][0].at("remark"), "battery replaced");
            EXPECT_EQ(l["history"][1].at("on_gateway"), true);
            EXPECT_EQ(l["history"][2].at("type"), "duration");
            EXPECT_EQ(l["history"][2].at("on_gateway"), false);
        }
    }
}

TEST_F(CliLogbook, BackupWritesANewFileOnly) {
    ASSERT_EQ(run_orvypc(args({"results"})).status, 0);
    const std::string copy = fx_.file("copy.sqlite");
    EXPECT_EQ(run_orvypc(args({"logbook", "backup", copy})).status, 0);
    auto book = fx_.open(copy);
    ASSERT_TRUE(book);
    EXPECT_GT(book->entry_count(), 0u);
    const Outcome again = run_orvypc(args({"logbook", "backup", copy}));
    EXPECT_EQ(again.status, kExitLogbook);
    EXPECT_NE(again.err.find("left alone"), std::string::npos) << again.err;
}

// Programs started at once into one new logbook, or into one an older
// version wrote: the first creates or brings it up to date under the write
// lock, the others wait for it, and every run and remark is stored, sealed.
TEST_F(CliLogbook, ProgramsStartedAtOnceStoreEveryRunAndRemark) {
    constexpr int kAtOnce = 6;
    std::vector<std::unique_ptr<GatewaySim>> sims;   // one each: a gateway serves one connection at a time
    for (int i = 0; i < kAtOnce; ++i) {
        sims.push_back(std::make_unique<GatewaySim>(demo_config()));
        ASSERT_TRUE(sims.back()->start());
    }
    struct Case {
        const char* what;
        StoreKind kind;
        bool older;     // a logbook an older version wrote, with one run
        bool listing;   // results listings; else remarks
    };
    std::vector<Case> cases = {
        {"new file, remarks", StoreKind::Sqlite, false, false},
        {"new file, listings", StoreKind::Sqlite, false, true},
        {"older file, listings", StoreKind::Sqlite, true, true},
    };
#if ORVYPC_TEST_POSTGRES_STORE
    cases.push_back({"new team database, remarks", StoreKind::Postgres, false, false});
    cases.push_back({"older team database, listings", StoreKind::Postgres, true, true});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string where = fx_.new_store(c.kind);
        ASSERT_FALSE(where.empty());
        if (c.older) {
            ASSERT_TRUE(make_older_store(c.kind, where, 2, kVersion2Rows));
        }
        std::vector<Outcome> outcomes(kAtOnce);
        std::vector<std::thread> programs;
        for (int i = 0; i < kAtOnce; ++i) {
            const std::vector<std::string> command =
                c.listing ? std::vector<std::string>{"results", "--port", std::to_string(sims[i]->port())}
                          : std::vector<std::string>{"logbook", "note", "A0", "note " + std::to_string(i)};
            std::vector<std::string> a = command;
            a.insert(a.end(), {"--gateway", "127.0.0.1", "--logbook", where});
            programs.emplace_back([&outcomes, i, a] { outcomes[i] = run_orvypc(a); });
        }
        for (std::thread& t : programs) t.join();
        for (const Outcome& o : outcomes) EXPECT_EQ(o.status, 0) << o.err;
        auto book = fx_.open(where);
        ASSERT_TRUE(book);
        const auto changes = book->changes_after(0, 0);
        ASSERT_TRUE(changes);
        EXPECT_EQ(changes->runs.size(), std::size_t(c.older) + (c.listing ? kAtOnce : 0));
        EXPECT_EQ(changes->remarks.size(), std::size_t(c.older) + (c.listing ? 0 : kAtOnce));
        EXPECT_TRUE(book->verify_seals().holds());
    }
}

// Bytes that are no UTF-8 (a Latin-1 terminal, a file name's bytes): refused
// on the way in unless the locale says what they are; whatever an older
// program stored comes out as text with U+FFFD, in every output.
TEST_F(CliLogbook, TextThatIsNoUtf8IsRefusedOrConvertedInAndMendedOut) {
    ASSERT_EQ(run_orvypc(args({"details", "A0"})).status, 0);
#ifndef _WIN32
    // (Windows hands a program its command line as UTF-16: there is no
    // such argument to give there.)
    const std::string latin1 = "Pr\xfc" "fung";
    const Outcome refused = run_orvypc(args({"logbook", "note", "A0", latin1}));
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("not UTF-8 text (byte 3 (0xFC)"), std::string::npos) << refused.err;
    // A terminal whose locale names its encoding.
    setenv("LC_ALL", "de_DE.ISO-8859-1", 1);
    const Outcome converted = run_orvypc(args({"logbook", "note", "A0", latin1}));
    unsetenv("LC_ALL");
    EXPECT_EQ(converted.status, 0) << converted.err;
    EXPECT_NE(run_orvypc(args({"history", "A0"})).out.find("Pr\xC3\xBC" "fung"), std::string::npos)
        << "the remark converted from Latin-1";
#endif
    // As an older program stored them: a remark and an entry's name.
    ASSERT_TRUE(store_exec(StoreKind::Sqlite, book_,
                           "INSERT INTO remarks (uid, gateway, unit, written, author, body, site) SELECT 'old',"
                           " '127.0.0.1', 0, '2001-01-01 00:00:00', 'tech', CAST(X'5072FC66756E67' AS TEXT), site"
                           " FROM runs LIMIT 1;"
                           "UPDATE entries SET name = CAST(X'48616C6CFF' AS TEXT) WHERE id = 1"));
    const std::string mended = "Pr\xEF\xBF\xBD" "fung";
    struct Output {
        std::vector<std::string> command;
        bool json;
    };
    const std::vector<Output> outputs = {
        {{"history", "A0"}, false}, {{"history", "A0", "--json"}, true}, {{"survey", "--json"}, true}};
    for (const Output& o : outputs) {
        const Outcome r = run_orvypc(args(o.command));
        SCOPED_TRACE(o.command[0] + (o.json ? " --json" : ""));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.find('\xfc'), std::string::npos);
        EXPECT_NE(r.out.find(mended), std::string::npos) << r.out.substr(0, 2000);
        if (o.json) {
            EXPECT_NO_THROW(nlohmann::json::parse(r.out));
        }
    }
    const std::string xlsx = fx_.file("mended.xlsx");
    const Outcome e = run_orvypc(args({"logbook", "export", "-o", xlsx}));
    EXPECT_EQ(e.status, 0) << e.err;
#ifndef _WIN32
    // The workbook's XML holds only text: an independent reader takes it.
    const std::string check = "import openpyxl,sys\n"
                              "ws=openpyxl.load_workbook(sys.argv[1]).active\n"
                              "sys.exit(0 if any('Pr\\ufffdfung' in (c.value or '') for r in ws.iter_rows() for c in r) else 1)\n";
    std::ofstream(fx_.file("mended.py")) << check;
    EXPECT_EQ(std::system(("/usr/bin/python3 " + fx_.file("mended.py") + " " + xlsx).c_str()), 0);
#else
    EXPECT_NE(read_bytes(xlsx).size(), 0u);
#endif
}

// A result edited in the file by hand, behind the program's back: verify
// and check name the run that read it and end with 8; a logbook left alone
// holds (0).
TEST_F(CliLogbook, VerifyAndCheckNameAResultEditedByHand) {
    ASSERT_EQ(run_orvypc(args({"details", "A0"})).status, 0);
    ASSERT_EQ(run_orvypc(args({"logbook", "note", "A0", "battery replaced"})).status, 0);
    std::string uid;
    {
        auto book = fx_.open(book_);
        ASSERT_TRUE(book);
        uid = book->changes_after(0, 0)->runs.at(0).uid;
    }
    struct Case {
        const char* what;
        std::string sql;
        int status;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"left alone", "", 0, "1 run(s) and 1 remark(s) sealed"},
        {"a result edited", "UPDATE entries SET result = 255 WHERE id = 1", kExitSealBroken, uid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.sql.empty()) {
            ASSERT_TRUE(store_exec(StoreKind::Sqlite, book_, c.sql));
        }
        for (const char* command : {"verify", "check"}) {
            const Outcome r = run_orvypc(args({"logbook", command}));
            EXPECT_EQ(r.status, c.status) << command << ": " << r.err;
            EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << command << ": " << r.out << r.err;
        }
    }
}

}  // namespace
