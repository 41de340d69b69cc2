// The site survey of a full site (128 luminaires) against the simulator on
// loopback: the survey's time against its number of exchanges times the
// median single status exchange of the same run, and the survey workbook.
//
//   build/bench/orvypc-survey-bench [RUNS]   # default 5
#include "bench_support.h"
#include "export_guard.h"
#include "save_prompt.h"
#include "site_survey.h"
#include "status_record.h"
#include "survey_export.h"
#include "listings.h"
#include "command_frame.h"

#include <functional>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr int kStatusSamples = 1000;
constexpr int kWarmUp = 100;
constexpr int kListingSamples = 30;
constexpr double kRealGatewayQueriesPerSecond = 20;   // what a DALI bus answers, about

double median_status_exchange_us(std::uint8_t unit) {
    std::vector<double> samples;
    for (int i = 0; i < kWarmUp + kStatusSamples; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        if (!QueryStatus(unit)) std::fprintf(stderr, "status exchange failed\n");
        if (i >= kWarmUp) samples.push_back(bench::micros_since(t0));
    }
    return bench::percentile(samples, 0.5);
}

// Microseconds per exchange of one listing, median of `samples` listings.
double median_listing_exchange_us(const std::function<void(ResultList&)>& listing, std::size_t exchanges) {
    std::vector<double> samples;
    for (int i = 0; i < kListingSamples; ++i) {
        MemoryResultList list;
        const auto t0 = std::chrono::steady_clock::now();
        listing(list);
        samples.push_back(bench::micros_since(t0) / static_cast<double>(exchanges));
    }
    return bench::percentile(samples, 0.5);
}

std::size_t count_of(const GatewaySim& sim, std::uint8_t cmd) {
    std::size_t n = 0;
    for (const auto& f : sim.received_frames()) n += f.size() > 14 && f[14] == cmd;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    bench::CountingPrompts prompts;
    SimConfig config;
    config.luminaires = full_site_luminaires();
    GatewaySim sim(config);
    if (!bench::start_quietly_and_connect(sim, prompts)) {
        std::fprintf(stderr, "no simulator\n");
        return 1;
    }

    std::vector<double> surveyMs, ratios, kindRatios, workbookMs;
    std::size_t exchanges = 0, luminaires = 0;
    SiteSurvey last;
    for (int r = 0; r < runs; ++r) {
        const double exchangeUs = median_status_exchange_us(0);
        sim.clear_received_frames();
        const auto t0 = std::chrono::steady_clock::now();
        last = run_site_survey(SurveyOptions{});
        const double us = bench::micros_since(t0);
        exchanges = sim.received_frames().size();
        luminaires = last.luminaires.size();
        if (!last.complete()) std::fprintf(stderr, "survey incomplete: %s\n", last.incomplete_reason().c_str());
        surveyMs.push_back(us / 1000);
        ratios.push_back(us / (static_cast<double>(exchanges) * exchangeUs));
        // The same with each kind of exchange at its own median: entry
        // replies are longer than status replies (more cipher blocks).
        const std::size_t nStatus = count_of(sim, kCmdStatus), nResults = count_of(sim, kCmdTestResults),
                          nDetails = count_of(sim, kCmdTestDetails);
        const std::size_t detailsPerListing = config.luminaires[0].entries.size() + 1;
        const double resultsUs = median_listing_exchange_us([](ResultList& l) { QueryTestResults(l); }, nResults);
        const double detailsUs =
            median_listing_exchange_us([](ResultList& l) { QueryDetails(l, 0); }, detailsPerListing);
        kindRatios.push_back(us / (static_cast<double>(nStatus) * exchangeUs + static_cast<double>(nResults) * resultsUs +
                                   static_cast<double>(nDetails) * detailsUs));
    }
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("orvypc-survey-bench-" + std::to_string(::getpid()) + ".xlsx")).string();
    for (int r = 0; r < runs; ++r) {
        FixedPathPrompt prompt(path);
        const auto t0 = std::chrono::steady_clock::now();
        if (!run_export([&] { ExportSiteSurvey(last, prompt); })) std::fprintf(stderr, "workbook failed\n");
        workbookMs.push_back(bench::micros_since(t0) / 1000);
    }
    std::filesystem::remove(path);

    std::printf("survey of %zu luminaires: %zu exchanges, median %.1f ms (runs: %d)\n", luminaires, exchanges,
                bench::percentile(surveyMs, 0.5), runs);
    // The best run shows what the survey itself adds; the others add what
    // the machine's other work took from it meanwhile.
    std::printf("survey time / (exchanges x median status exchange): best %.2f, median %.2f, worst %.2f (goal <= 1.2)\n",
                bench::percentile(ratios, 0.0), bench::percentile(ratios, 0.5), bench::percentile(ratios, 1.0));
    std::printf("survey time / (each kind of exchange x its own median): best %.2f, median %.2f, worst %.2f\n",
                bench::percentile(kindRatios, 0.0), bench::percentile(kindRatios, 0.5),
                bench::percentile(kindRatios, 1.0));
    std::printf("survey workbook (%zu luminaires, %zu history rows): median %.1f ms, worst %.1f ms (goal <= 50)\n",
                luminaires, [&] {
                    std::size_t n = 0;
                    for (const auto& l : last.luminaires) n += l.history.size();
                    return n;
                }(),
                bench::percentile(workbookMs, 0.5), bench::percentile(workbookMs, 1.0));
    std::printf("at %.0f answered queries per second (a real DALI bus): %.0f s for this site\n",
                kRealGatewayQueriesPerSecond, static_cast<double>(exchanges) / kRealGatewayQueriesPerSecond);
    ResetLink();
    set_prompts(nullptr);
    return 0;
}
