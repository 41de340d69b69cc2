// The orvypc program as a technician runs it: a process against the
// simulator on loopback, its standard output, standard error and exit status.
#include "cli.h"
#include "gateway_sim.h"
#include "run_orvypc.h"
#include "sim_data.h"
#include "test_result_record.h"
#include "utf8_text.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

std::string hex(const std::vector<std::uint8_t>& bytes) {
    std::string s;
    char b[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", bytes[i]);
        s += b;
    }
    return s;
}


std::string address(std::uint8_t unit) {
    return (unit < 64 ? "A" : "B") + std::to_string(unit < 64 ? unit : unit - 64);
}

// The row the gateway's entry should give, worked out from the simulator's
// data rather than from the decoder.
std::string expected_row(const SimLuminaire& l, const SimTestEntry& e, bool firstOfResults) {
    char date[32];
    std::snprintf(date, sizeof date, "%04d/%02d/%02d %02d:%02d:%02d", e.year, e.month, e.day, e.hour, e.minute,
                  e.second);
    const bool dt = e.type == 1;
    const std::string minutes =
        e.minutes == 0xFF || (firstOfResults && !dt) ? "none" : std::to_string(e.minutes);
    const std::string result = e.result == 1 ? "OK" : e.result == 0xFF ? "FAIL" : "NULL";
    return address(l.unit) + "\t" + utf8(l.name) + "\t" + utf8(l.location) + "\t" + date + "\t" + (dt ? "DT" : "FT") +
           "\t" + minutes + "\t" + result;
}

const char* kHeader = "Address\tName\tLocation\tTest Date\tType\tTime(min)\tResult";

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        sim_ = std::make_unique<GatewaySim>(demo_config());
        ASSERT_TRUE(sim_->start());
        port_ = std::to_string(sim_->port());
    }
    std::vector<std::string> direct(std::vector<std::string> args) const {
        args.insert(args.end(), {"--gateway", "127.0.0.1", "--port", port_});
        return args;
    }
    void faults(const std::function<void(SimFaults&)>& edit) {
        SimFaults f = sim_->faults();
        edit(f);
        sim_->set_faults(f);
    }
    std::vector<std::vector<std::uint8_t>> requests_of(std::uint8_t cmd) const {
        std::vector<std::vector<std::uint8_t>> out;
        for (const auto& f : sim_->received_frames())
            if (f.size() > 14 && f[14] == cmd) out.push_back(f);
        return out;
    }
    std::unique_ptr<GatewaySim> sim_;
    std::string port_;
};

TEST_F(Cli, ScanFindsTheGatewayByLoopbackBroadcast) {
    const Outcome r = run_orvypc({"scan", "--broadcast", "127.255.255.255", "--port", port_});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "127.0.0.1\n");

    const Outcome json = run_orvypc({"scan", "--broadcast", "127.255.255.255", "--port", port_, "--json"});
    EXPECT_EQ(nlohmann::json::parse(json.out), nlohmann::json::array({"127.0.0.1"}));
}

TEST_F(Cli, ScanListsEveryGatewayThatAnswersFirstAnswerFirst) {
    faults([](SimFaults& f) { f.extraGateways = 2; });
    const Outcome r = run_orvypc({"scan", "--broadcast", "127.255.255.255", "--port", port_});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "127.0.0.1\n127.0.0.2\n127.0.0.3\n");
}

TEST_F(Cli, NoGatewayIsExitTwoWithTheStatusLine) {
    sim_->stop();
    const Outcome r = run_orvypc({"scan", "--broadcast", "127.255.255.255", "--port", port_});
    EXPECT_EQ(r.status, kExitNoLink);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err, "");
    const Outcome viaDirect = run_orvypc(this->direct({"results"}));
    EXPECT_EQ(viaDirect.status, kExitNoLink);
    EXPECT_NE(viaDirect.err.find("create tcp socket fails!"), std::string::npos) << viaDirect.err;
}

