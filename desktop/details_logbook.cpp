#include "details_logbook.h"

#include "gateway_link.h"
#include "link_settings.h"
#include "history_rows.h"
#include "logbook_recording.h"
#include "site_choice.h"

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

std::string fell_back_note(const OpenedLogbook& opened)
{
    if (!opened.fellBack) return {};
    return "The team logbook is away (" + opened.why + "); this is " + opened.book->where() +
           " on this machine ('orvypc logbook sync' pushes it later).";
}

}  // namespace

std::shared_ptr<Logbook> DetailsLogbook::Open(std::string* why, std::string* note)
{
    // A server that is away fails within its connect time-out, and this
    // machine's file stands in, as for the recording.
    OpenedLogbook opened = open_for_recording({m_where, link_settings()});
    if (!opened.book) {
        *why = opened.why;
        return nullptr;
    }
    *note = fell_back_note(opened);
    return opened.book;
}

LogbookOutcome DetailsLogbook::history(std::uint8_t unit, std::vector<HistoryRow>* rows)
{
    std::string why, note;
    const std::shared_ptr<Logbook> book = Open(&why, &note);
    if (!book) return {false, why};
    // The site of the connected gateway: the one its listings went under.
    const std::optional<Site> site = known_site(*book, g_link.pucDestIpBuf, {}, &why);
    if (!site) return {true, note.empty() ? "The logbook holds nothing of this gateway yet." : note};
    const HistoryRead read = book->history(site->uid, unit, "");
    if (!read.complete) {
        return {false, "the logbook's history could not be read whole: " + book->error()};
    }
    for (const HistoryItem& h : read.items) rows->push_back(page_row(h));
    return {true, note};
}

LogbookOutcome DetailsLogbook::add_remark(std::uint8_t unit, const std::string& text)
{
    return Write(dated_remark(g_link.pucDestIpBuf, unit, text));
}

LogbookOutcome DetailsLogbook::add_repair(std::uint8_t unit, const std::string& text, const std::string& part)
{
    return Write(dated_repair(g_link.pucDestIpBuf, unit, text, part));
}

LogbookOutcome DetailsLogbook::Write(Remark remark)
{
    // A remark belongs to a luminaire of one gateway's site: the one the
    // link has.
    if (remark.gateway.empty()) return {false, "no gateway is connected"};
    std::string why, note;
    const std::shared_ptr<Logbook> book = Open(&why, &note);
    if (!book) return {false, why};
    if (const std::optional<Site> site = known_site(*book, remark.gateway, {}, &why)) remark.site = site->uid;
    if (!book->add_remark(remark)) return {false, book->error()};
    return {true, note};
}
