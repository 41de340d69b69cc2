// The logbook's speed: a survey's recording (with and without its seal),
// the same again (duplicates only), one luminaire's history from a logbook
// of about a million entries, opening it against opening an empty one, and
// the walk of its seal chain. Against a SQLite file in a temporary folder,
// or a PostgreSQL server named by its URL. See bench/README.md.
#include "logbook.h"
#include "logbook_stores.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kLuminaires = 128;          // two lines of 64
constexpr int kEntriesEach = 255;         // what a gateway stores per luminaire
constexpr std::size_t kMillion = 1000000;
constexpr int kHistoryRounds = 50;
constexpr int kOpenRounds = 21;
constexpr int kRecordRounds = 3;
const char* const kGateway = "192.168.1.20";

double ms_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// A survey's entries; `epoch` shifts the dates, so each epoch's entries are
// new to the logbook.
RunRecord survey(int epoch) {
    RunRecord run;
    run.uid = new_run_uid();
    run.gateway = kGateway;
    run.kind = "survey";
    run.complete = true;
    for (int u = 0; u < kLuminaires; ++u) {
        run.fullListings.push_back(static_cast<std::uint8_t>(u));
        for (int i = 0; i < kEntriesEach; ++i) {
            LogEntry e;
            e.gateway = kGateway;
            e.unit = static_cast<std::uint8_t>(u);
            e.testType = i % 12 == 0 ? 1 : 0;
            char when[32];
            const int day = epoch * kEntriesEach + i;   // one test a day
            std::snprintf(when, sizeof when, "%04d-%02d-%02d 10:%02d:00", 1990 + day / 336, 1 + day / 28 % 12,
                          1 + day % 28, u % 60);
            e.testTime = when;
            e.result = i % 17 == 0 ? 0xFF : 1;
            e.minutes = e.testType == 1 ? 180 : 1;
            e.name = "Luminaire " + std::to_string(u);
            e.location = "Level " + std::to_string(u / 16) + " corridor";
            run.entries.push_back(e);
        }
    }
    return run;
}

