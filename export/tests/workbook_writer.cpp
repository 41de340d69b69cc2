// Writes one workbook through the real export procedures, for the
// read-back check with an independent reader (check_workbooks.py). The
// clock is fixed at 2015-07-08 14:03:09 UTC.
//
//   workbook_writer results ROWS.json OUT
//   workbook_writer details UNIT ROWS.json OUT
//   workbook_writer status LINE ADDRESS REPLY_HEX OUT
//
// ROWS.json is an array of rows, each an array of seven texts. REPLY_HEX is
// a status reply frame in hexadecimal.
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

MemoryResultList read_rows(const char* file) {
    std::ifstream in(file);
    const nlohmann::json rows = nlohmann::json::parse(in);
    MemoryResultList list;
    for (const auto& row : rows) {
        RowTexts texts;
        for (std::size_t c = 0; c < texts.size(); ++c) texts[c] = row.at(c).get<std::string>();
        list.insert_row(false, texts);
    }
    return list;
}

std::vector<std::uint8_t> reply_from_hex(const std::string& hex) {
    std::vector<std::uint8_t> reply(1046, 0);
    for (std::size_t i = 0; i + 1 < hex.size() && i / 2 < reply.size(); i += 2) {
        reply[i / 2] = static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return reply;
}

int usage() {
    std::fprintf(stderr,
                 "usage: workbook_writer results ROWS.json OUT\n"
                 "       workbook_writer details UNIT ROWS.json OUT\n"
                 "       workbook_writer status LINE ADDRESS REPLY_HEX OUT\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    set_export_clock([] { return std::time_t{1436364189}; });
    set_trace_sink(nullptr);
    const std::string what = argc > 1 ? argv[1] : "";
    bool ok = false;
    if (what == "results" && argc == 4) {
        const MemoryResultList list = read_rows(argv[2]);
        FixedPathPrompt prompt{std::string(argv[3])};
        ok = run_export([&] { ExportTestResults(list, prompt); });
    } else if (what == "details" && argc == 5) {
        const MemoryResultList list = read_rows(argv[3]);
        FixedPathPrompt prompt{std::string(argv[4])};
        const auto unit = static_cast<std::uint8_t>(std::atoi(argv[2]));
        ok = run_export([&] { ExportDetails(list, unit, prompt); });
    } else if (what == "status" && argc == 6) {
        const std::vector<std::uint8_t> reply = reply_from_hex(argv[4]);
        FixedPathPrompt prompt{std::string(argv[5])};
        ok = run_export([&] {
            ExportStatus(status_items(reply.data()), argv[2], std::atoi(argv[3]), std::time_t{1436364189}, prompt);
        });
    } else {
        return usage();
    }
    return ok ? 0 : 1;
}
