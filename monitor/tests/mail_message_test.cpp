// The e-mail as this program writes it: its lines, and what an independent
// reader (python's email module) makes of it; the subjects and tables of
// the alerts.
#include "alert_mail.h"
#include "mail_message.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr std::time_t kWhen = 1'800'000'000;

// Every byte value, twice, for the attachment.
std::string all_bytes() {
    std::string out;
    for (int round = 0; round < 2; ++round)
        for (int b = 0; b < 256; ++b) out += static_cast<char>(b);
    return out;
}

MailMessage awkward_message() {
    MailMessage m;
    m.from = "orvypc@example.org";
    m.to = {"tech@example.org", "facilities.manager@example.org", "night-shift@example.org"};
    m.subject = "OrvyPc: 2 new faults at 北京协和医院 西区 急诊楼 地下二层 停车场 出口通道";
    m.date = kWhen;
    m.messageId = "<0123456789abcdef.alert@example.org>";
    m.text = "A1  走廊 东, Level 3: Battery fault\n"
             ".a line that starts with a dot\n"
             "From the gateway, a line that starts like an mbox separator\n"
             "trailing blanks   \n"
             "a very long line " + std::string(150, 'x') + " end\n"
             "a = sign, a\ttab, a \x01 control, bad UTF-8 \xC3\x28 and \xE9 here\n";
    m.html = "<p>A1 <b>走廊</b> &amp; more</p>\n";
    m.attachments.push_back({"Site survey_2026-12-09 10.00.00.xlsx", "application/octet-stream", all_bytes()});
    return m;
}

TEST(MailMessage, EveryLineEndsWithCrlfFitsAndNoneStartsWithADot) {
    const std::string raw = compose_mail(awkward_message());
    ASSERT_GE(raw.size(), 2U);
    EXPECT_EQ(raw.substr(raw.size() - 2), "\r\n");
    std::size_t start = 0;
    while (start < raw.size()) {
        const std::size_t end = raw.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = raw.substr(start, end - start);
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        EXPECT_EQ(line.find('\r'), std::string::npos) << line;
        EXPECT_LE(line.size(), 78U) << line;
        EXPECT_FALSE(!line.empty() && line[0] == '.') << line;
        for (const char c : line) EXPECT_LT(static_cast<unsigned char>(c), 0x80) << line;
        start = end + 2;
    }
}

TEST(MailMessage, TheSameAlertComposesTheSameBytes) {
    EXPECT_EQ(compose_mail(awkward_message()), compose_mail(awkward_message()));
}

#ifndef _WIN32
nlohmann::json python_reads(const std::string& raw) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("orvypc-mail-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".eml");
    std::ofstream(file, std::ios::binary) << raw;
    const std::string command = "/usr/bin/python3 " ORVYPC_MAIL_SUMMARY " '" + file.string() + "'";
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        while (const std::size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        pclose(p);
    }
    std::filesystem::remove(file);
    return nlohmann::json::parse(out, nullptr, false);
}

TEST(MailMessage, PythonsEmailReaderReadsWhatWasMeant) {
    const MailMessage m = awkward_message();
    const nlohmann::json j = python_reads(compose_mail(m));
    ASSERT_TRUE(j.is_object()) << "mail_summary.py gave no JSON";
    EXPECT_EQ(j["subject"], m.subject);
    EXPECT_EQ(j["from"], nlohmann::json::array({"orvypc@example.org"}));
    EXPECT_EQ(j["from_name"], "OrvyPc");
    EXPECT_EQ(j["to"], nlohmann::json(m.to));
    EXPECT_EQ(j["date_epoch"], kWhen);
    EXPECT_EQ(j["message_id"], m.messageId);
    EXPECT_EQ(j["auto_submitted"], "auto-generated");
    EXPECT_EQ(j["defects"], nlohmann::json::array());
    EXPECT_EQ(j["structure"], nlohmann::json::array({"multipart/mixed", "multipart/alternative", "text/plain",
                                                      "text/html", "application/octet-stream"}));
    ASSERT_EQ(j["parts"].size(), 3U);
    // The text as meant, with U+FFFD for the control character and each
    // byte that is not UTF-8.
    std::string text = m.text;
    text.replace(text.find('\x01'), 1, "\xEF\xBF\xBD");
    text.replace(text.find("\xC3\x28"), 1, "\xEF\xBF\xBD");
    text.replace(text.find('\xE9'), 1, "\xEF\xBF\xBD");
    EXPECT_EQ(j["parts"][0]["text"], text);
    EXPECT_EQ(j["parts"][1]["text"], m.html);
    EXPECT_EQ(j["parts"][2]["size"], 512);
    EXPECT_EQ(j["parts"][2]["filename"], "Site survey_2026-12-09 10.00.00.xlsx");
    std::ostringstream expectedSha;
    {
        const std::filesystem::path f = std::filesystem::temp_directory_path() / "orvypc-mail-bytes.bin";
        std::ofstream(f, std::ios::binary) << all_bytes();
        FILE* p = popen(("sha256sum '" + f.string() + "'").c_str(), "r");
        char hex[65] = {};
        ASSERT_EQ(fread(hex, 1, 64, p), 64U);
        pclose(p);
        std::filesystem::remove(f);
        expectedSha << hex;
    }
    EXPECT_EQ(j["parts"][2]["sha256"], expectedSha.str());
}
#endif

