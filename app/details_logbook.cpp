#include "details_logbook.h"

#include "gateway_link.h"
#include "link_settings.h"
#include "logbook_history.h"
#include "logbook_recording.h"

namespace {

// The page's row of a history line: the details list's seven columns and
// whether the gateway holds it still.
HistoryRow page_row(const HistoryItem& h)
{
    const LogbookRow line = history_row(h);
    HistoryRow row;
    std::copy(line.begin(), line.begin() + row.texts.size() - 1, row.texts.begin());
    row.texts.back() = on_gateway_text(h);
    row.remark = h.isRemark;
    row.goneFromGateway = !h.isRemark && h.onGateway.has_value() && !*h.onGateway;
    return row;
}

// Opened anew for each call, as the recording does: a server that is away
// fails within its connect time-out, and this machine's file stands in.
OpenedLogbook open_logbook_of(const std::string& where)
{
    return open_for_recording({where, link_settings()});
}

std::string fell_back_note(const OpenedLogbook& opened)
{
    if (!opened.fellBack) return {};
    return "The team logbook is away (" + opened.why + "); this is " + opened.book->where() +
           " on this machine ('orvypc logbook sync' pushes it later).";
}

}  // namespace

LogbookOutcome DetailsLogbook::history(std::uint8_t unit, std::vector<HistoryRow>* rows)
{
    const OpenedLogbook opened = open_logbook_of(m_where);
    if (!opened.book) return {false, opened.why};
    for (const HistoryItem& h : opened.book->history(g_link.pucDestIpBuf, unit, "")) rows->push_back(page_row(h));
    return {true, fell_back_note(opened)};
}

LogbookOutcome DetailsLogbook::add_remark(std::uint8_t unit, const std::string& text)
{
    // A remark belongs to a luminaire of one gateway: the one the link has.
    const std::string gateway = g_link.pucDestIpBuf;
    if (gateway.empty()) return {false, "no gateway is connected"};
    const OpenedLogbook opened = open_logbook_of(m_where);
    if (!opened.book) return {false, opened.why};
    if (!opened.book->add_remark(dated_remark(gateway, unit, text))) return {false, opened.book->error()};
    return {true, fell_back_note(opened)};
}