TEST_F(Cli, StatusRequestOnTheWireAndItsSeventyFourItems) {
    const Outcome r = run_orvypc(direct({"status", "A5"}));
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const auto status = requests_of(0x21);
    ASSERT_EQ(status.size(), 1U);
    EXPECT_EQ(hex(status[0]), "A5 6C 14 00 01 00 00 00 00 00 00 00 00 00 21 41 05 8D 01 AE");

    const auto lines = r.lines();
    ASSERT_EQ(lines.size(), 74U);
    EXPECT_EQ(lines.front().rfind("Status\tReady\t", 0), 0U);
    EXPECT_EQ(lines.back().rfind("Faults\tDuration test failed\t", 0), 0U);
    for (const auto& line : lines) EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 2) << line;
    EXPECT_EQ(r.err, "");

    sim_->clear_received_frames();
    ASSERT_EQ(run_orvypc(direct({"status", "b63"})).status, kExitOk);
    ASSERT_EQ(requests_of(0x21).size(), 1U);
    EXPECT_EQ(requests_of(0x21)[0][16], 127);
}

TEST_F(Cli, StatusAsJsonHoldsTheSameItems) {
    const Outcome text = run_orvypc(direct({"status", "B0"}));
    const Outcome json = run_orvypc(direct({"status", "B0", "--json"}));
    ASSERT_EQ(json.status, kExitOk) << json.err;
    const auto doc = nlohmann::json::parse(json.out);
    EXPECT_EQ(doc.at("address"), "B0");
    EXPECT_EQ(doc.at("line"), "B");
    EXPECT_EQ(doc.at("short_address"), 0);
    EXPECT_EQ(doc.at("complete"), true);
    const auto lines = text.lines();
    ASSERT_EQ(doc.at("items").size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& item = doc.at("items")[i];
        EXPECT_EQ(item.at("section").get<std::string>() + "\t" + item.at("item").get<std::string>() + "\t" +
                      item.at("value").get<std::string>(),
                  lines[i]);
        ASSERT_TRUE(item.at("raw").is_number()) << item.dump();
    }
}

TEST_F(Cli, RefusalsAndFailuresOfTheStatusQuery) {
    struct Case {
        const char* name;
        std::function<void(SimFaults&)> fault;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"unit missing", [](SimFaults& f) { f.unitsMissing = {5}; }, kExitRefused, "Current ID not exist!\n"},
        {"DALI busy", [](SimFaults& f) { f.unitsBusy = {5}; }, kExitRefused, "DALI Busy, please try again later!\n"},
        {"other unit", [](SimFaults& f) { f.wrongUnitEcho = true; }, kExitRefused,
         "Network exception, please reconnect\n"},
        {"other command", [](SimFaults& f) { f.wrongCommandEcho = true; }, kExitRefused,
         "orvypc: the gateway refused the status request\n"},
        {"bad sum", [](SimFaults& f) { f.badChecksum = true; }, kExitNoLink,
         "orvypc: no valid status reply from the gateway\n"},
        {"no answer", [](SimFaults& f) { f.dropReplies = true; }, kExitNoLink,
         "orvypc: no valid status reply from the gateway\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim_->set_faults({});
        faults(c.fault);
        const Outcome r = run_orvypc(direct({"status", "A5", "--timeout", "300"}));
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.message);
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(Cli, ResultsListEveryLuminaireWithAStoredTest) {
    const Outcome r = run_orvypc(direct({"results"}));
    ASSERT_EQ(r.status, kExitOk) << r.err;
    std::vector<std::string> expected{kHeader};
    for (const SimLuminaire& l : demo_luminaires()) {
        if (l.entries.empty()) continue;
        expected.push_back(expected_row(l, l.entries.back(), expected.size() == 1));
    }
    EXPECT_GE(expected.size(), 16U);
    EXPECT_EQ(r.lines(), expected);
    EXPECT_EQ(r.err, "");
}

TEST_F(Cli, DetailsNewestReceivedFirst) {
    const auto all = demo_luminaires();
    const SimLuminaire& l = *std::find_if(all.begin(), all.end(), [](const SimLuminaire& x) { return x.unit == 66; });
    ASSERT_GE(l.entries.size(), 3U);
    const Outcome r = run_orvypc(direct({"details", "b2"}));
    ASSERT_EQ(r.status, kExitOk) << r.err;
    std::vector<std::string> expected{kHeader};
    for (auto e = l.entries.rbegin(); e != l.entries.rend(); ++e) expected.push_back(expected_row(l, *e, false));
    EXPECT_EQ(r.lines(), expected);

    // The first request names the unit, each follow-up too.
    const auto requests = requests_of(0x15);
    ASSERT_EQ(requests.size(), l.entries.size() + 1);
    EXPECT_EQ(requests[0][15], 66);
    for (std::size_t i = 1; i < requests.size(); ++i) EXPECT_EQ(hex({requests[i].begin() + 15, requests[i].begin() + 19}), "00 42 00 00");
}

TEST_F(Cli, DetailsOfALuminaireWithoutEntriesIsAnEmptyList) {
    const Outcome r = run_orvypc(direct({"details", "A11"}));
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, std::string(kHeader) + "\n");
    EXPECT_EQ(requests_of(0x15).size(), 1U);   // no follow-up after the end mark
}

