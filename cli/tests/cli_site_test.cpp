// Sites and repairs on the command line: orvypc run as a process against
// simulators on loopback, recording into a SQLite logbook read back through
// the logbook's interface, and its report read back by pdftotext.
#include "cli.h"
#include "cli_logbook.h"
#include "gateway_sim.h"
#include "logbook_fixture.h"
#include "report_content.h"
#include "report_pdf.h"
#include "run_orvypc.h"
#include "prompts.h"
#include "sim_data.h"
#include "site_choice.h"
#include "sites.h"

#include <nlohmann/json.hpp>

#include <cstdlib>

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

std::string date_of(sys_days day) {
    const year_month_day d{day};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(d.year()), static_cast<unsigned>(d.month()),
                  static_cast<unsigned>(d.day()));
    return text;
}

SimTestEntry function_test(sys_days day, std::uint8_t hour, std::uint8_t result, std::uint16_t offset) {
    const year_month_day d{day};
    SimTestEntry e;
    e.year = static_cast<std::uint16_t>(static_cast<int>(d.year()));
    e.month = static_cast<std::uint8_t>(static_cast<unsigned>(d.month()));
    e.day = static_cast<std::uint8_t>(static_cast<unsigned>(d.day()));
    e.hour = hour;
    e.result = result;
    e.minutes = 1;
    e.offset = offset;
    return e;
}

// The demonstration luminaires as another building has them: the same
// units and tests, other names and places.
SimConfig other_building(std::uint16_t port) {
    SimConfig c = demo_config();
    c.port = port;
    for (SimLuminaire& l : c.luminaires) {
        l.name = u"Depot " + std::u16string(1, static_cast<char16_t>(u'A' + l.unit % 26));
        l.location = u"Warehouse";
    }
    return c;
}

class CliSites : public testing::Test {
protected:
    void SetUp() override { book_ = fx_.file("logbook.sqlite"); }
    Outcome run(std::vector<std::string> a, const std::string& gateway = "", std::uint16_t port = 0) {
        if (!gateway.empty()) a.insert(a.end(), {"--gateway", gateway, "--port", std::to_string(port)});
        a.insert(a.end(), {"--logbook", book_});
        return run_orvypc(a);
    }
    std::vector<Site> sites() {
        auto book = fx_.open(book_);
        const auto read = book ? book->sites() : std::nullopt;
        EXPECT_TRUE(read);
        return read.value_or(std::vector<Site>{});
    }
    std::size_t entries_of(const Site& site) {
        auto book = fx_.open(book_);
        std::size_t n = 0;
        for (const HistoryItem& h : book->site_history(site.uid, "").items) n += h.isRemark ? 0 : 1;
        return n;
    }

    StoreFixture fx_;
    std::string book_;
};

std::size_t demo_entries() {
    std::size_t n = 0;
    for (const SimLuminaire& l : demo_luminaires()) n += l.entries.size();
    return n;
}

