// The report's speed, end to end: open the logbook, read the period, compute
// the report, write its PDF. A site of 128 luminaires with four years of
// monthly function tests, yearly duration tests, 100 remarks and a status
// snapshot each; then the same site with 36 more years of tests before them,
// to show that a report's cost follows the period, not the logbook.
//
//   orvypc-report-bench [RUNS]
//
// The logbooks are SQLite files in a temporary folder.
#include "logbook.h"
#include "report_pdf.h"
#include "site_report.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kLuminaires = 128;
constexpr int kRemarks = 100;
const char* const kGateway = "192.168.1.20";
const char* const kLastDay = "2026-12-31";

double ms_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

std::string date(int year, int month, int day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

// One year of a luminaire's tests: a function test each month, the
// duration test in June, one failure in twenty.
void add_year(RunRecord& run, int unit, int year) {
    for (int month = 1; month <= 12; ++month) {
        for (const bool duration : {false, true}) {
            if (duration && month != 6) continue;
            LogEntry e;
            e.gateway = kGateway;
            e.unit = static_cast<std::uint8_t>(unit);
            e.testType = duration ? 1 : 0;
            e.testTime = date(year, month, 1 + unit % 28) + (duration ? " 02:00:00" : " 01:00:00");
            e.result = (unit + month + year) % 20 == 0 ? 0xFF : 1;
            e.minutes = duration ? 180 : 1;
            e.name = "Luminaire " + std::to_string(unit);
            e.location = "Level " + std::to_string(unit / 16) + " corridor";
            run.entries.push_back(e);
        }
    }
}

RunRecord years_of_tests(int firstYear, int lastYear, bool snapshots) {
    RunRecord run;
    run.uid = new_run_uid();
    run.gateway = kGateway;
    run.kind = "survey";
    run.complete = true;
    for (int unit = 0; unit < kLuminaires; ++unit) {
        for (int year = firstYear; year <= lastYear; ++year) add_year(run, unit, year);
        if (!snapshots) continue;
        StatusSnapshot s;
        s.gateway = kGateway;
        s.unit = static_cast<std::uint8_t>(unit);
        s.taken = std::string(kLastDay) + "T12:00:00Z";
        s.status[31 - 17] = 28;
        s.status[33 - 17] = 52;
        s.status[47 - 17] = 180;
        run.snapshots.push_back(s);
    }
    return run;
}

bool fill(const std::string& where, int firstYear, std::size_t* entries) {
    std::string why;
    std::unique_ptr<Logbook> book = open_logbook(where, &why);
    if (!book) {
        std::fprintf(stderr, "report-bench: %s\n", why.c_str());
        return false;
    }
    // The four years of the report, then the years before them.
    if (!book->record(years_of_tests(2023, 2026, true))) return false;
    if (firstYear < 2023 && !book->record(years_of_tests(firstYear, 2022, false))) return false;
    for (int i = 0; i < kRemarks; ++i) {
        const Remark r{new_run_uid(), kGateway, static_cast<std::uint8_t>(i % kLuminaires),
                       date(2023 + i % 4, 1 + i % 12, 15) + " 10:00:00", "tech", "lamp cleaned, label renewed"};
        if (!book->add_remark(r)) return false;
    }
    *entries = book->entry_count();
    return true;
}

struct Timing {
    double open = 0, read = 0, compute = 0, pdf = 0, total = 0;
};

// One report, end to end, with the time of each step.
Timing report_once(const std::string& where, const std::string& from, const std::string& pdf) {
    Timing t;
    const auto t0 = std::chrono::steady_clock::now();
    std::string why;
    std::unique_ptr<Logbook> book = open_logbook(where, &why);
    t.open = ms_since(t0);
    ReportRequest request;
    request.siteUid = address_site_uid(kGateway);
    request.site = {kGateway, {kGateway}};
    request.from = from;
    request.to = kLastDay;
    request.madeBy = "bench";
    request.machine = "bench";
    auto t1 = std::chrono::steady_clock::now();
    const std::optional<ReportInput> input = book ? read_report_input(*book, request, &why) : std::nullopt;
    t.read = ms_since(t1);
    if (!input) {
        std::fprintf(stderr, "report-bench: %s\n", why.c_str());
        std::exit(1);
    }
    // A report of nobody would be quick and prove nothing.
    if (input->luminaires.size() != static_cast<std::size_t>(kLuminaires) || input->entries.empty()) {
        std::fprintf(stderr, "report-bench: the period read %zu luminaires and %zu entries, not the site\n",
                     input->luminaires.size(), input->entries.size());
        std::exit(1);
    }
    t1 = std::chrono::steady_clock::now();
    const ReportContent content = compute_report(*input);
    t.compute = ms_since(t1);
    t1 = std::chrono::steady_clock::now();
    if (const std::string failed = write_report_pdf(content, pdf); !failed.empty()) {
        std::fprintf(stderr, "report-bench: %s\n", failed.c_str());
        std::exit(1);
    }
    t.pdf = ms_since(t1);
    t.total = ms_since(t0);
    return t;
}

void measure(const char* what, const std::string& where, const std::string& from, const std::string& pdf, int runs) {
    std::vector<Timing> all;
    for (int i = 0; i < runs; ++i) all.push_back(report_once(where, from, pdf));
    std::sort(all.begin(), all.end(), [](const Timing& a, const Timing& b) { return a.total < b.total; });
    const Timing& median = all[all.size() / 2];
    std::printf("%-44s median %7.1f ms (open %.1f, read %.1f, compute %.1f, PDF %.1f), fastest %.1f, slowest %.1f; "
                "%ju bytes\n",
                what, median.total, median.open, median.read, median.compute, median.pdf, all.front().total,
                all.back().total, static_cast<std::uintmax_t>(std::filesystem::file_size(pdf)));
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    if (!report_pdf_available()) {
        std::fprintf(stderr, "report-bench: %s\n", kNoReportPdf);
        return 1;
    }
    const auto dir = std::filesystem::temp_directory_path() / ("orvypc-report-bench-" + new_run_uid().substr(0, 8));
    std::filesystem::create_directories(dir);
    const std::string pdf = (dir / "report.pdf").string();
    const std::string four = (dir / "four-years.sqlite").string();
    const std::string forty = (dir / "forty-years.sqlite").string();
    std::size_t fourEntries = 0, fortyEntries = 0;
    if (!fill(four, 2023, &fourEntries) || !fill(forty, 1987, &fortyEntries)) return 1;
    std::printf("128 luminaires, %d remarks; logbooks of %zu and %zu entries\n", kRemarks, fourEntries, fortyEntries);
    measure("four years (48 months), 4-year logbook", four, "2023-01-01", pdf, runs);
    measure("twelve months, 4-year logbook", four, "2026-01-01", pdf, runs);
    measure("twelve months, 40-year logbook", forty, "2026-01-01", pdf, runs);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
