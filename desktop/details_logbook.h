// The logbook behind the Details page of the desktop program: the history
// of a luminaire of the connected gateway's site as the page's rows, and
// its remarks and repairs, in the logbook that the program records into.
#pragma once

#include "luminaire_logbook.h"

#include "logbook.h"

#include <memory>
#include <string>

class DetailsLogbook final : public LuminaireLogbook {
public:
    // `where`: --logbook as given (empty: the configured logbook).
    explicit DetailsLogbook(std::string where) : m_where(std::move(where)) {}

    LogbookOutcome history(std::uint8_t unit, std::vector<HistoryRow>* rows) override;
    LogbookOutcome add_remark(std::uint8_t unit, const std::string& text) override;
    LogbookOutcome add_repair(std::uint8_t unit, const std::string& text, const std::string& part) override;

private:
    // The logbook for one call, opened anew each time (its opening costs
    // the same for a logbook of years).
    std::shared_ptr<Logbook> Open(std::string* why, std::string* note);
    LogbookOutcome Write(Remark remark);

    std::string m_where;
};
