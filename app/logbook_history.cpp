#include "logbook_history.h"

#include "logbook_recording.h"
#include "test_result_record.h"

namespace {

std::string minutes_text(std::uint8_t minutes) { return minutes == 0xFF ? "none" : std::to_string(minutes); }
std::string result_text(std::uint8_t result) { return result == 1 ? "OK" : result == 0xFF ? "FAIL" : "NULL"; }

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
        return {FormatUnitAddress(r.unit), "", "", list_date(r.written), "Note", "", r.text + " (" + r.author + ")",
                r.gateway, ""};
    }
    const LogEntry& e = h.entry;
    return {FormatUnitAddress(e.unit), e.name, e.location, list_date(e.testTime), e.testType == 1 ? "DT" : "FT",
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
