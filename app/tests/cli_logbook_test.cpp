// The logbook on the command line: orvypc run as a process against the
// simulator, recording into real logbooks (a SQLite file, the suite's own
// PostgreSQL server), read back through the logbook's interface.
#include "cli_logbook.h"
#include "gateway_sim.h"
#include "logbook_fixture.h"
#include "run_orvypc.h"
#include "sim_data.h"

#include <cstdlib>

namespace {

constexpr std::uint8_t kUnit = 0;   // A0 of the demonstration data

class CliLogbook : public testing::Test {
protected:
    void SetUp() override {
        sim_ = std::make_unique<GatewaySim>(demo_config());
        ASSERT_TRUE(sim_->start());
        // The fallback logbook of this machine lives in the test's folder.
        setenv("XDG_DATA_HOME", fx_.file("data").c_str(), 1);
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
};

TEST_F(CliLogbook, WithoutALogbookTheListingStillWorksAndSaysSo) {
    const std::vector<Unusable> cases = {
        {"--no-logbook", {"--no-logbook"}, [](const std::string&) {}, ""},
        {"a damaged file", {}, [](const std::string& p) { std::ofstream(p) << "not a database at all"; },
         "this run is not recorded"},
    };
    for (const Unusable& c : cases) {
        std::filesystem::remove(book_);
        c.make(book_);
        const std::string before = read_bytes(book_);
        std::vector<std::string> a = args({"results"});
        a.insert(a.end(), c.extra.begin(), c.extra.end());
        const Outcome r = run_orvypc(a);
        EXPECT_EQ(r.status, 0) << c.what << ": " << r.err;
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
    // Read back by the system's openpyxl (scripts/deps.sh): the nine
    // columns, every row, landscape, one page wide.
    const std::string script =
        "import openpyxl,sys\n"
        "ws=openpyxl.load_workbook(sys.argv[1]).active\n"
        "print([c.value for c in ws[1]]);print(ws.max_row-1)\n"
        // fitToWidth left out of the file is its default, 1.
        "print(ws.page_setup.orientation, ws.page_setup.fitToWidth or 1, ws.page_setup.fitToHeight,"
        " ws.sheet_properties.pageSetUpPr.fitToPage)\n"
        "print(sum(1 for r in ws.iter_rows(min_row=2,values_only=True) if r[4]=='Note'))\n";
    std::ofstream(fx_.file("read.py")) << script;
    const std::string out = fx_.file("read.out");
    ASSERT_EQ(std::system(("/usr/bin/python3 " + fx_.file("read.py") + " " + xlsx + " > " + out).c_str()), 0);
    EXPECT_EQ(read_bytes(out),
              "['Address', 'Name', 'Location', 'Test Date', 'Type', 'Time(min)', 'Result', 'Gateway', 'First Read']\n" +
                  std::to_string(sim_entries(kUnit) + 1) + "\nlandscape 1 0 True\n1\n");
}

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
        EXPECT_NE(s.err.find(round == 0 ? "1 run(s)" : "0 run(s)"), std::string::npos) << s.err;
    }
    auto book = fx_.open(team);
    ASSERT_TRUE(book);
    EXPECT_EQ(book->entry_count(), sim_entries(kUnit));
    EXPECT_EQ(history_lines(team).size(), sim_entries(kUnit));
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

}  // namespace
