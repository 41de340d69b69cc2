// The monitor's settings: the key store's values, a bad one said and left
// out, a password there never used, and the command line over them.
#include "key_store.h"
#include "monitor_config.h"

#include <gtest/gtest.h>

namespace {

TEST(MonitorConfig, TheCommandLineOverTheKeyStoreAndNoPasswordFromIt) {
    KeyStore store;
    const auto set = [&](const char* name, const char* value) { store.set_value(kMonitorKey, name, value); };
    set("Server", "smtp.example.org:465");
    set("Sender", "orvypc@example.org");
    set("Recipients", " a@example.org; b@example.org ,");
    set("User", "orvypc");
    set("Password", "hunter2");
    set("Attach", "maybe");
    set("Digest", "Weekly");
    set("Gateways", "10.0.0.1, 10.0.0.2");
    std::vector<std::string> warnings;
    MonitorConfig c = monitor_config(store, {}, &warnings);
    EXPECT_EQ(c.server.host, "smtp.example.org");
    EXPECT_EQ(c.server.port, 465);
    EXPECT_EQ(c.server.password, "");
    EXPECT_EQ(c.recipients, (std::vector<std::string>{"a@example.org", "b@example.org"}));
    EXPECT_FALSE(c.attach);
    EXPECT_EQ(c.digest, DigestPeriod::Weekly);
    EXPECT_EQ(c.gateways, (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(c.everySeconds, kDefaultEverySeconds);
    ASSERT_EQ(warnings.size(), 2U);
    EXPECT_NE(warnings[0].find("\"Attach\"=\"maybe\" is not yes or no"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[1].find("a \"Password\" value is never used"), std::string::npos) << warnings[1];
    EXPECT_EQ(check_mail_config(c), "");

    MonitorOptions o;
    o.smtpHost = "relay.example.org";
    o.mailTo = {"night@example.org"};
    o.gateways = {"10.0.0.9"};
    o.everySeconds = 3600;
    o.attach = true;
    warnings.clear();
    c = monitor_config(store, o, &warnings);
    EXPECT_EQ(c.server.host, "relay.example.org");
    EXPECT_EQ(c.server.port, kSubmissionPort);
    EXPECT_EQ(c.recipients, std::vector<std::string>{"night@example.org"});
    EXPECT_EQ(c.gateways, std::vector<std::string>{"10.0.0.9"});
    EXPECT_EQ(c.everySeconds, 3600);
    EXPECT_TRUE(c.attach);

    c.recipients.clear();
    EXPECT_EQ(check_mail_config(c).rfind("no recipients", 0), 0U);
    c.recipients = {"night@example.org"};
    c.sender = "OrvyPc <orvypc@example.org>";
    EXPECT_EQ(check_mail_config(c).rfind("the sender 'OrvyPc <orvypc@example.org>' is not a plain address", 0), 0U);
    c.sender = "orvypc@example.org";
    c.server.user.clear();
    c.passwordFile = "/somewhere";
    EXPECT_EQ(check_mail_config(c).rfind("a password file but no user", 0), 0U);
}

}  // namespace
