// The luminaire address and option values that the command line accepts.
#include "cli.h"

#include <gtest/gtest.h>

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

}  // namespace
