// Writes one workbook through the real export procedures, for the
// read-back check with an independent reader (check_workbooks.py). The
// clock is fixed at 2015-07-08 14:03:09 UTC.
//
//   workbook_writer results LIST.json OUT
//   workbook_writer details ADDRESS LIST.json OUT
//   workbook_writer status LINE ADDRESS LINES.json OUT
//
// LIST.json is {"headings": [seven texts], "rows": [[seven texts], ...]};
// LINES.json the 74 status lines, each [section, item, value].
#include "export_clock.h"
#include "export_guard.h"
#include "list_export.h"
#include "status_export.h"
#include "trace.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

nlohmann::json read_json(const char* file) {
    std::ifstream in(file);
    return nlohmann::json::parse(in);
}

ListRowTexts row_texts(const nlohmann::json& row) {
    ListRowTexts texts;
    for (std::size_t c = 0; c < texts.size(); ++c) texts[c] = row.at(c).get<std::string>();
    return texts;
}

ListTable read_list(const char* file) {
    const nlohmann::json list = read_json(file);
    ListTable table{row_texts(list.at("headings")), {}};
    for (const auto& row : list.at("rows")) table.rows.push_back(row_texts(row));
    return table;
}

std::vector<StatusLine> read_lines(const char* file) {
    std::vector<StatusLine> lines;
    for (const auto& line : read_json(file)) {
        lines.push_back({line.at(0).get<std::string>(), line.at(1).get<std::string>(), line.at(2).get<std::string>()});
    }
    return lines;
}

int usage() {
    std::fprintf(stderr,
                 "usage: workbook_writer results LIST.json OUT\n"
                 "       workbook_writer details ADDRESS LIST.json OUT\n"
                 "       workbook_writer status LINE ADDRESS LINES.json OUT\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    set_export_clock([] { return std::time_t{1436364189}; });
    set_trace_sink(nullptr);
    const std::string what = argc > 1 ? argv[1] : "";
    bool ok = false;
    if (what == "results" && argc == 4) {
        const ListTable list = read_list(argv[2]);
        FixedPathPrompt prompt{std::string(argv[3])};
        ok = run_export([&] { ExportTestResults([&] { return list; }, prompt); });
    } else if (what == "details" && argc == 5) {
        const ListTable list = read_list(argv[3]);
        FixedPathPrompt prompt{std::string(argv[4])};
        ok = run_export([&] { ExportDetails([&] { return list; }, argv[2], prompt); });
    } else if (what == "status" && argc == 6) {
        const std::vector<StatusLine> lines = read_lines(argv[4]);
        FixedPathPrompt prompt{std::string(argv[5])};
        ok = run_export([&] { ExportStatus(lines, argv[2], std::atoi(argv[3]), std::time_t{1436364189}, prompt); });
    } else {
        return usage();
    }
    return ok ? 0 : 1;
}
