// The list workbooks of the two result lists: the lists' headings and rows
// handed to the export's layout as plain texts, read when the sheet is
// filled. What the pages and the command line call.
#pragma once

#include "list_export.h"
#include "result_list.h"
#include "test_result_record.h"

#include <cstdint>
#include <type_traits>

static_assert(std::is_same_v<RowTexts, ListRowTexts>, "a result row is one row of a list workbook");

// Reads `list` when called; `list` must outlive the reader.
inline ListReader list_reader(const ResultList& list) {
    return [&list] {
        ListTable table;
        for (std::size_t c = 0; c < kListColumnCount; ++c) table.headings[c] = kResultColumns[c];
        table.rows = list.rows();
        return table;
    };
}

inline void ExportTestResults(const ResultList& list, SavePrompt& prompt) {
    ExportTestResults(list_reader(list), prompt);
}

// The details of the luminaire `ucSelectUnit`; its address text begins the
// proposed file name.
inline void ExportDetails(const ResultList& list, std::uint8_t ucSelectUnit, SavePrompt& prompt) {
    ExportDetails(list_reader(list), FormatUnitAddress(ucSelectUnit), prompt);
}