// The JSON entry as the TSV row would show it: the same data, made for
// scripts (ISO dates, numbers, plain words).
std::string row_from_json(const nlohmann::json& e, bool firstOfResults) {
    std::string date = e.at("tested_at").get<std::string>();
    for (char& c : date) c = c == '-' ? '/' : c == 'T' ? ' ' : c;
    const bool dt = e.at("type") == "duration";
    const std::string minutes = e.at("minutes").is_null() || (firstOfResults && !dt)
                                    ? "none"
                                    : std::to_string(e.at("minutes").get<int>());
    const std::string result = e.at("result").is_null() ? "NULL" : e.at("result") == "passed" ? "OK" : "FAIL";
    EXPECT_EQ(e.at("address").get<std::string>(),
              e.at("line").get<std::string>() + std::to_string(e.at("short_address").get<int>()));
    return e.at("address").get<std::string>() + "\t" + e.at("name").get<std::string>() + "\t" +
           e.at("location").get<std::string>() + "\t" + date + "\t" + (dt ? "DT" : "FT") + "\t" + minutes + "\t" +
           result;
}

TEST_F(Cli, ListingsAsJsonMatchTheTextRows) {
    for (const std::vector<std::string>& cmd : {std::vector<std::string>{"results"}, {"details", "A1"}}) {
        const Outcome text = run_orvypc(direct(cmd));
        auto args = cmd;
        args.push_back("--json");
        const Outcome json = run_orvypc(direct(args));
        ASSERT_EQ(json.status, kExitOk) << json.err;
        const auto doc = nlohmann::json::parse(json.out);
        EXPECT_EQ(doc.at("format"), 1);
        EXPECT_EQ(doc.at("command"), cmd[0]);
        EXPECT_EQ(doc.at("complete"), true);
        EXPECT_TRUE(doc.at("reason").is_null());
        const auto lines = text.lines();
        ASSERT_EQ(doc.at("entries").size() + 1, lines.size());
        for (std::size_t i = 0; i < doc.at("entries").size(); ++i)
            EXPECT_EQ(row_from_json(doc.at("entries")[i], cmd[0] == "results" && i == 0), lines[i + 1]);
    }
}

// A tab or a line feed in a name must not shift the columns or split the row.
TEST_F(Cli, TsvFieldsEscapeTabsLineFeedsAndBackslashes) {
    SimConfig config;
    SimLuminaire lum;
    lum.unit = 3;
    lum.name = u"Exit\tdoor\\2";
    lum.location = u"Stair\nwell";
    lum.entries.push_back(SimTestEntry{});
    config.luminaires = {lum};
    GatewaySim sim(config);
    ASSERT_TRUE(sim.start());
    const Outcome r = run_orvypc({"results", "--gateway", "127.0.0.1", "--port", std::to_string(sim.port())});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const auto lines = r.lines();
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[1].rfind("A3\tExit\\tdoor\\\\2\tStair\\nwell\t", 0), 0U) << lines[1];
    EXPECT_EQ(std::count(lines[1].begin(), lines[1].end(), '\t'), 6);
}

