// How long the exports take, end to end: starting the in-process
// spreadsheet, every automation call, and the .xlsx written and renamed
// into place. For comparison the same tables (128-row test results, 255-row
// details, the status record's 74 items) are also written by openpyxl in
// the same run.
//
//   orvypc-export-bench [RUNS]        (default 20 runs of each)
//
// Prints milliseconds per workbook for each kind.
#include "export_clock.h"
#include "list_export.h"
#include "status_export.h"
#include "trace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// `count` rows; with more than 128 they repeat the units (a details list of
// one luminaire's many entries has as many rows).
MemoryResultList list_of(int count) {
    MemoryResultList list;
    for (int unit = 0; unit < count; ++unit) {
        char address[8];
        std::snprintf(address, sizeof address, "%c%d", unit < 64 ? 'A' : 'B', unit % 64);
        char date[32];
        std::snprintf(date, sizeof date, "2015/07/%02d %02d:%02d:%02d", 1 + unit % 28, unit % 24, unit % 60,
                      (7 * unit) % 60);
        list.insert_row(false, {address, "Luminaire " + std::to_string(unit), "Floor " + std::to_string(unit / 16),
                                date, unit % 3 == 0 ? "DT" : "FT", unit % 3 == 0 ? "180" : "none",
                                unit % 7 == 0 ? "FAIL" : "OK"});
    }
    return list;
}

std::vector<StatusItem> sample_status() {
    std::uint8_t reply[1046] = {};
    for (int i = 17; i <= 56; ++i) reply[i] = static_cast<std::uint8_t>(i * 37);
    return status_items(reply);
}

template <typename F>
double ms_per_run(int runs, F run) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) run();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    return took.count() / runs;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    set_trace_sink(nullptr);
    set_export_clock([] { return std::time_t{1436364189}; });
    char pattern[] = "/tmp/orvypc-export-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::filesystem::path dir = pattern;

    const MemoryResultList list = list_of(128);
    FixedPathPrompt listPrompt((dir / "results.xlsx").string());
    const double listMs = ms_per_run(runs, [&] { ExportTestResults(list, listPrompt); });

    const std::vector<StatusItem> items = sample_status();
    FixedPathPrompt statusPrompt((dir / "status.xlsx").string());
    const double statusMs = ms_per_run(runs, [&] { ExportStatus(items, "B", 5, 1436364189, statusPrompt); });

    const MemoryResultList details = list_of(255);
    FixedPathPrompt detailsPrompt((dir / "details.xlsx").string());
    const double detailsMs = ms_per_run(runs, [&] { ExportDetails(details, 5, detailsPrompt); });

    std::printf("runs per workbook: %d\n", runs);
    std::printf("%-44s %8.2f ms\n", "test results, 128 rows (automation + xlsx)", listMs);
    std::printf("%-44s %8.2f ms\n", "details, 255 rows (automation + xlsx)", detailsMs);
    std::printf("%-44s %8.2f ms\n", "status record, 2 sheets (automation + xlsx)", statusMs);
    std::fflush(stdout);

    const std::string command = "/usr/bin/python3 " ORVYPC_BENCH_DIR "/openpyxl_table.py " +
                                std::to_string(runs) + " '" + (dir / "openpyxl.xlsx").string() + "'";
    const int status = std::system(command.c_str());
    std::filesystem::remove_all(dir);
    return status == 0 ? 0 : 1;
}
