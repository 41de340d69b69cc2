// The status items: the value text rules, and that every bit item reads its
// own bit and no other.
#include "reply.h"
#include "status_record.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

struct Reply {
    std::uint8_t rx[kRxBufSize] = {};
    std::map<std::string, std::string> values() const {
        std::map<std::string, std::string> out;
        for (const StatusItem& item : status_items(rx)) out[item.section + "/" + item.label] = item.value;
        return out;
    }
};

TEST(StatusItemTable, NineSectionsInWorkbookRowOrder) {
    // Workbook rows 3..76: section name, first row, last row.
    const struct { const char* name; int first, last; } expected[] = {
        {"Status", 3, 10},           {"Test Timing", 11, 16},    {"Default parameters", 17, 23},
        {"Member of Group(s)", 24, 39}, {"Features", 40, 47},    {"Operating mode", 48, 55},
        {"Additional information", 56, 60}, {"Emergency status", 61, 68}, {"Faults", 69, 76},
    };
    ASSERT_EQ(std::size(expected), kStatusSections.size());
    for (std::size_t s = 0; s < kStatusSections.size(); ++s) {
        SCOPED_TRACE(expected[s].name);
        EXPECT_STREQ(kStatusSections[s].name, expected[s].name);
        EXPECT_EQ(kStatusSections[s].firstItem, expected[s].first - 3);
        EXPECT_EQ(kStatusSections[s].itemCount, expected[s].last - expected[s].first + 1);
        for (int i = 0; i < kStatusSections[s].itemCount; ++i)
            EXPECT_STREQ(kStatusItemTable[kStatusSections[s].firstItem + i].section, expected[s].name);
    }
    Reply r;
    EXPECT_EQ(status_items(r.rx).size(), static_cast<std::size_t>(kStatusItemCount));
}

TEST(StatusItemTable, LabelsAtTheirWorkbookRows) {
    const std::map<int, const char*> rows = {
        {3, "Ready"},           {10, "Power cycle seen"},  {11, "Next function test"},
        {16, "Prolong time"},   {17, "Maximum level"},      {23, "Physical Minimum"},
        {24, "Group0"},         {39, "Group15"},            {40, "Integral emergency control gear"},
        {47, "Re-light rest mode supported"},               {51, "Emergency mode after mains return active"},
        {56, "Battery charging state"},                     {60, "Rated duration"},
        {67, "indentification active"},                     {72, "Lamp failure"},
        {76, "Duration test failed"},
    };
    for (const auto& [row, label] : rows) EXPECT_STREQ(kStatusItemTable[row - 3].label, label) << "row " << row;
}

TEST(StatusItems, AllZeroRecordIsReadyAndNothingElse) {
    Reply r;
    for (const StatusItem& item : status_items(r.rx)) {
        if (item.label == "Ready") EXPECT_EQ(item.value, "Yes");
        else if (item.value != "Yes" && item.value != "No") continue;   // a number item
        else EXPECT_EQ(item.value, "No") << item.label;
    }
}

// Setting exactly one bit of the record changes exactly one bit item.
TEST(StatusItems, EachBitItemReadsItsOwnBit) {
    std::set<std::pair<int, int>> seen;
    for (const StatusItemDef& def : kStatusItemTable) {
        if (def.kind != StatusValueKind::Bit && def.kind != StatusValueKind::BitClear) continue;
        EXPECT_TRUE(seen.insert({def.offset, def.bit}).second) << def.label << " shares its bit";
        Reply r;
        r.rx[def.offset] = static_cast<std::uint8_t>(1U << def.bit);
        const auto items = status_items(r.rx);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const StatusItemDef& other = kStatusItemTable[i];
            if (other.kind != StatusValueKind::Bit && other.kind != StatusValueKind::BitClear) continue;
            const bool set = &other == &def;
            const bool yes = other.kind == StatusValueKind::BitClear ? !set : set;
            EXPECT_EQ(items[i].value, yes ? "Yes" : "No") << "bit of " << def.label << ", item " << other.label;
        }
    }
    EXPECT_EQ(seen.size(), 8U * 7);   // status, groups (two bytes), features, mode, emergency, faults
}

TEST(StatusItems, ValueTexts) {
    struct Case {
        std::size_t offset;
        std::uint8_t value;
        const char* key;
        const char* text;
    };
    const Case cases[] = {
        {26, 0x01, "Status/Ready", "No"},
        {26, 0x10, "Status/Fade running", "Yes"},
        {31, 7, "Test Timing/Function test interval", "7 Days"},
        {33, 52, "Test Timing/Duration test interval", "52 Weeks"},
        {34, 255, "Test Timing/Test execution time out", "255 Days"},
        {36, 0, "Test Timing/Prolong time", "0 Min"},
        {18, 254, "Default parameters/Maximum level", "254 "},
        {24, 0, "Default parameters/Physical Minimum", "0 "},
        {39, 100, "Additional information/Battery charging state", "100 %"},
        {39, 80, "Additional information/Battery charging state", "80 %"},
        {40, 183, "Additional information/Duration test result", "183 min"},
        {43, 12, "Additional information/Lamp burning hours in emergency", "12 hr"},
        {45, 50, "Additional information/Lamp burning hours-total", "200 hr"},
        {45, 255, "Additional information/Lamp burning hours-total", "1020 hr"},
        {47, 180, "Additional information/Rated duration", "180"},
    };
    for (const Case& c : cases) {
        Reply r;
        r.rx[c.offset] = c.value;
        EXPECT_EQ(r.values().at(c.key), c.text) << c.key << " from " << int(c.value);
    }
}

TEST(StatusItems, SixteenBitTimesAreLowByteFirst) {
    Reply r;
    r.rx[27] = 0x2C;
    r.rx[28] = 0x01;
    r.rx[29] = 0xFF;
    r.rx[30] = 0xFF;
    const auto v = r.values();
    EXPECT_EQ(v.at("Test Timing/Next function test"), "300 Hours");
    EXPECT_EQ(v.at("Test Timing/Next duration test"), "65535 Hours");
}

TEST(StatusItems, GroupsSpanTwoBytes) {
    Reply r;
    r.rx[25] = 0x01;
    r.rx[50] = 0x80;
    const auto v = r.values();
    for (int g = 0; g < 16; ++g)
        EXPECT_EQ(v.at("Member of Group(s)/Group" + std::to_string(g)), g == 0 || g == 15 ? "Yes" : "No") << g;
}

// Bytes that the record does not read change nothing.
TEST(StatusItems, UnreadOffsetsAreIgnored) {
    Reply plain;
    Reply noisy;
    for (std::size_t off : {32, 35, 37, 41, 42, 44, 46, 51, 52, 53, 54, 55, 56}) noisy.rx[off] = 0xA5;
    EXPECT_EQ(plain.values(), noisy.values());
}

}  // namespace