TEST_F(Cli, TraceLinesOnlyWhenAskedFor) {
    const Outcome quiet = run_orvypc(direct({"results"}));
    EXPECT_EQ(quiet.out.find("查询完毕"), std::string::npos);
    const Outcome traced = run_orvypc(direct({"results", "--trace"}));
    EXPECT_NE(traced.out.find("send 第一条查询指令 ok\n"), std::string::npos);
    EXPECT_NE(traced.out.find("查询完毕！\n"), std::string::npos);
    EXPECT_NE(traced.out.find(kHeader), std::string::npos);
}

TEST_F(Cli, ListingFailuresKeepTheRowsAndSetTheExitStatus) {
    // A gateway that stops answering: the list so far, and the reason.
    faults([](SimFaults& f) { f.dropReplies = true; });
    const Outcome silent = run_orvypc(direct({"results", "--timeout", "300", "--retries", "1"}));
    EXPECT_EQ(silent.status, kExitIncomplete);
    EXPECT_EQ(silent.out, std::string(kHeader) + "\n");
    EXPECT_EQ(silent.err,
              "orvypc: the list is incomplete: no whole reply came within the time-out (also after 1 retries); "
              "0 rows printed\n");

    sim_->set_faults({});
    faults([](SimFaults& f) { f.badChecksum = true; });
    const Outcome sum = run_orvypc(direct({"results", "--json", "--retries", "0"}));
    EXPECT_EQ(sum.status, kExitIncomplete);
    const auto doc = nlohmann::json::parse(sum.out);
    EXPECT_EQ(doc.at("complete"), false);
    EXPECT_EQ(doc.at("reason"), "a reply failed its checksum");
    EXPECT_TRUE(doc.at("entries").empty());

    sim_->set_faults({});
    faults([](SimFaults& f) { f.wrongCommandEcho = true; });
    const Outcome other = run_orvypc(direct({"results", "--retries", "0"}));
    EXPECT_EQ(other.status, kExitRefused);
    EXPECT_EQ(other.err,
              "Network exception, please reconnect\n"
              "orvypc: the list is incomplete: the gateway answered another request; 0 rows printed\n");

    // One reply lost: the retry on a fresh connection gets the whole list.
    sim_->set_faults({});
    const Outcome healthy = run_orvypc(direct({"results"}));
    faults([](SimFaults& f) {
        f.garbleReply = true;
        f.onReply = 4;
    });
    const int connections = sim_->connections_accepted();
    const Outcome retried = run_orvypc(direct({"results"}));
    EXPECT_EQ(retried.status, kExitOk) << retried.err;
    EXPECT_EQ(retried.out, healthy.out);
    EXPECT_EQ(retried.err, "");
    // The first run, the fresh connection after the garbled reply (which
    // ends that run), and the retry's.
    EXPECT_EQ(sim_->connections_accepted(), connections + 3);
}

