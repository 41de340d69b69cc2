// Builds test-entry replies as the gateway lays them out, for the record and
// listing tests.
#pragma once

#include "command_frame.h"
#include "reply.h"
#include "test_result_record.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

struct EntryFields {
    std::uint8_t command = kCmdTestResults;
    std::uint8_t status = 0;
    std::uint8_t unit = 0;
    std::uint16_t index = 0;
    std::uint8_t type = 1;
    std::uint16_t year = 2018;
    std::uint8_t month = 3, day = 9, hour = 14, minute = 5, second = 0;
    std::uint8_t result = 1;
    std::uint8_t minutes = 90;
    std::u16string name = u"Exit 1";
    std::u16string location = u"Stair";
};

inline void put_text(std::vector<std::uint8_t>& frame, std::size_t at, const std::u16string& text) {
    if (frame.size() < at + 2 * text.size() + 2) frame.resize(at + 2 * text.size() + 2, 0);
    for (std::size_t i = 0; i < text.size(); ++i) {
        frame[at + 2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
        frame[at + 2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
}

// The reply frame bytes: header, fields, name at 31 (it may run into the
// location's room), location at 65, sum, end byte.
inline std::vector<std::uint8_t> entry_frame(const EntryFields& f) {
    std::vector<std::uint8_t> body(65, 0);   // frame offsets 0..64
    body[15] = f.status;
    body[16] = f.unit;
    body[17] = static_cast<std::uint8_t>(f.index & 0xFF);
    body[18] = static_cast<std::uint8_t>(f.index >> 8);
    body[20] = f.type;
    body[21] = static_cast<std::uint8_t>(f.year & 0xFF);
    body[22] = static_cast<std::uint8_t>(f.year >> 8);
    body[23] = f.month;
    body[24] = f.day;
    body[25] = f.hour;
    body[26] = f.minute;
    body[27] = f.second;
    body[29] = f.result;
    body[30] = f.minutes;
    put_text(body, 31, f.name);
    if (!f.location.empty() || body.size() <= 65) put_text(body, 65, f.location);
    std::vector<std::uint8_t> payload(body.begin() + 15, body.end());
    std::vector<std::uint8_t> frame(kFrameBufSize);
    const auto n = build_cmd_frame(frame.data(), f.command, payload.data(), static_cast<std::uint16_t>(payload.size()));
    frame.resize(n);
    return frame;
}

// A short frame: header, status, unit and then `extra` payload bytes (22
// bytes in all for the "no test data" reply: extra = 2).
inline std::vector<std::uint8_t> short_frame(std::uint8_t command, std::uint8_t status, std::uint8_t unit,
                                             std::size_t extra) {
    std::vector<std::uint8_t> payload(2 + extra, 0);
    payload[0] = status;
    payload[1] = unit;
    std::vector<std::uint8_t> frame(kFrameBufSize);
    const auto n = build_cmd_frame(frame.data(), command, payload.data(), static_cast<std::uint16_t>(payload.size()));
    frame.resize(n);
    return frame;
}

// A frame in a kRxBufSize buffer, zero past it, as the exchange leaves it.
struct RxBuf {
    std::uint8_t rx[kRxBufSize] = {};
    std::uint32_t n = 0;
    explicit RxBuf(const std::vector<std::uint8_t>& frame) {
        n = static_cast<std::uint32_t>(std::min(frame.size(), kRxBufSize));
        if (n > 0) std::memcpy(rx, frame.data(), n);
    }
};
