// A luminaire's history as the logbook holds it, in plain values. The survey
// knows no logbook: the program records the survey, reads each luminaire's
// history back and hands it in here (use_logbook_history), so the History
// sheet, the JSON and the overdue verdict can use what the gateway forgot.
#pragma once

#include "test_result_record.h"

#include <array>
#include <optional>
#include <string>

// The History sheet's columns with a logbook: the details list's seven, then
// whether the gateway still holds the entry.
inline constexpr const char* kOnGatewayHeading = "On gateway";
using LoggedRowTexts = std::array<std::string, 8>;

// One line of the history: a test entry or a remark, newest first.
struct LoggedLine {
    LoggedRowTexts texts;                    // as `orvypc history` writes its row
    std::optional<TestResultRecord> entry;   // a test entry; none for a remark
    std::optional<bool> onGateway;           // entries: unknown without a full listing
    std::string remark, author, written;     // a remark; written "YYYY-MM-DD HH:MM:SS"
    bool repair = false;                     // the remark is a repair
    std::string part;                        // a repair's part; empty: not said
};