SiteChange change(ChangeKind kind, std::uint8_t unit = 0) {
    SiteChange c;
    c.kind = kind;
    c.unit = unit;
    c.verdict = kind == ChangeKind::NewFault ? Verdict::Fault : Verdict::Ok;
    if (kind == ChangeKind::NewFault) {
        c.reasons = {{Verdict::Fault, "Battery fault", "Battery fault"}};
        c.fresh = {true};
    }
    return c;
}

TEST(AlertMail, TheSubjectCountsWhatChanged) {
    struct Case {
        std::vector<SiteChange> changes;
        const char* subject;
    };
    const Case cases[] = {
        {{change(ChangeKind::NewFault, 1), change(ChangeKind::NewFault, 2)}, "OrvyPc: 2 new faults at Hospital West"},
        {{change(ChangeKind::NewFault, 1), change(ChangeKind::Recovered, 3)}, "OrvyPc: 1 new fault, 1 recovered at Hospital West"},
        {{change(ChangeKind::GatewayUnreachable)}, "OrvyPc: gateway unreachable at Hospital West"},
        {{change(ChangeKind::StoppedAnswering, 4), change(ChangeKind::GatewayBack)},
         "OrvyPc: 1 stopped answering, gateway back at Hospital West"},
        {{change(ChangeKind::NewOverdue, 5), change(ChangeKind::AnswersAgain, 6)},
         "OrvyPc: 1 newly overdue, 1 answering again at Hospital West"},
    };
    for (const Case& c : cases) {
        Alert a;
        a.site = "Hospital West";
        a.gateway = "10.0.0.9";
        a.changes = c.changes;
        EXPECT_EQ(alert_subject(a), c.subject);
    }
    Alert digest;
    digest.kind = AlertKind::Digest;
    digest.site = "医院";
    digest.period = "weekly";
    EXPECT_EQ(alert_subject(digest), "OrvyPc: weekly digest for 医院: nothing needs attention");
    digest.attention.resize(3);
    EXPECT_EQ(alert_subject(digest), "OrvyPc: weekly digest for 医院: 3 luminaires need attention");
}

TEST(AlertMail, TheTableNamesTheLuminaireInItsVerdictColourAndEscapesItsName) {
    Alert a;
    a.site = a.gateway = "10.0.0.9";
    a.created = a.surveyed = kWhen;
    SiteChange c = change(ChangeKind::NewFault, 65);
    c.name = "<Stair> & 走廊";
    c.location = "Level 3";
    a.changes = {c};
    a.counts = {25, 0, 1, 0};
    const MailMessage m = alert_mail(a, {"orvypc@example.org", {"tech@example.org"}, "pc1"});
    EXPECT_NE(m.text.find("New fault:\n  B1  <Stair> & 走廊, Level 3: Battery fault (new)\n"), std::string::npos) << m.text;
    EXPECT_NE(m.text.find("The site now: 26 luminaires: 25 ok, 0 overdue, 1 fault, 0 not read."), std::string::npos);
    EXPECT_NE(m.html.find("<td>B1</td><td>&lt;Stair&gt; &amp; 走廊</td><td>Level 3</td><td>new fault</td>"
                          "<td style=\"background-color:#FF0000\">fault</td><td>Battery fault (new)</td>"),
              std::string::npos)
        << m.html;
    EXPECT_EQ(m.date, kWhen);
}

}  // namespace
