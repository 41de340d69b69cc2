// How long the exports take, end to end: starting the in-process
// spreadsheet, every automation call, and the .xlsx written, flushed and
// renamed into place. The 128-row test results workbook is timed in turns
// with a plain C program that writes the same workbook by calling
// libxlsxwriter directly (plain_list_workbook.c, its file flushed to disk
// too), and the ratio of the two is printed. For comparison the same
// tables (128-row test results, 255-row details, the status record's 74
// items) are also written by openpyxl in the same run.
//
//   orvypc-export-bench [RUNS]        (default 20 runs of each)
//
// Prints the median milliseconds per workbook for each kind.
#include "export_clock.h"
#include "list_export.h"
#include "plain_list_workbook.h"
#include "status_export.h"
#include "trace.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// `count` rows; with more than 128 they repeat the units (a details list of
// one luminaire's many entries has as many rows).
ListTable list_of(int count) {
    ListTable list{{"Address", "Name", "Location", "Test Date", "Type", "Time(min)", "Result"}, {}};
    for (int unit = 0; unit < count; ++unit) {
        char address[8];
        std::snprintf(address, sizeof address, "%c%d", unit < 64 ? 'A' : 'B', unit % 64);
        char date[32];
        std::snprintf(date, sizeof date, "2015/07/%02d %02d:%02d:%02d", 1 + unit % 28, unit % 24, unit % 60,
                      (7 * unit) % 60);
        list.rows.push_back({address, "Luminaire " + std::to_string(unit), "Floor " + std::to_string(unit / 16),
                                date, unit % 3 == 0 ? "DT" : "FT", unit % 3 == 0 ? "180" : "none",
                                unit % 7 == 0 ? "FAIL" : "OK"});
    }
    return list;
}

// 74 lines in nine sections as long as a status record's.
std::vector<StatusLine> sample_status() {
    const std::pair<const char*, int> sections[] = {
        {"Status", 8}, {"Test Timing", 6}, {"Default parameters", 7}, {"Member of Group(s)", 16},
        {"Features", 8}, {"Operating mode", 8}, {"Additional information", 5}, {"Emergency status", 8},
        {"Faults", 8}};
    std::vector<StatusLine> lines;
    for (const auto& [name, count] : sections) {
        for (int i = 0; i < count; ++i) {
            lines.push_back({name, "Item " + std::to_string(lines.size()), i % 2 ? "Yes" : std::to_string(i * 37) + " %"});
        }
    }
    return lines;
}

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

template <typename F>
double median_ms(int runs, F run) {
    std::vector<double> took;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        run();
        took.push_back(ms_since(start));
    }
    return median(took);
}

// The export and the plain libxlsxwriter program in turns, so both see the
// same machine; the medians of each and of the per-pair ratio.
struct SideBySide {
    double exportMs, plainMs, ratio;
};

SideBySide side_by_side(int runs, const ListTable& list, const std::filesystem::path& dir) {
    std::vector<const char*> cells;
    for (const ListRowTexts& row : list.rows) {
        for (const std::string& text : row) cells.push_back(text.c_str());
    }
    const char* headings[kListColumnCount];
    for (std::size_t c = 0; c < kListColumnCount; ++c) headings[c] = list.headings[c].c_str();
    const std::string plainPath = (dir / "plain.xlsx").string();
    FixedPathPrompt prompt((dir / "results.xlsx").string());
    std::vector<double> exportMs, plainMs, ratios;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        ExportTestResults([&] { return list; }, prompt);
        exportMs.push_back(ms_since(start));
        start = Clock::now();
        if (plain_list_workbook(plainPath.c_str(), headings, cells.data(), static_cast<int>(list.rows.size()),
                                1436364189, /*fsyncFile=*/1) != 0) {
            std::fprintf(stderr, "the plain libxlsxwriter program failed\n");
            std::exit(1);
        }
        plainMs.push_back(ms_since(start));
        ratios.push_back(exportMs.back() / plainMs.back());
    }
    return {median(exportMs), median(plainMs), median(ratios)};
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    set_trace_sink(nullptr);
    set_export_clock([] { return std::time_t{1436364189}; });
    char pattern[] = "/tmp/orvypc-export-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::filesystem::path dir = pattern;

    const ListTable list = list_of(128);
    const SideBySide pair = side_by_side(runs, list, dir);

    const std::vector<StatusLine> items = sample_status();
    FixedPathPrompt statusPrompt((dir / "status.xlsx").string());
    const double statusMs = median_ms(runs, [&] { ExportStatus(items, "B", 5, 1436364189, statusPrompt); });

    const ListTable details = list_of(255);
    FixedPathPrompt detailsPrompt((dir / "details.xlsx").string());
    const double detailsMs = median_ms(runs, [&] { ExportDetails([&] { return details; }, "A5", detailsPrompt); });

    std::printf("runs per workbook: %d\n", runs);
    std::printf("%-44s %8.2f ms\n", "test results, 128 rows (automation + xlsx)", pair.exportMs);
    std::printf("%-44s %8.2f ms\n", "the same, plain libxlsxwriter program", pair.plainMs);
    std::printf("%-44s %8.2f\n", "ratio export / plain program (median)", pair.ratio);
    std::printf("%-44s %8.2f ms\n", "details, 255 rows (automation + xlsx)", detailsMs);
    std::printf("%-44s %8.2f ms\n", "status record, 2 sheets (automation + xlsx)", statusMs);
    std::fflush(stdout);

    const std::string command = "/usr/bin/python3 " ORVYPC_BENCH_DIR "/openpyxl_table.py " +
                                std::to_string(runs) + " '" + (dir / "openpyxl.xlsx").string() + "'";
    const int status = std::system(command.c_str());
    std::filesystem::remove_all(dir);
    return status == 0 ? 0 : 1;
}
