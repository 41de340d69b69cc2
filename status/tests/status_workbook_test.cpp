// The status workbook takes the record's items as they are: one line per
// item, in table order, and its explanations follow the item table.
#include "status_workbook.h"

#include <gtest/gtest.h>

namespace {

TEST(StatusWorkbook, ExplanationsFollowTheItemTableLabelForLabel) {
    for (int i = 0; i < kStatusItemCount; ++i) {
        EXPECT_STREQ(kStatusExplanations[static_cast<std::size_t>(i)].label,
                     kStatusItemTable[static_cast<std::size_t>(i)].label)
            << i;
    }
}

TEST(StatusWorkbook, EachItemBecomesOneLineWithItsThreeTexts) {
    std::uint8_t reply[1046] = {};
    reply[39] = 80;  // battery charge
    const std::vector<StatusItem> items = status_items(reply);
    const std::vector<StatusLine> lines = status_lines(items);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kStatusLineCount));
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(lines[i].section, items[i].section) << i;
        EXPECT_EQ(lines[i].label, items[i].label) << i;
        EXPECT_EQ(lines[i].value, items[i].value) << i;
    }
}

}  // namespace
