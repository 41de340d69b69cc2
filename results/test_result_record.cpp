#include "test_result_record.h"

#include "reply.h"

#include <algorithm>
#include <cstdio>

namespace {

void append_utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The text at `offset`: code units up to the 0 character, at most 32 of
// them, all lying before `end` (the frame sum). Whole units only: an odd
// trailing byte is not half a character.
std::string read_text(const std::uint8_t* rx, std::size_t offset, std::size_t end) {
    std::size_t units = 0;
    while (units < kEntryTextMaxChars && offset + 2 * units + 2 <= end) {
        const std::size_t at = offset + 2 * units;
        if (rx[at] == 0 && rx[at + 1] == 0) break;
        ++units;
    }
    return utf16le_to_utf8(rx + offset, units);
}

}  // namespace

std::string utf16le_to_utf8(const std::uint8_t* bytes, std::size_t unitCount) {
    std::string out;
    for (std::size_t i = 0; i < unitCount; ++i) {
        const std::uint32_t u = bytes[2 * i] | static_cast<std::uint32_t>(bytes[2 * i + 1]) << 8;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < unitCount) {
            const std::uint32_t low = bytes[2 * i + 2] | static_cast<std::uint32_t>(bytes[2 * i + 3]) << 8;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                append_utf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        append_utf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
    }
    return out;
}

std::string FormatUnitAddress(std::uint8_t unit) {
    char text[8];
    if (unit < 64) std::snprintf(text, sizeof text, "A%d", unit);
    else std::snprintf(text, sizeof text, "B%d", unit - 64);
    return text;
}

TestResultRecord DecodeTestResultRecord(const std::uint8_t* rx, std::uint32_t n) {
    // Texts end before the frame sum; a reply claiming more than the buffer
    // holds is read only as far as the buffer goes.
    const std::size_t frameEnd = std::min<std::size_t>(n, kRxBufSize);
    const std::size_t textEnd = frameEnd >= 3 ? frameEnd - 3 : 0;

    TestResultRecord r;
    r.unit = rx[kEntryOffsetUnit];
    r.testType = rx[kEntryOffsetType];
    r.year = static_cast<std::uint16_t>(rx[kEntryOffsetYear] | rx[kEntryOffsetYear + 1] << 8);
    r.month = rx[kEntryOffsetMonth];
    r.day = rx[kEntryOffsetMonth + 1];
    r.hour = rx[kEntryOffsetMonth + 2];
    r.minute = rx[kEntryOffsetMonth + 3];
    r.second = rx[kEntryOffsetMonth + 4];
    r.result = rx[kEntryOffsetResult];
    r.minutes = rx[kEntryOffsetMinutes];
    r.name = read_text(rx, kEntryOffsetName, textEnd);
    r.location = read_text(rx, kEntryOffsetLocation, textEnd);
    return r;
}

RowTexts result_row_texts(const TestResultRecord& r, MinutesColumn rule) {
    RowTexts row;
    const bool duration = r.testType == kTestTypeDuration;
    row[kColAddress] = FormatUnitAddress(r.unit);
    row[kColName] = r.name;
    row[kColLocation] = r.location;

    char date[48];
    std::snprintf(date, sizeof date, "%04d/%02d/%02d %02d:%02d:%02d", r.year, r.month, r.day, r.hour,
                  r.minute, r.second);
    row[kColTestDate] = date;
    row[kColType] = duration ? "DT" : "FT";

    const bool minutesShown =
        r.minutes != kMinutesNone && (rule == MinutesColumn::Always || duration);
    row[kColMinutes] = minutesShown ? std::to_string(r.minutes) : "none";

    row[kColResult] = r.result == kTestResultPassed ? "OK" : r.result == kTestResultFailed ? "FAIL" : "NULL";
    return row;
}

void read_test_time(const std::string& text, TestResultRecord& record) {
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char dash = 0, dash2 = 0;
    std::sscanf(text.c_str(), "%u%c%u%c%u %u:%u:%u", &y, &dash, &mo, &dash2, &d, &h, &mi, &s);
    record.year = static_cast<std::uint16_t>(y);
    record.month = static_cast<std::uint8_t>(mo);
    record.day = static_cast<std::uint8_t>(d);
    record.hour = static_cast<std::uint8_t>(h);
    record.minute = static_cast<std::uint8_t>(mi);
    record.second = static_cast<std::uint8_t>(s);
}