// Two gateways of different buildings at one address and port, one after
// the other: two sites, each with its own entries (the same tests, in
// each). The first gateway at another address: still its site, nothing
// doubled.
TEST_F(CliSites, TwoGatewaysAtOneAddressAreTwoSitesAndAGatewayMovedStaysItsSite) {
    auto first = std::make_unique<GatewaySim>(demo_config());
    ASSERT_TRUE(first->start());
    const std::uint16_t port = first->port();
    Outcome r = run({"survey"}, "127.0.0.1", port);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    first->stop();

    auto second = std::make_unique<GatewaySim>(other_building(port));
    ASSERT_TRUE(second->start());
    r = run({"survey"}, "127.0.0.1", port);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string newName = "127.0.0.1 " + local_now_text().substr(0, 10);
    for (const std::string& said : std::vector<std::string>{"is not the one of the site \"127.0.0.1\"", " of 26 luminaires differ",
                                   "recorded as a new site \"" + newName + "\"",
                                   "orvypc site name \"NAME\" --site \"" + newName + "\""})
        EXPECT_NE(r.err.find(said), std::string::npos) << said << "\n" << r.err;
    second->stop();
    ASSERT_EQ(run({"site", "name", "Depot", "--site", newName}).status, 0);

    SimConfig moved = demo_config();
    moved.bindAddress = "127.0.0.2";
    auto again = std::make_unique<GatewaySim>(moved);
    ASSERT_TRUE(again->start());
    r = run({"survey"}, "127.0.0.2", again->port());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "") << "recognised by what it holds";

    const std::vector<Site> known = sites();
    ASSERT_EQ(known.size(), 2u);
    const Site& home = known[0];
    const Site& depot = known[1];
    EXPECT_EQ(home.name, "127.0.0.1");
    EXPECT_EQ(depot.name, "Depot");
    ASSERT_EQ(home.addresses.size(), 2u);
    EXPECT_EQ(latest_address(home), "127.0.0.2");
    EXPECT_EQ(entries_of(home), demo_entries());
    EXPECT_EQ(entries_of(depot), demo_entries());
    const Outcome listed = run({"site", "list"});
    EXPECT_NE(listed.out.find("127.0.0.1\t127.0.0.1, 127.0.0.2\t26\t"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("Depot\t127.0.0.1\t26\t"), std::string::npos) << listed.out;
    // Each history is its site's alone.
    for (const auto& [site, named] : {std::pair{"Depot", "Depot "}, std::pair{"127.0.0.1", "Stair 1 exit"}}) {
        const Outcome h = run({"history", "A0", "--site", site}, "127.0.0.9", port);
        const std::vector<std::string> lines = h.lines();
        ASSERT_GT(lines.size(), 1u) << h.err;
        for (std::size_t i = 1; i < lines.size(); ++i) EXPECT_NE(lines[i].find(named), std::string::npos) << lines[i];
    }
}