bool timed_record(Logbook& book, const RunRecord& run, const char* what) {
    RecordCounts counts;
    const auto t0 = std::chrono::steady_clock::now();
    const bool ok = book.record(run, &counts);
    const double ms = ms_since(t0);
    if (!ok) {
        std::fprintf(stderr, "%s failed: %s\n", what, book.error().c_str());
        return false;
    }
    std::printf("%-44s %9.1f ms  (%zu new, %zu duplicates)\n", what, ms, counts.added, counts.duplicates);
    return true;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The median time of opening (and closing) the logbook at `where`.
double opening_ms(const std::string& where) {
    std::vector<double> times;
    for (int i = 0; i < kOpenRounds; ++i) {
        std::string why;
        const auto t0 = std::chrono::steady_clock::now();
        const bool opened = open_logbook(where, &why) != nullptr;
        times.push_back(ms_since(t0));
        if (!opened) std::fprintf(stderr, "opening failed: %s\n", why.c_str());
    }
    return median(times);
}

// A new survey into a new file, sealed and not, in turns: the medians.
bool sealing_cost(const std::filesystem::path& dir) {
    std::vector<double> sealed, unsealed;
    for (int round = 0; round < kRecordRounds; ++round) {
        for (const bool seal : {true, false}) {
            const std::string path = (dir / ("cost-" + std::to_string(round) + (seal ? "-sealed" : "-unsealed"))).string();
            std::string why;
            std::unique_ptr<Logbook> book =
                seal ? open_logbook(path, &why) : open_unsealed_sqlite_logbook_for_benchmark(path, &why);
            const RunRecord run = survey(0);
            const auto t0 = std::chrono::steady_clock::now();
            if (!book || !book->record(run)) {
                std::fprintf(stderr, "recording failed: %s\n", book ? book->error().c_str() : why.c_str());
                return false;
            }
            (seal ? sealed : unsealed).push_back(ms_since(t0));
        }
    }
    const double with = median(sealed), without = median(unsealed);
    std::printf("%-44s %9.1f ms  median of %d, new files\n", "survey, sealed", with, kRecordRounds);
    std::printf("%-44s %9.1f ms  (sealing adds %.1f %%)\n", "survey, without its seal", without,
                100.0 * (with - without) / without);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string server = argc > 1 ? argv[1] : "";
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("orvypc-logbook-bench-" + new_run_uid().substr(0, 8));
    const std::string where = server.empty() ? (dir / "bench.sqlite").string() : server;
    std::string why;
    std::unique_ptr<Logbook> book = open_logbook(where, &why);
    if (!book) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    if (book->entry_count() != 0) {
        std::fprintf(stderr, "%s is not empty: give the benchmark a logbook of its own\n", book->where().c_str());
        return 1;
    }
    std::printf("logbook: %s\n", book->where().c_str());
    double emptyOpening = 0;
    if (server.empty()) {
        book.reset();   // as the million-entry one below: no other connection
        emptyOpening = opening_ms(where);
        book = open_logbook(where, &why);
        std::printf("%-44s %9.2f ms  median of %d\n", "opening the empty file", emptyOpening, kOpenRounds);
        if (!sealing_cost(dir)) return 1;
    }
    RunRecord first = survey(0);
    RunRecord again = first;
    again.uid = new_run_uid();
    if (!timed_record(*book, first, "survey, 128 x 255 entries, all new") ||
        !timed_record(*book, again, "the same survey again, all duplicates"))
        return 1;

    // Up to a million entries, all on the one gateway: 7,800 or so per
    // luminaire, more history than decades of monthly tests make.
    const auto t0 = std::chrono::steady_clock::now();
    for (int epoch = 1; book->entry_count() < kMillion; ++epoch) {
        if (!book->record(survey(epoch))) {
            std::fprintf(stderr, "filling failed: %s\n", book->error().c_str());
            return 1;
        }
    }
    std::printf("%-44s %9.1f s   (%zu entries)\n", "filling", ms_since(t0) / 1000, book->entry_count());

    std::vector<double> times;
    std::size_t rows = 0;
    for (int i = 0; i < kHistoryRounds; ++i) {
        const auto t1 = std::chrono::steady_clock::now();
        rows = book->history(address_site_uid(kGateway), static_cast<std::uint8_t>(i % kLuminaires), "").items.size();
        times.push_back(ms_since(t1));
    }
    std::sort(times.begin(), times.end());
    std::printf("%-44s %9.1f ms  median, %.1f ms max (%zu entries)\n", "history of one luminaire", times[times.size() / 2],
                times.back(), rows);
    const auto t2 = std::chrono::steady_clock::now();
    const std::size_t recent = book->history(address_site_uid(kGateway), 5, "2012-01-01").items.size();
    std::printf("%-44s %9.1f ms  (%zu entries)\n", "history of one luminaire since 2012-01-01", ms_since(t2), recent);
    if (server.empty()) {
        book.reset();
        const double fullOpening = opening_ms(where);
        std::printf("%-44s %9.2f ms  median of %d (%.1f x the empty one; %.0f MB)\n", "opening the million-entry file",
                    fullOpening, kOpenRounds, fullOpening / emptyOpening,
                    static_cast<double>(std::filesystem::file_size(where)) / 1e6);
        book = open_logbook(where, &why);
    }
    const auto t3 = std::chrono::steady_clock::now();
    const ChainCheck chain = book->verify_seals();
    std::printf("%-44s %9.1f s   (%zu runs, %s)\n", "logbook verify: the whole seal chain", ms_since(t3) / 1000,
                chain.runs, chain.holds() ? "holds" : "DOES NOT HOLD");
    if (server.empty()) {
        const auto t4 = std::chrono::steady_clock::now();
        const std::string problem = book->integrity_problem();
        std::printf("%-44s %9.1f s   (%s)\n", "the integrity check of the whole file", ms_since(t4) / 1000,
                    problem.empty() ? "ok" : problem.c_str());
        book.reset();
        std::filesystem::remove_all(dir);
    }
    return chain.holds() ? 0 : 1;
}
