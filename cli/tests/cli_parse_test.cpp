// The luminaire address and option values that the command line accepts,
// and which front end a command line starts.
#include "cli.h"
#include "cli_commands.h"
#include "invocation.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

TEST(LuminaireAddress, LineLetterInEitherCaseAndShortAddress) {
    const std::pair<const char*, int> good[] = {{"A0", 0},   {"a5", 5},    {"A63", 63}, {"B0", 64},
                                                {"b5", 69},  {"B63", 127}, {"A05", 5},  {"B063", 127}};
    for (auto [text, unit] : good) EXPECT_EQ(parse_luminaire_address(text), unit) << text;
    for (const char* bad : {"C5", "A64", "A-1", "A+1", "A", "5", "", "AA5", "A5x", "A 5", "B640", "A0063", "B99999"})
        EXPECT_FALSE(parse_luminaire_address(bad).has_value()) << bad;
}

TEST(LinkOptions, ValuesAreCheckedAndApplied) {
    LinkSettings s;
    EXPECT_EQ(apply_link_option("--port", "18000", s), "");
    EXPECT_EQ(s.port, 18000);
    EXPECT_EQ(apply_link_option("--broadcast", "127.255.255.255", s), "");
    EXPECT_EQ(s.broadcastAddress, "127.255.255.255");
    EXPECT_EQ(apply_link_option("--gateway", "127.0.0.1", s), "");
    EXPECT_EQ(s.gatewayAddress, "127.0.0.1");
    EXPECT_EQ(apply_link_option("--gateway", "localhost", s), "");
    EXPECT_EQ(s.gatewayAddress, "127.0.0.1");
    EXPECT_EQ(apply_link_option("--timeout", "250", s), "");
    EXPECT_EQ(s.recvTimeoutMs, 250);
    EXPECT_EQ(s.sendTimeoutMs, 250);
    for (const char* bad : {"0", "65536", "-1", "80x", ""}) EXPECT_NE(apply_link_option("--port", bad, s), "") << bad;
    EXPECT_NE(apply_link_option("--broadcast", "255.255.255", s), "");
    EXPECT_NE(apply_link_option("--timeout", "0", s), "");
    EXPECT_NE(apply_link_option("--frobnicate", "1", s), "");
    EXPECT_EQ(s.port, 18000);   // refused values change nothing
}

Invocation read(const std::string& line) {
    std::vector<std::string> words{"orvypc"};
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    return parse_invocation(static_cast<int>(words.size()), argv.data());
}

// A switch the front end does not know is the window's, a misspelt command
// word is not; a bad value of an option the window takes is an error there
// too; the server switches take the window's place.
TEST(Invocation, WhichFrontEndRunsAndWhatIsRefused) {
    struct Case {
        const char* line;
        FrontEnd frontEnd;
        const char* error;   // the start of the usage error; "" for none
    };
    const Case cases[] = {
        {"", FrontEnd::Window, ""},
        {"/foo", FrontEnd::Window, ""},
        {"-x --bogus", FrontEnd::Window, ""},
        {"--gateway 127.0.0.1 --port 18000 --no-logbook", FrontEnd::Window, ""},
        {"--json -o x.xlsx", FrontEnd::Window, ""},
        {"--gateway no..such", FrontEnd::Window, "--gateway:"},
        {"--port", FrontEnd::Window, "option '--port' needs a value"},
        {"statsu A5", FrontEnd::Commands, "unknown command 'statsu'"},
        {"-x statsu", FrontEnd::Commands, "unknown command 'statsu'"},
        {"status A5", FrontEnd::Commands, ""},
        {"status A5 -x", FrontEnd::Commands, "unknown option '-x'"},
        {"/foo status A5", FrontEnd::Commands, "unknown option '/foo'"},
        {"status A5 --retries 9x", FrontEnd::Commands, "--retries:"},
        {"--version", FrontEnd::Commands, ""},
        {"/Regserver statsu", FrontEnd::Window, ""},
    };
    for (const Case& c : cases) {
        const Invocation got = read(c.line);
        EXPECT_EQ(got.frontEnd, c.frontEnd) << c.line;
        EXPECT_EQ(got.error.rfind(c.error, 0), 0u) << c.line << ": " << got.error;
        if (c.error[0] == '\0') {
            EXPECT_EQ(got.error, "") << c.line;
        }
    }
    const Invocation window = read("--demo --gateway 127.0.0.1 --logbook /tmp/x.sqlite");
    EXPECT_TRUE(window.demo);
    EXPECT_EQ(window.options.link.gatewayAddress, "127.0.0.1");
    EXPECT_EQ(window.options.logbook, "/tmp/x.sqlite");
    EXPECT_TRUE(read("-Embedding").server.runEmbedded);
    const Invocation status = read("status B5 --demo");
    EXPECT_TRUE(status.demo);
    EXPECT_EQ(status.options.arguments, std::vector<std::string>{"B5"});
}

// The monitor's options: intervals with their unit, addresses that can go
// into a mail header as they are, and the combinations that make no sense.
TEST(Invocation, TheMonitorsOptionsAreReadAndCheckedBeforeAnythingRuns) {
    struct Case {
        const char* line;
        const char* error;   // the start of the usage error or of the check's; "" for none
    };
    const Case cases[] = {
        {"monitor --gateway 10.0.0.1 --gateway 10.0.0.2 --every 6h --digest weekly --attach", ""},
        {"monitor --every 6", "--every: '6' is not a time"},
        {"monitor --every 0s", "--every: '0s' is not a time"},
        {"monitor --every 367d", "--every: '367d' is not a time"},
        {"monitor --digest monthly", "--digest: 'monthly' is not weekly, daily or off"},
        {"monitor --mail-to tech@example.org,x<y>@z", "--mail-to: 'x<y>@z' is not a plain address"},
        {"monitor --mail-from a@x.org,b@x.org", "--mail-from takes one address"},
        {"monitor --smtp mail.example.org:0", "--smtp: 'mail.example.org:0' is not HOST or HOST:PORT"},
        {"monitor --once=yes", "option '--once' takes no value"},
        {"monitor --all-gateways --gateway 10.0.0.1", "--all-gateways and --gateway exclude each other"},
        {"monitor --once --every 1h", "--once and --every exclude each other"},
        {"monitor -o x.xlsx", "-o writes a workbook"},
        {"monitor now", "unexpected argument 'now'"},
    };
    for (const Case& c : cases) {
        const Invocation got = read(c.line);
        const std::string error = got.error.empty() ? find_command("monitor")->check(got.options) : got.error;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.line << ": " << error;
        if (c.error[0] == '\0') {
            EXPECT_EQ(error, "") << c.line;
        }
    }
    const MonitorOptions m =
        read("monitor --gateway 10.0.0.1 --gateway 10.0.0.2 --every 90m --smtp mail.example.org:465 "
             "--mail-to a@x.org --mail-to b@x.org,c@x.org --digest daily")
            .options.monitor;
    EXPECT_EQ(m.gateways, (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(m.everySeconds, 90 * 60);
    EXPECT_EQ(m.smtpHost, "mail.example.org");
    EXPECT_EQ(m.smtpPort, 465);
    EXPECT_EQ(m.mailTo, (std::vector<std::string>{"a@x.org", "b@x.org", "c@x.org"}));
    EXPECT_EQ(m.digest, DigestPeriod::Daily);
}

}  // namespace
