// The JSON of the front end (--json), made for scripts: plain keys, numbers
// as numbers, times in ISO 8601, and at the top whether the data is whole
// (`complete`, `reason`) and the version of this layout (`format`). The
// layout is described in docs/json.md; the TSV and the workbooks keep the
// display texts.
#pragma once

#include "test_result_record.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kJsonFormat = 1;

using Json = nlohmann::ordered_json;

// The JSON as printed: indented by two, and never failing on text that is
// no UTF-8 (an older logbook may hold such): it shows as U+FFFD.
std::string json_text(const Json& json);
// {"format", "command", "complete", "reason"}: reason null when complete.
Json json_header(const std::string& command, bool complete, const std::string& reason);
// "address", "line", "short_address" of a unit.
void add_json_address(Json& out, std::uint8_t unit);
// One test entry.
Json json_entry(const TestResultRecord& record);
// The same from the seven display texts of its row (the survey keeps rows).
Json json_entry_of_row(const RowTexts& row);
// "ok", "overdue", "fault", "not_read".
std::string verdict_key_text(const char* verdictText);
// The 74 status items of a reply in a kRxBufSize buffer: section, item,
// value text and the value as on the wire.
Json json_status_items(const std::uint8_t* reply);
