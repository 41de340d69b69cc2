#include "history_rows.h"

#include "logbook_recording.h"

#include <algorithm>
#include <iterator>

namespace {

std::string minutes_text(std::uint8_t minutes) { return minutes == kMinutesNone ? "none" : std::to_string(minutes); }
std::string result_text(std::uint8_t result) {
    return result == kTestResultPassed ? "OK" : result == kTestResultFailed ? "FAIL" : "NULL";
}

// "2026/03/01 10:00:00", as the gateway's lists write a date.
std::string list_date(std::string date) {
    for (char& c : date) {
        if (c == '-') c = '/';
    }
    return date;
}

}  // namespace

LogbookRow history_row(const HistoryItem& h) {
    if (h.isRemark) {
        const Remark& r = h.remark;
        const std::string part = r.is_repair() && !r.part.empty() ? r.part + ": " : "";
        return {FormatUnitAddress(r.unit), "", "", list_date(r.written), r.is_repair() ? "Repair" : "Note", "",
                part + r.text + " (" + r.author + ")", r.gateway, ""};
    }
    const LogEntry& e = h.entry;
    return {FormatUnitAddress(e.unit), e.name, e.location, list_date(e.testTime), e.testType == kTestTypeDuration ? "DT" : "FT",
            minutes_text(e.minutes), result_text(e.result), e.gateway, e.firstRead};
}

std::string on_gateway_text(const HistoryItem& h) {
    if (h.isRemark) return {};
    return !h.onGateway ? "unknown" : *h.onGateway ? "yes" : "no";
}

Remark dated_remark(const std::string& gateway, std::uint8_t unit, const std::string& text) {
    Remark r;
    r.uid = new_run_uid();
    r.gateway = gateway;
    r.unit = unit;
    r.written = local_now_text();
    r.author = system_user_name();
    r.text = text;
    return r;
}

Remark dated_repair(const std::string& gateway, std::uint8_t unit, const std::string& text, const std::string& part) {
    Remark r = dated_remark(gateway, unit, text);
    r.kind = kRemarkRepair;
    r.part = part;
    return r;
}

bool repair_part_known(const std::string& part) {
    return part.empty() || std::find(std::begin(kRepairParts), std::end(kRepairParts), part) != std::end(kRepairParts);
}

TestResultRecord record_of(const LogEntry& e) {
    TestResultRecord r;
    r.unit = e.unit;
    r.name = e.name;
    r.location = e.location;
    read_test_time(e.testTime, r);
    r.testType = e.testType;
    r.result = e.result;
    r.minutes = e.minutes;
    return r;
}

LoggedLine logged_line(const HistoryItem& h) {
    LoggedLine line;
    const LogbookRow row = history_row(h);
    std::copy_n(row.begin(), kResultColumns.size(), line.texts.begin());
    line.texts.back() = on_gateway_text(h);
    if (h.isRemark) {
        line.remark = h.remark.text;
        line.author = h.remark.author;
        line.written = h.remark.written;
        line.repair = h.remark.is_repair();
        line.part = h.remark.part;
    } else {
        line.entry = record_of(h.entry);
        line.onGateway = h.onGateway;
    }
    return line;
}
