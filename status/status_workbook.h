// The status workbook of one luminaire: its 74 status items handed to the
// export's layout as plain section, item and value texts. What the status
// page and the command line call.
#pragma once

#include "status_export.h"
#include "status_record.h"

static_assert(kStatusItemCount == kStatusLineCount, "every status item is one line of the workbook");

inline std::vector<StatusLine> status_lines(const std::vector<StatusItem>& items) {
    std::vector<StatusLine> lines;
    lines.reserve(items.size());
    for (const StatusItem& item : items) lines.push_back({item.section, item.label, item.value});
    return lines;
}

// As ExportStatus of the export, for the decoded items.
inline void ExportStatus(const std::vector<StatusItem>& items, std::string_view lineLetter, int shortAddress,
                         std::time_t printTime, SavePrompt& prompt) {
    ExportStatus(status_lines(items), lineLetter, shortAddress, printTime, prompt);
}