TEST_F(Cli, UsageErrorsNameTheArgument) {
    struct Case {
        std::vector<std::string> args;
        const char* named;
    };
    const Case cases[] = {
        {{"status", "C5"}, "'C5'"},       {{"status", "A64"}, "'A64'"},     {{"details", "A-1"}, "'A-1'"},
        {{"status"}, "status needs"},     {{"details", "A1", "A2"}, "'A2'"}, {{"results", "A1"}, "'A1'"},
        {{"reslts"}, "'reslts'"},          {{"results", "--port", "x"}, "'x'"}, {{"results", "--port"}, "--port"},
        {{"results", "-o"}, "'-o'"},      {{"scan", "--broadcast", "1.2.3"}, "'1.2.3'"},
    };
    for (const Case& c : cases) {
        const Outcome r = run_orvypc(c.args);
        EXPECT_EQ(r.status, kExitUsage) << c.named;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_TRUE(sim_->received_frames().empty());   // nothing was sent
}

// The built-in demonstration gateway serves the front end too.
TEST_F(Cli, DemoGatewayAnswersTheSubCommands) {
    const Outcome r = run_orvypc({"results", "--demo"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_GE(r.lines().size(), 2U);
    EXPECT_EQ(r.lines().front(), kHeader);
}

TEST_F(Cli, HelpShowsEveryCommandWithAnExample) {
    const Outcome r = run_orvypc({"--help"});
    EXPECT_EQ(r.status, kExitOk);
    for (const char* example : {"orvypc scan", "orvypc status A5", "orvypc results", "orvypc details B3"})
        EXPECT_NE(r.out.find(example), std::string::npos) << example;
    for (const char* option :
         {"--gateway", "--broadcast", "--port", "--timeout", "--demo", "--json", "--trace", "--help", "--version"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
    const Outcome v = run_orvypc({"--version"});
    EXPECT_EQ(v.status, kExitOk);
    EXPECT_EQ(v.out.rfind("orvypc ", 0), 0U);
}

}  // namespace

namespace {

// -o writes the workbook instead of printing: read back with an independent
// reader (openpyxl), its data cells must be the rows the same command prints.
class CliWorkbook : public Cli {
protected:
    void SetUp() override {
        Cli::SetUp();
        dir_ = std::filesystem::temp_directory_path() / ("orvypc-cli-o-" + std::to_string(test_process_id()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // The text cells of the first sheet from row `firstRow` on, each row's
    // non-empty cells joined by tabs (numbers as integers).
    static std::vector<std::string> sheet_rows(const std::string& file, int firstRow) {
        const std::string script = std::string(
            "import sys, openpyxl\n"
            "ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
            "for row in ws.iter_rows(min_row=int(sys.argv[2]), values_only=True):\n"
            "    cells = ['%d' % c if isinstance(c, (int, float)) else c for c in row if c is not None]\n"
            "    if cells: print('\\t'.join(cells))\n");
        const std::string scriptPath = file + ".py";
        std::ofstream(scriptPath) << script;
        const std::string outPath = file + ".rows";
        const std::string cmd = "/usr/bin/python3 '" + scriptPath + "' '" + file + "' " + std::to_string(firstRow) +
                                " > '" + outPath + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        std::vector<std::string> rows;
        std::istringstream in(slurp(outPath));
        for (std::string line; std::getline(in, line);) rows.push_back(line);
        return rows;
    }

    std::filesystem::path dir_;
};

TEST_F(CliWorkbook, ResultsWorkbookHoldsThePrintedRowsAndNothingIsPrinted) {
    const Outcome printed = run_orvypc(direct({"results"}));
    ASSERT_EQ(printed.status, kExitOk) << printed.err;
    const std::string file = (dir_ / "results.xlsx").string();
    const Outcome written = run_orvypc(direct({"results", "-o", file}));
    ASSERT_EQ(written.status, kExitOk) << written.err;
    EXPECT_EQ(written.out, "");
    EXPECT_EQ(written.err, "");

    std::vector<std::string> lines = printed.lines();   // header, then rows
    const std::vector<std::string> cells = sheet_rows(file, 1);
    // The sheet holds a title and the heading row above the data rows; the
    // printed rows must be its last rows, in order.
    ASSERT_GE(cells.size(), lines.size());
    const std::vector<std::string> tail(cells.end() - static_cast<long>(lines.size()) + 1, cells.end());
    EXPECT_EQ(tail, std::vector<std::string>(lines.begin() + 1, lines.end()));
}

TEST_F(CliWorkbook, StatusAndDetailsWorkbooksAreWritten) {
    const std::string status = (dir_ / "a5.xlsx").string();
    const Outcome s = run_orvypc(direct({"status", "A5", "-o", status}));
    ASSERT_EQ(s.status, kExitOk) << s.err;
    EXPECT_EQ(s.out, "");
    EXPECT_FALSE(sheet_rows(status, 1).empty());

    // A folder: the workbook takes the proposed name inside it.
    const Outcome d = run_orvypc(direct({"details", "B3", "-o", dir_.string() + "/"}));
    ASSERT_EQ(d.status, kExitOk) << d.err;
    bool found = false;
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
        found |= entry.path().filename().string().rfind("B3 Test Details_", 0) == 0;
    EXPECT_TRUE(found);
}

TEST_F(CliWorkbook, FailuresWriteNoWorkbook) {
    const std::string unwritable = (dir_ / "no-such-folder" / "r.xlsx").string();
    const Outcome r = run_orvypc(direct({"results", "-o", unwritable}));
    EXPECT_EQ(r.status, kExitExport);
    EXPECT_NE(r.err, "");
    EXPECT_FALSE(std::filesystem::exists(unwritable));

    // A listing cut short by the link is no test record: exit 5, the rows
    // it got on standard output, no file.
    faults([](SimFaults& f) { f.closeAfterReplies = 3; });
    const std::string partial = (dir_ / "partial.xlsx").string();
    const Outcome p = run_orvypc(direct({"results", "-o", partial}));
    EXPECT_EQ(p.status, kExitIncomplete) << p.err;
    EXPECT_NE(p.err.find("no workbook written"), std::string::npos) << p.err;
    EXPECT_EQ(p.lines().size(), 4U) << p.out;   // the heading and three rows
    EXPECT_FALSE(std::filesystem::exists(partial));

    // A refused status query: exit 3, no file.
    faults([](SimFaults& f) {
        f.closeAfterReplies = -1;
        f.unitsBusy = {5};
    });
    const std::string busy = (dir_ / "busy.xlsx").string();
    EXPECT_EQ(run_orvypc(direct({"status", "A5", "-o", busy})).status, kExitRefused);
    EXPECT_FALSE(std::filesystem::exists(busy));

    EXPECT_EQ(run_orvypc(direct({"scan", "-o", partial})).status, kExitUsage);
    EXPECT_EQ(run_orvypc(direct({"results", "-o"})).status, kExitUsage);
}

// The survey: one line per luminaire and a summary, exit 0 when all was
// read; a luminaire not read is listed as such and the exit status says so.
TEST_F(Cli, SurveyListsEveryLuminaireAndSaysWhatWasNotRead) {
    const std::size_t count = demo_luminaires().size();
    struct Case {
        const char* name;
        void (*faults)(SimFaults&);
        int status;
        const char* a2Verdict;   // A2's latest function test failed
    };
    const Case cases[] = {
        {"all read", [](SimFaults&) {}, kExitOk, "fault"},
        {"A2 missing", [](SimFaults& f) { f.unitsMissing = {2}; }, 6, "not read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        faults(c.faults);
        const Outcome r = run_orvypc(direct({"survey"}));
        EXPECT_EQ(r.status, c.status) << r.err;
        const auto lines = r.lines();
        ASSERT_EQ(lines.size(), count + 1);
        EXPECT_EQ(lines[2].substr(0, lines[2].find('\t', 3)), std::string("A2\t") + c.a2Verdict) << lines[2];
        EXPECT_EQ(lines.back().rfind(std::to_string(count) + " luminaires: ", 0), 0u) << lines.back();
        EXPECT_EQ(r.err.find("incomplete") != std::string::npos, c.status != kExitOk) << r.err;
    }
}

TEST_F(CliWorkbook, SurveyJsonWorkbookAndEveryGateway) {
    const Outcome json = run_orvypc(direct({"survey", "--json"}));
    ASSERT_EQ(json.status, kExitOk) << json.err;
    const auto j = nlohmann::json::parse(json.out);
    EXPECT_EQ(j.at("complete"), true);
    EXPECT_EQ(j.at("luminaires").size(), demo_luminaires().size());

    const std::string file = (dir_ / "site.xlsx").string();
    const Outcome o = run_orvypc(direct({"survey", "-o", file}));
    EXPECT_EQ(o.status, kExitOk) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_TRUE(std::filesystem::is_regular_file(file));

    // A second gateway answers discovery but takes no connection: surveyed
    // in turn, reported as not read, and the exit status says so.
    faults([](SimFaults& f) { f.extraGateways = 1; });
    const Outcome all = run_orvypc({"survey", "--all-gateways", "--json", "--broadcast", "127.255.255.255",
                                    "--port", port_, "--timeout", "2000"});
    EXPECT_EQ(all.status, 6) << all.err;
    const auto list = nlohmann::json::parse(all.out);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].at("complete"), true);
    EXPECT_EQ(list[1].at("gateway"), "127.0.0.2");
    EXPECT_EQ(list[1].at("complete"), false);
}

}  // namespace
