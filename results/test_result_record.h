// One stored test entry as the gateway sends it in a test-results (0x10) or
// details (0x15) reply, and the seven texts of its list row.
//
//   offset 15     status: 0xFF = no (further) entry
//          16     unit number (line A 0..63, line B 64..127)
//          17..18 entry offset (details trace only)
//          20     test type: 1 = duration test, else function test
//          21..22 year, little-endian; 23..27 month, day, hour, minute, second
//          29     result: 1 passed, 0xFF failed, else none
//          30     duration in minutes, 0xFF = none
//          31..   name, UTF-16LE up to a 0 character
//          65..   location, UTF-16LE up to a 0 character
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

using RowTexts = std::array<std::string, 7>;   // UTF-8, column order below
inline constexpr std::array<const char*, 7> kResultColumns =
    {"Address", "Name", "Location", "Test Date", "Type", "Time(min)", "Result"};

enum ResultColumn : std::size_t {
    kColAddress = 0, kColName, kColLocation, kColTestDate, kColType, kColMinutes, kColResult
};

inline constexpr std::size_t kEntryOffsetStatus = 15;
inline constexpr std::size_t kEntryOffsetUnit = 16;
inline constexpr std::size_t kEntryOffsetIndex = 17;      // two bytes, 17 and 18
inline constexpr std::size_t kEntryOffsetType = 20;
inline constexpr std::size_t kEntryOffsetYear = 21;
inline constexpr std::size_t kEntryOffsetMonth = 23;
inline constexpr std::size_t kEntryOffsetResult = 29;
inline constexpr std::size_t kEntryOffsetMinutes = 30;
inline constexpr std::size_t kEntryOffsetName = 31;
inline constexpr std::size_t kEntryOffsetLocation = 65;

inline constexpr std::uint8_t kEntryStatusEnd = 0xFF;     // the listing has no (further) entry
inline constexpr std::uint8_t kTestTypeDuration = 1;
inline constexpr std::uint8_t kTestResultPassed = 1;
inline constexpr std::uint8_t kTestResultFailed = 0xFF;
inline constexpr std::uint8_t kMinutesNone = 0xFF;
inline constexpr std::size_t kEntryTextMaxChars = 32;     // UTF-16 code units kept of a text
inline constexpr std::uint32_t kEntryHeaderOnlyLength = 22;  // status, unit, offset; no test data

struct TestResultRecord {
    std::uint8_t unit = 0;
    std::string name;        // UTF-8
    std::string location;    // UTF-8
    std::uint16_t year = 0;
    std::uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::uint8_t testType = 0;
    std::uint8_t result = 0;
    std::uint8_t minutes = 0;
};

// The test's date and time from its text, "YYYY-MM-DD hh:mm:ss" as the
// logbook keeps it or "YYYY/MM/DD hh:mm:ss" as the lists show it; fields
// it does not hold stay 0.
void read_test_time(const std::string& text, TestResultRecord& record);

// "A%d" for units 0..63, "B%d" of unit - 64 otherwise.
std::string FormatUnitAddress(std::uint8_t unit);

// Decodes the entry of a reply of n bytes held in a kRxBufSize (1046) byte
// buffer that is zero past the reply. Fixed fields are read at their offsets
// whatever n is; the texts stop at their 0 character, at 32 characters, or at
// the frame sum (n - 3), whichever comes first, and never leave the buffer.
TestResultRecord DecodeTestResultRecord(const std::uint8_t* rx, std::uint32_t n);

// Which rule fills the "Time(min)" column.
enum class MinutesColumn {
    Always,                // minutes for both test types ("none" for 0xFF)
    DurationTestsOnly,     // the first test-results reply: a function test shows "none"
};
RowTexts result_row_texts(const TestResultRecord& record, MinutesColumn rule = MinutesColumn::Always);

// UTF-16LE bytes to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16le_to_utf8(const std::uint8_t* bytes, std::size_t unitCount);
