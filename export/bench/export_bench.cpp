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
#include "xlsx_file.h"
#include "status_export.h"
#include "trace.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

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

// The plain libxlsxwriter program, a process of its own: it writes the
// workbook each time it is asked and answers with the milliseconds it took.
class PlainProgram {
public:
    // `allocator`: extra environment (NAME=VALUE), or empty for the defaults.
    PlainProgram(const std::string& rowsFile, const std::string& out, const std::vector<std::string>& allocator) {
        int toChild[2], fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) std::exit(1);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(toChild[0], 0);
            ::dup2(fromChild[1], 1);
            ::close(toChild[1]);
            ::close(fromChild[0]);
            for (const std::string& setting : allocator) ::putenv(const_cast<char*>(setting.c_str()));
            ::execl(ORVYPC_PLAIN_PROGRAM, ORVYPC_PLAIN_PROGRAM, rowsFile.c_str(), out.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        requests_ = ::fdopen(toChild[1], "w");
        answers_ = ::fdopen(fromChild[0], "r");
    }
    ~PlainProgram() {
        std::fclose(requests_);
        std::fclose(answers_);
        ::waitpid(pid_, nullptr, 0);
    }
    double write_once() {
        std::fputs("go\n", requests_);
        std::fflush(requests_);
        double ms = 0;
        if (std::fscanf(answers_, "%lf", &ms) != 1) {
            std::fprintf(stderr, "the plain libxlsxwriter program failed\n");
            std::exit(1);
        }
        return ms;
    }

private:
    pid_t pid_ = -1;
    std::FILE* requests_ = nullptr;
    std::FILE* answers_ = nullptr;
};

// The export and the plain program in turns, so both see the same machine:
// the plain program as it is (the C library's defaults) and with the heap
// settings the export's process takes for its saves (kSaveHeapKeptBytes).
struct SideBySide {
    double exportMs, plainMs, plainSameHeapMs, ratio, ratioSameHeap;
};

SideBySide side_by_side(int runs, const ListTable& list, const std::filesystem::path& dir) {
    const std::string rowsFile = (dir / "rows.tsv").string();
    {
        std::ofstream tsv(rowsFile);
        auto line = [&](const ListRowTexts& row) {
            for (std::size_t c = 0; c < row.size(); ++c) tsv << row[c] << (c + 1 < row.size() ? '\t' : '\n');
        };
        line(list.headings);
        for (const ListRowTexts& row : list.rows) line(row);
    }
    PlainProgram plain(rowsFile, (dir / "plain.xlsx").string(), {});
    PlainProgram sameHeap(rowsFile, (dir / "plain-same-heap.xlsx").string(),
                          {"MALLOC_TRIM_THRESHOLD_=" + std::to_string(kSaveHeapKeptBytes),
                           "MALLOC_MMAP_THRESHOLD_=" + std::to_string(kSaveMmapThresholdBytes)});
    FixedPathPrompt prompt((dir / "results.xlsx").string());
    std::vector<double> exportMs, plainMs, sameHeapMs, ratios, ratiosSameHeap;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        ExportTestResults([&] { return list; }, prompt);
        exportMs.push_back(ms_since(start));
        plainMs.push_back(plain.write_once());
        sameHeapMs.push_back(sameHeap.write_once());
        ratios.push_back(exportMs.back() / plainMs.back());
        ratiosSameHeap.push_back(exportMs.back() / sameHeapMs.back());
    }
    return {median(exportMs), median(plainMs), median(sameHeapMs), median(ratios), median(ratiosSameHeap)};
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
    std::printf("%-44s %8.2f ms\n", "  ... with the export's heap settings", pair.plainSameHeapMs);
    std::printf("%-44s %8.2f\n", "ratio export / plain program (median)", pair.ratio);
    std::printf("%-44s %8.2f\n", "  ... with the export's heap settings", pair.ratioSameHeap);
    std::printf("%-44s %8.2f ms\n", "details, 255 rows (automation + xlsx)", detailsMs);
    std::printf("%-44s %8.2f ms\n", "status record, 2 sheets (automation + xlsx)", statusMs);
    std::fflush(stdout);

    const std::string command = "/usr/bin/python3 " ORVYPC_BENCH_DIR "/openpyxl_table.py " +
                                std::to_string(runs) + " '" + (dir / "openpyxl.xlsx").string() + "'";
    const int status = std::system(command.c_str());
    std::filesystem::remove_all(dir);
    return status == 0 ? 0 : 1;
}
