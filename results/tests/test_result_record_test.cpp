// Decoding one stored test entry and its row texts.
#include "entry_reply.h"
#include "test_result_record.h"

#include <gtest/gtest.h>

namespace {

TEST(FormatUnitAddress, LineAThenLineB) {
    const std::pair<int, const char*> cases[] = {{0, "A0"},   {5, "A5"},   {63, "A63"},
                                                 {64, "B0"},  {69, "B5"},  {127, "B63"},
                                                 {128, "B64"}, {255, "B191"}};
    for (auto [unit, text] : cases) EXPECT_EQ(FormatUnitAddress(static_cast<std::uint8_t>(unit)), text);
}

TEST(DecodeTestResultRecord, RowOfADurationTest) {
    EntryFields f;
    f.unit = 69;
    f.year = 0x07E2;
    f.name = u"Corridor 2";
    f.location = u"Floor 1";
    RxBuf b(entry_frame(f));
    const RowTexts row = result_row_texts(DecodeTestResultRecord(b.rx, b.n));
    EXPECT_EQ(row, (RowTexts{"B5", "Corridor 2", "Floor 1", "2018/03/09 14:05:00", "DT", "90", "OK"}));
}

TEST(DecodeTestResultRecord, ColumnRules) {
    struct Case {
        std::uint8_t type, result, minutes;
        MinutesColumn rule;
        const char *typeText, *minutesText, *resultText;
    };
    const Case cases[] = {
        {1, 1, 0xFF, MinutesColumn::Always, "DT", "none", "OK"},
        {1, 0xFF, 0, MinutesColumn::Always, "DT", "0", "FAIL"},
        {0, 0, 254, MinutesColumn::Always, "FT", "254", "NULL"},
        {2, 2, 3, MinutesColumn::Always, "FT", "3", "NULL"},
        {0, 1, 3, MinutesColumn::DurationTestsOnly, "FT", "none", "OK"},
        {1, 1, 3, MinutesColumn::DurationTestsOnly, "DT", "3", "OK"},
        {1, 1, 0xFF, MinutesColumn::DurationTestsOnly, "DT", "none", "OK"},
    };
    for (const Case& c : cases) {
        EntryFields f;
        f.type = c.type;
        f.result = c.result;
        f.minutes = c.minutes;
        RxBuf b(entry_frame(f));
        const RowTexts row = result_row_texts(DecodeTestResultRecord(b.rx, b.n), c.rule);
        EXPECT_EQ(row[kColType], c.typeText);
        EXPECT_EQ(row[kColMinutes], c.minutesText) << int(c.type) << " " << int(c.minutes);
        EXPECT_EQ(row[kColResult], c.resultText) << int(c.result);
    }
}

TEST(DecodeTestResultRecord, DateIsZeroPadded) {
    EntryFields f;
    f.year = 15;
    f.month = 1;
    f.day = 2;
    f.hour = 3;
    f.minute = 4;
    f.second = 5;
    RxBuf b(entry_frame(f));
    EXPECT_EQ(result_row_texts(DecodeTestResultRecord(b.rx, b.n))[kColTestDate], "0015/01/02 03:04:05");
}

// The logbook's text and the list's text of a date read back to the same
// fields, and the row writes them as the gateway's record would.
TEST(ReadTestTime, BothWritingsGiveTheFields) {
    for (const char* text : {"2026-11-03 01:09:21", "2026/11/03 01:09:21"}) {
        TestResultRecord r;
        read_test_time(text, r);
        EXPECT_EQ(result_row_texts(r)[kColTestDate], "2026/11/03 01:09:21") << text;
    }
    TestResultRecord none;
    read_test_time("", none);
    EXPECT_EQ(none.year + none.month + none.second, 0);
}

TEST(DecodeTestResultRecord, LongNameIsCutToThirtyTwoCharacters) {
    EntryFields f;
    f.name = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";   // 40 characters, over the location's room
    f.location = u"";
    RxBuf b(entry_frame(f));
    const TestResultRecord r = DecodeTestResultRecord(b.rx, b.n);
    EXPECT_EQ(r.name, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
}

TEST(DecodeTestResultRecord, TextsAreUtf16ConvertedToUtf8) {
    EntryFields f;
    f.name = u"应急灯 Ä";
    f.location = u"\U0001F6A8 exit";
    RxBuf b(entry_frame(f));
    const TestResultRecord r = DecodeTestResultRecord(b.rx, b.n);
    EXPECT_EQ(r.name, "应急灯 Ä");
    EXPECT_EQ(r.location, "\U0001F6A8 exit");
}

TEST(Utf16, UnpairedSurrogatesBecomeReplacementCharacters) {
    const std::uint8_t loneHigh[] = {0x3D, 0xD8, 'a', 0};
    const std::uint8_t loneLow[] = {0xA8, 0xDE};
    const std::uint8_t highAtEnd[] = {'x', 0, 0x3D, 0xD8};
    EXPECT_EQ(utf16le_to_utf8(loneHigh, 2), "\xEF\xBF\xBD" "a");
    EXPECT_EQ(utf16le_to_utf8(loneLow, 1), "\xEF\xBF\xBD");
    EXPECT_EQ(utf16le_to_utf8(highAtEnd, 2), "x\xEF\xBF\xBD");
}

// A text without its 0 character stops before the frame sum, even in a reply
// that fills the whole receive buffer.
TEST(DecodeTestResultRecord, UnterminatedTextsStopBeforeTheSum) {
    std::vector<std::uint8_t> payload(73 - kFrameOverhead, 'Q');   // 'Q' 'Q' pairs: U+5151
    payload[0] = 0;
    payload[1] = 3;
    std::vector<std::uint8_t> frame(kFrameBufSize);
    frame.resize(build_cmd_frame(frame.data(), kCmdTestResults, payload.data(), static_cast<std::uint16_t>(payload.size())));
    RxBuf b(frame);
    ASSERT_EQ(b.n, 73U);
    const TestResultRecord r = DecodeTestResultRecord(b.rx, b.n);
    // Name: bytes 31..69 are text (sum at 70), 39 bytes: 19 whole characters.
    std::string q19;
    for (int i = 0; i < 19; ++i) q19 += "\xE5\x85\x91";   // U+5151
    EXPECT_EQ(r.name, q19);
    // Location: bytes 65..69, two whole characters and an odd byte.
    EXPECT_EQ(r.location, "\xE5\x85\x91\xE5\x85\x91");
}

// Every cut-short prefix of an entry, and every length up to the whole
// buffer, decodes without reading outside the buffer (checked under ASan).
TEST(DecodeTestResultRecord, AnyLengthStaysInsideTheBuffer) {
    EntryFields f;
    f.name = std::u16string(40, u'N');
    f.location = std::u16string(40, u'L');
    const auto frame = entry_frame(f);
    for (std::size_t len = 0; len <= frame.size(); ++len) {
        std::vector<std::uint8_t> cut(frame.begin(), frame.begin() + static_cast<long>(len));
        RxBuf b(cut);
        const TestResultRecord r = DecodeTestResultRecord(b.rx, b.n);
        EXPECT_LE(r.name.size(), 32U);
        EXPECT_LE(r.location.size(), 32U);
    }
    // A full buffer of non-zero bytes, and lengths claiming more than it holds.
    std::vector<std::uint8_t> full(kRxBufSize, 0x41);
    for (std::uint32_t n : {0U, 1U, 2U, 3U, 1023U, 1024U, 1045U, 1046U, 5000U, 0xFFFFFFFFU}) {
        const TestResultRecord r = DecodeTestResultRecord(full.data(), n);
        // 0x41 0x41 is U+4141, three bytes in UTF-8; with room, 32 of them.
        if (n >= 100) EXPECT_EQ(r.name.size(), 32U * 3) << n;
        else EXPECT_LE(r.name.size(), 32U * 3) << n;
    }
}

}  // namespace
