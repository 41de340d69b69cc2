// The report on the command line: orvypc run as a process against the
// simulator, its PDF read back by poppler's pdftotext and pdffonts.
#include "cli.h"
#include "cli_commands.h"
#include "cli_logbook.h"
#include "gateway_sim.h"
#include "logbook_fixture.h"
#include "report_content.h"
#include "report_pdf.h"
#include "run_orvypc.h"
#include "sim_data.h"
#include "utf8_text.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

bool poppler_there() { return std::system("pdftotext -v >/dev/null 2>&1 && pdffonts -v >/dev/null 2>&1") == 0; }

// What a poppler tool prints for `pdf`.
std::string poppler(const std::string& tool, const std::string& pdf) {
    const std::string out = pdf + "." + tool + ".txt";
    EXPECT_EQ(std::system((tool + " '" + pdf + "' " + (tool == "pdftotext" ? "-layout '" + out + "'" : "> '" + out + "'"))
                              .c_str()),
              0);
    return slurp(out);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

class CliReport : public testing::Test {
protected:
    void SetUp() override {
        sim_ = std::make_unique<GatewaySim>(demo_config());
        ASSERT_TRUE(sim_->start());
        book_ = fx_.file("logbook.sqlite");
        pdf_ = fx_.file("report.pdf");
    }
    std::vector<std::string> direct(std::vector<std::string> a, const std::string& port = "") const {
        a.insert(a.end(), {"--gateway", "127.0.0.1", "--port", port.empty() ? std::to_string(sim_->port()) : port,
                           "--logbook", book_});
        return a;
    }

    StoreFixture fx_;
    std::unique_ptr<GatewaySim> sim_;
    std::string book_, pdf_;
};

// Every luminaire of the demonstration site has its line, whatever the day;
// the deviations the demonstration data holds are there; every font is in
// the file (the Chinese name's too, which pdftotext reads back).
TEST_F(CliReport, TheDemonstrationReportReadsBackWhole) {
    // A logbook of its own: the demonstration logbook of the build tree keeps
    // what earlier runs recorded.
    const Outcome r = run_orvypc({"report", "--demo", "-o", pdf_, "--logbook", book_});
    if (!report_pdf_available()) {
        EXPECT_EQ(r.status, kExitExport);
        EXPECT_NE(r.err.find(kNoReportPdf), std::string::npos) << r.err;
        return;
    }
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    if (!poppler_there()) GTEST_SKIP() << "pdftotext and pdffonts are missing (scripts/deps.sh --test installs poppler-utils)";

    const std::string text = poppler("pdftotext", pdf_);
    const std::string today = local_now_text().substr(0, 10);
    EXPECT_NE(text.find("Emergency lighting test record"), std::string::npos);
    EXPECT_NE(text.find("127.0.0.1"), std::string::npos);
    EXPECT_NE(text.find(default_report_from(today) + " to " + today), std::string::npos);
    const std::vector<std::string> lines = lines_of(text);
    for (const SimLuminaire& l : demo_luminaires()) {
        const std::string address = (l.unit < 64 ? "A" : "B") + std::to_string(l.unit % 64);
        const std::string name = l.entries.empty() ? "" : utf8(l.name);   // the logbook names it by its tests
        const bool found = std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.rfind(address + " ", 0) == 0 && line.find(name) != std::string::npos;
        });
        EXPECT_TRUE(found) << address << " " << name;
    }
    const std::size_t deviations = text.find("\nDeviations");
    ASSERT_NE(deviations, std::string::npos);
    const std::string listed = text.substr(deviations);
    for (const char* expected : {"B40 Archive", "no duration test within twelve months", "A11", "never tested",
                                 "B0 Office 301", "no function test in"})
        EXPECT_NE(listed.find(expected), std::string::npos) << expected;

    const std::vector<std::string> fonts = lines_of(poppler("pdffonts", pdf_));
    ASSERT_GE(fonts.size(), 4u);   // heading, rule, the text font and the Chinese one
    const std::size_t emb = fonts[0].find("emb");
    for (std::size_t i = 2; i < fonts.size(); ++i) EXPECT_EQ(fonts[i].substr(emb, 3), "yes") << fonts[i];
}

TEST_F(CliReport, RefusesWhatItCannotReportOn) {
    const std::string today = local_now_text().substr(0, 10);
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"report"}, "needs -o FILE"},
        {{"report", "-o", pdf_, "--from", "2026-13-01"}, "--from: '2026-13-01' is not a date"},
        {{"report", "-o", pdf_, "--to", day_after(today)}, "after today"},
        {{"report", "-o", pdf_, "--from", today, "--to", "2020-01-01"}, "before it begins"},
        {{"report", "-o", pdf_, "--from", "2000-01-01"}, "at most 10 years"},
        {{"report", "-o", pdf_, "--no-logbook"}, "--no-logbook"},
        {{"report", "-o", pdf_, "--json"}, "no JSON"},
        {{"report", "-o", pdf_, "A5"}, "'A5'"},
    };
    for (const auto& c : cases) {
        const Outcome r = run_orvypc(direct(c.args));
        EXPECT_EQ(r.status, kExitUsage) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(pdf_));
    EXPECT_TRUE(sim_->received_frames().empty());
}

// A logbook read broken off gives no report at all; a survey that missed a
// luminaire gives one that says so on its cover, and the exit status does.
TEST_F(CliReport, APartialRecordIsNeverPassedAsWhole) {
    if (!report_pdf_available()) GTEST_SKIP() << kNoReportPdf;
    SimFaults f;
    f.unitsMissing = {2};
    sim_->set_faults(f);
    Outcome r = run_orvypc(direct({"report", "-o", pdf_}));
    EXPECT_EQ(r.status, kExitSurveyIncomplete) << r.err;
    EXPECT_NE(r.err.find("the report was written, but the survey"), std::string::npos) << r.err;
    ASSERT_TRUE(std::filesystem::exists(pdf_));
    if (poppler_there()) {
        EXPECT_NE(poppler("pdftotext", pdf_).find("Incomplete: the survey"), std::string::npos);
    }

    // No gateway answers, but one is named: the logbook alone.
    const std::string closed = std::to_string(sim_->port());
    sim_->stop();
    std::filesystem::remove(pdf_);
    r = run_orvypc(direct({"report", "-o", pdf_}, closed));
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.err.find("the report is made from the logbook alone"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(pdf_));

    // The remarks gone from under the program: the period is not read whole.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(book_.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DROP TABLE remarks", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    std::filesystem::remove(pdf_);
    r = run_orvypc(direct({"report", "-o", pdf_}, closed));
    EXPECT_EQ(r.status, kExitLogbook) << r.err;
    EXPECT_NE(r.err.find("could not be read whole"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("no report written"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(pdf_));
}

}  // namespace