// A failure, a repair the morning after, a passing re-test the day after:
// the report links them ("re-tested OK") and the history shows the repair
// in its place, with its part.
TEST_F(CliSites, ARepairAfterAFailureShowsRepairedAndReTestedInTheReportAndTheHistory) {
    const sys_days failed = demo_today() - days{10};
    SimConfig c = demo_config();
    SimLuminaire& a0 = c.luminaires.at(0);
    a0.entries = {function_test(failed - days{28}, 1, 1, 0), function_test(failed, 1, 0xFF, 1),
                  function_test(failed + days{2}, 10, 1, 2)};
    GatewaySim sim(c);
    ASSERT_TRUE(sim.start());
    ASSERT_EQ(run({"survey"}, "127.0.0.1", sim.port()).status, 0);
    {
        auto book = fx_.open(book_);
        const auto known = book->sites();
        ASSERT_TRUE(known && known->size() == 1u);
        Remark repair{"r1", "127.0.0.1", 0, date_of(failed + days{1}) + " 09:30:00", "tech", "battery replaced",
                      known->front().uid, kRemarkRepair, "battery"};
        ASSERT_TRUE(book->add_remark(repair)) << book->error();
    }
    const Outcome h = run({"history", "A0"}, "127.0.0.1", sim.port());
    ASSERT_EQ(h.status, 0) << h.err;
    const std::vector<std::string> lines = h.lines();
    ASSERT_EQ(lines.size(), 5u) << h.out;
    EXPECT_NE(lines[2].find("\tRepair\t\tbattery: battery replaced (tech)\t"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("\tFAIL\t"), std::string::npos) << lines[3];
    const auto json = nlohmann::json::parse(run({"history", "A0", "--json"}, "127.0.0.1", sim.port()).out);
    EXPECT_EQ(json["entries"][1]["kind"], "repair");
    EXPECT_EQ(json["entries"][1]["part"], "battery");

    if (!report_pdf_available()) GTEST_SKIP() << kNoReportPdf;
    const std::string pdf = fx_.file("report.pdf");
    ASSERT_EQ(run({"report", "-o", pdf}, "127.0.0.1", sim.port()).status, 0);
    if (std::system("pdftotext -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext is missing";
    const std::string text = fx_.file("report.txt");
    ASSERT_EQ(std::system(("pdftotext -layout '" + pdf + "' '" + text + "'").c_str()), 0);
    const std::string words = slurp(text);
    const std::size_t defects = words.find("\nDefects and repairs");
    ASSERT_NE(defects, std::string::npos);
    const std::string section = words.substr(defects);
    for (const std::string& said : std::vector<std::string>{date_of(failed), "battery: battery replaced", "re-tested OK " + date_of(failed + days{2})})
        EXPECT_NE(section.find(said), std::string::npos) << said << "\n" << section.substr(0, 1500);
}

TEST_F(CliSites, SiteNamesAndRepairsAreCheckedBeforeAnythingIsStored) {
    GatewaySim sim(demo_config());
    ASSERT_TRUE(sim.start());
    ASSERT_EQ(run({"results"}, "127.0.0.1", sim.port()).status, 0);
    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {{"logbook", "repair", "A0", "lamp changed", "--part", "wheel"}, kExitUsage, "not a part"},
        {{"logbook", "repair", "A0"}, kExitUsage, "logbook repair needs"},
        {{"logbook", "note", "A0", "checked", "--part", "lamp"}, kExitUsage, "only logbook repair"},
        {{"site", "name", " "}, kExitUsage, "the site's name is empty"},
        {{"site", "name", "X", "--site", "nowhere"}, kExitUsage, "no site named \"nowhere\""},
#ifndef _WIN32
        {{"site", "name", "Pr\xfc" "fung"}, kExitUsage, "not UTF-8 text"},
        {{"results", "--site", "Pr\xfc" "fung"}, kExitUsage, "--site: the site's name is not UTF-8"},
#endif
        {{"logbook", "repair", "A0", "lamp changed", "--part", "lamp"}, kExitOk, ""},
        {{"site", "name", "Hospital West", "--site", "127.0.0.1"}, kExitOk, ""},
        {{"logbook", "repair", "A0", "battery replaced", "--site", "Hospital West"}, kExitOk, ""},
    };
    for (const auto& c : cases) {
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.args[1] << ": " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    auto book = fx_.open(book_);
    const auto known = book->sites();
    ASSERT_TRUE(known && known->size() == 1u);
    EXPECT_EQ(known->front().name, "Hospital West");
    std::vector<std::string> repairs;
    for (const HistoryItem& h : book->history(known->front().uid, 0, "").items) {
        if (h.isRemark) repairs.push_back(h.remark.kind + " " + h.remark.part + " " + h.remark.text);
    }
    EXPECT_EQ(repairs, (std::vector<std::string>{"repair  battery replaced", "repair lamp lamp changed"}));
}

// The window's answer to "Which site is this?" when another gateway is found
// at a site's address: the site chosen, a new one, or (cancelled) a new one
// that the note tells how to name.
class AnsweringPrompts final : public Prompts {
public:
    void message_box(const std::string&) override {}
    void set_status_line(const std::string&) override {}
    std::optional<std::size_t> ask_choice(const std::string& text, const std::vector<std::string>& options) override {
        asked = text;
        offered = options;
        return answer;
    }
    std::optional<std::size_t> answer;
    std::string asked;
    std::vector<std::string> offered;
};

TEST_F(CliSites, TheWindowsAnswerChoosesTheSite) {
    const auto found = [](const char* name) {
        GatewayFound f{"10.0.0.7", {}, true};
        for (std::uint8_t u = 0; u < 6; ++u) f.luminaires.push_back({u, name + std::to_string(u), "Hall"});
        return f;
    };
    const struct {
        const char* what;
        std::optional<std::size_t> answer;
        bool sameSite, note;
    } cases[] = {
        {"the known site chosen", 0, true, false},
        {"a new site chosen", 1, false, false},
        {"cancelled", std::nullopt, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto book = fx_.open(fx_.new_store(StoreKind::Sqlite));
        ASSERT_TRUE(book);
        const SiteChoice first = choose_site(*book, found("Exit "), "");
        ASSERT_TRUE(first.site) << first.note;
        AnsweringPrompts window;
        window.answer = c.answer;
        set_prompts(&window);
        const SiteChoice second = choose_site(*book, found("Depot "), "");
        set_prompts(nullptr);
        ASSERT_TRUE(second.site) << second.note;
        EXPECT_NE(window.asked.find("is not the one of the site \"10.0.0.7\""), std::string::npos) << window.asked;
        EXPECT_EQ(window.offered.size(), 2U);
        EXPECT_EQ(second.site->uid == first.site->uid, c.sameSite);
        EXPECT_EQ(!second.note.empty(), c.note) << second.note;
        EXPECT_EQ(book->sites()->size(), c.sameSite ? 1U : 2U);
    }
}

}  // namespace
