// What the monitor adds to a survey of a full site (128 luminaires) against
// the simulator on loopback: the outcome, the comparison with the previous
// round and the round kept in the store (in memory, and in a SQLite logbook
// with the survey's run in the same transaction), against the survey's own
// time; and the mail of a round in which many luminaires changed, composed.
//
//   build/bench/orvypc-monitor-bench [RUNS]   # default 5
#include "alert_mail.h"
#include "bench_support.h"
#include "logbook.h"
#include "logbook_monitor_store.h"
#include "memory_monitor_store.h"
#include "monitor.h"
#include "site_survey.h"
#include "sim_status_fields.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

constexpr int kCompareSamples = 2000;
// Each turn into the logbook is a transaction synced to disk.
constexpr int kLogbookSamples = 40;
constexpr std::uint8_t kBatteryFault = 0x04;

// Microseconds of `work`, median of kCompareSamples.
template <typename Work>
double median_us(Work&& work, int count = kCompareSamples) {
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        samples.push_back(bench::micros_since(t0));
    }
    return bench::percentile(samples, 0.5);
}

}  // namespace

int main(int argc, char** argv) {
    bench::CountingPrompts prompts;
    GatewaySim sim([] {
        SimConfig full;
        full.luminaires = full_site_luminaires();
        return full;
    }());
    if (!bench::start_quietly_and_connect(sim, prompts)) return std::fprintf(stderr, "no simulator\n"), 1;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    // The round before, and the round after a battery fault on every
    // eighth luminaire.
    std::vector<double> surveyMs;
    SiteSurvey before;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        before = run_site_survey(SurveyOptions{});
        surveyMs.push_back(bench::micros_since(t0) / 1000);
    }
    const std::size_t failureAt = find_status_field("failureStatus")->replyOffset - 17;
    for (int unit = 0; unit < 128; unit += 8)
        sim.change_luminaire(static_cast<std::uint8_t>(unit), [&](SimLuminaire& s) { s.status[failureAt] |= kBatteryFault; });
    const SiteSurvey after = run_site_survey(SurveyOptions{});
    const SiteOutcome previous = compare_outcomes(std::nullopt, site_outcome(before, before.gateway)).baseline;

    std::size_t changes = 0;
    const double compareUs = median_us([&] {
        changes = compare_outcomes(previous, site_outcome(after, after.gateway)).changes.size();
    });
    // The whole turn: outcome, comparison, alert, commit into a store that
    // holds the previous round.
    const double turnUs = median_us([&] {
        MemoryMonitorStore store;
        Monitor monitor(store, {false, DigestPeriod::None, "example.org"});
        store.commit({previous, {}, std::nullopt, {}});
        monitor.take_site(site_outcome(after, after.gateway), 0, nullptr);
    });
    MemoryMonitorStore store;
    Monitor monitor(store, {false, DigestPeriod::None, "example.org"});
    store.commit({previous, {}, std::nullopt, {}});
    monitor.take_site(site_outcome(after, after.gateway), 0, nullptr);
    const Alert alert = store.unsent()->front();
    // The same turn kept in a SQLite logbook: the round with a survey run
    // (no entries: the survey's own recording is the same with or without
    // the monitor) in one transaction.
    const std::filesystem::path file = std::filesystem::temp_directory_path() / ("orvypc-monitor-bench-" + new_run_uid() + ".sqlite");
    std::string why;
    const std::unique_ptr<Logbook> book = open_logbook(file.string(), &why);
    if (!book) return std::fprintf(stderr, "no logbook: %s\n", why.c_str()), 1;
    LogbookMonitorStore kept(book->monitor_state(), "bench");
    Monitor logged(kept, {false, DigestPeriod::None, "example.org"});
    const double logbookUs = median_us(
        [&] {
            kept.commit({previous, {}, std::nullopt, {}});
            RunRecord run;
            run.uid = new_run_uid();
            run.gateway = after.gateway;
            run.kind = "survey";
            book->record_with(run, [&] { return logged.take_site(site_outcome(after, after.gateway), 0, nullptr, run.uid).committed; });
        },
        kLogbookSamples);
    std::filesystem::remove(file);
    std::size_t mailBytes = 0;
    const double mailUs = median_us([&] {
        mailBytes = compose_mail(alert_mail(alert, {"orvypc@example.org", {"tech@example.org"}, "bench"})).size();
    });

    const double survey = bench::percentile(surveyMs, 0.5) * 1000;
    std::printf("survey of %zu luminaires: median %.1f ms (runs: %d)\n", after.luminaires.size(), survey / 1000, runs);
    std::printf("outcome and comparison (%zu changes): median %.1f us, %.3f %% of the survey (goal <= 5 %%)\n", changes,
                compareUs, 100 * compareUs / survey);
    std::printf("the whole turn (outcome, comparison, alert, kept in the store): median %.1f us, %.3f %% of the survey\n",
                turnUs, 100 * turnUs / survey);
    std::printf("the turn kept in a SQLite logbook with its survey's run: median %.1f us, %.3f %% of the survey\n",
                logbookUs, 100 * logbookUs / survey);
    std::printf("its mail composed (%zu bytes): median %.1f us\n", mailBytes, mailUs);
    ResetLink();
    set_prompts(nullptr);
    return 0;
}
