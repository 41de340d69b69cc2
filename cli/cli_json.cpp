#include "cli_json.h"

#include "status_record.h"

#include <cstdio>
#include <cstdlib>

std::string json_text(const Json& json) { return json.dump(2, ' ', false, Json::error_handler_t::replace); }

Json json_header(const std::string& command, bool complete, const std::string& reason) {
    Json out;
    out["format"] = kJsonFormat;
    out["command"] = command;
    out["complete"] = complete;
    out["reason"] = complete ? Json() : Json(reason);
    return out;
}

void add_json_address(Json& out, std::uint8_t unit) {
    const bool lineB = unit >= 64;
    out["address"] = FormatUnitAddress(unit);
    out["line"] = lineB ? "B" : "A";
    out["short_address"] = lineB ? unit - 64 : unit;
}

Json json_entry(const TestResultRecord& r) {
    Json e;
    add_json_address(e, r.unit);
    e["name"] = r.name;
    e["location"] = r.location;
    e["type"] = r.testType == kTestTypeDuration ? "duration" : "function";
    char when[32];
    std::snprintf(when, sizeof when, "%04u-%02u-%02uT%02u:%02u:%02u", r.year, r.month, r.day, r.hour, r.minute,
                  r.second);
    e["tested_at"] = when;
    e["minutes"] = r.minutes == kMinutesNone ? Json() : Json(r.minutes);
    e["result"] = r.result == kTestResultPassed ? Json("passed") : r.result == kTestResultFailed ? Json("failed") : Json();
    return e;
}

Json json_entry_of_row(const RowTexts& row) {
    TestResultRecord r;
    const std::string& a = row[kColAddress];
    const int number = a.size() > 1 ? std::atoi(a.c_str() + 1) : 0;
    r.unit = static_cast<std::uint8_t>((!a.empty() && a[0] == 'B' ? 64 : 0) + number);
    r.name = row[kColName];
    r.location = row[kColLocation];
    read_test_time(row[kColTestDate], r);
    r.testType = row[kColType] == "DT" ? kTestTypeDuration : 0;
    r.minutes = row[kColMinutes] == "none" ? kMinutesNone : static_cast<std::uint8_t>(std::atoi(row[kColMinutes].c_str()));
    r.result = row[kColResult] == "OK" ? kTestResultPassed : row[kColResult] == "FAIL" ? kTestResultFailed : 0;
    return json_entry(r);
}

std::string verdict_key_text(const char* verdictText) {
    std::string key = verdictText;
    for (char& c : key) c = c == ' ' ? '_' : c;
    return key;
}

namespace {

Json wire_value(const StatusItemDef& item, const std::uint8_t* reply) {
    const std::uint8_t byte = reply[item.offset];
    switch (item.kind) {
    case StatusValueKind::Bit:
    case StatusValueKind::BitClear:
        return (byte >> item.bit) & 1;
    case StatusValueKind::Byte:
    case StatusValueKind::ByteTimes4:
        return byte;
    case StatusValueKind::Word:
        return byte | (reply[item.offset + 1] << 8);
    }
    return Json();
}

}  // namespace

Json json_status_items(const std::uint8_t* reply) {
    Json items = Json::array();
    for (const StatusItemDef& item : kStatusItemTable) {
        items.push_back({{"section", item.section},
                         {"item", item.label},
                         {"value", status_value_text(item, reply)},
                         {"raw", wire_value(item, reply)}});
    }
    return items;
}
