// The logbook as the Details page sees it: the history of one luminaire of
// the connected gateway as rows of texts, and a remark or a repair to add
// to it. The
// program sets one when it keeps a logbook (not with --no-logbook); without
// one the page's logbook controls are off, so the page runs the same in its
// tests. No logbook types here: the page only shows texts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The history list: the details list's seven columns and whether the
// gateway still holds the entry.
inline constexpr std::array<const char*, 8> kHistoryColumns = {
    "Address", "Name", "Location", "Test Date", "Type", "Time(min)", "Result", "On Gateway"};

struct HistoryRow {
    std::array<std::string, kHistoryColumns.size()> texts;
    bool remark = false;
    bool goneFromGateway = false;   // the gateway's last full list lacked it
};

// What a read or a write came to. `done` false: nothing was read or
// written, `note` says why. `done` true: `note` may still say something
// the user should know (the team server was away, this machine's logbook
// was used instead).
struct LogbookOutcome {
    bool done = false;
    std::string note;
};

class LuminaireLogbook {
public:
    virtual ~LuminaireLogbook() = default;
    // Every entry and remark of the luminaire, newest first.
    virtual LogbookOutcome history(std::uint8_t unit, std::vector<HistoryRow>* rows) = 0;
    // A dated remark by the user logged in here; `text` is not empty.
    virtual LogbookOutcome add_remark(std::uint8_t unit, const std::string& text) = 0;
    // The same for a repair; `part` "battery", "lamp", "gear", "other", or
    // empty (not said).
    virtual LogbookOutcome add_repair(std::uint8_t unit, const std::string& text, const std::string& part) = 0;
};

void set_luminaire_logbook(LuminaireLogbook* logbook);   // null: none
LuminaireLogbook* luminaire_logbook();
