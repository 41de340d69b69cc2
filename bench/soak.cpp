// A bounded soak of the link: many thousand mixed status, test-results and
// details queries against the simulator, with the heartbeat at a short
// period and the simulator dropping the connection now and then, its replies
// cut, doubled, late or garbled between drops. At the end
// it prints what was done and what went wrong, and the process's memory at
// start and end.
//
//   orvypc-soak [SECONDS] [DROP_EVERY_MS] [HEARTBEAT_MS]    (default 60 500 20)
//
// Exit status 0 when no reply was taken for another request's and the
// memory did not grow; 1 otherwise.
#include "bench_support.h"

#include "listings.h"
#include "result_list.h"
#include "status_query.h"
#include "status_record.h"

#include <malloc.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Message boxes from both threads are counted.
class SoakPrompts final : public Prompts {
public:
    void message_box(const std::string&) override { ++boxes; }
    void set_status_line(const std::string&) override {}
    std::atomic<int> boxes{0};
};

struct Memory {
    long rssKb = 0;
    std::size_t heapInUse = 0;   // bytes handed out by malloc and not freed
};

Memory memory_now() {
    Memory m;
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) m.rssKb = std::atol(line.c_str() + 6);
    const struct mallinfo2 mi = mallinfo2();
    m.heapInUse = mi.uordblks;
    return m;
}

struct Tally {
    long exchanges = 0;        // requests the queries sent
    long queries = 0;
    long failures = 0;         // queries that ended in failure (expected around a drop)
    long mismatched = 0;       // a reply taken for another request: must stay 0
    long cutLists = 0;         // listings that ended short yet complete (see the README)
};

// The rows each listing gives on a healthy link, to judge every later run.
struct Expected {
    std::vector<RowTexts> results;
    std::map<std::uint8_t, std::vector<RowTexts>> details;
};

void judge_listing(const MemoryResultList& list, const std::vector<RowTexts>& want, Tally& t) {
    const std::vector<RowTexts> rows = list.rows();
    t.exchanges += static_cast<long>(rows.size()) + 1;
    const std::set<RowTexts> known(want.begin(), want.end());
    for (const RowTexts& row : rows)
        if (!known.count(row)) ++t.mismatched;
    if (last_listing_outcome() != ListingOutcome::Complete) ++t.failures;
    else if (rows.size() != want.size()) ++t.cutLists;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int dropEveryMs = argc > 2 ? std::atoi(argv[2]) : 500;
    const int heartbeatMs = argc > 3 ? std::atoi(argv[3]) : 20;
    if (seconds < 1 || dropEveryMs < 1 || heartbeatMs < 1) {
        std::fprintf(stderr, "usage: orvypc-soak [SECONDS] [DROP_EVERY_MS] [HEARTBEAT_MS]\n");
        return 1;
    }
    SoakPrompts prompts;
    set_prompts(&prompts);
    set_trace_sink(nullptr);
    if (aes_load_key() != 0) return 1;

    const std::vector<SimLuminaire> lums = demo_luminaires();
    GatewaySim sim(demo_config());
    if (!sim.start() || !bench::connect_to(sim, heartbeatMs)) {
        std::fprintf(stderr, "orvypc-soak: no link to the simulator\n");
        return 1;
    }

    Expected expected;
    {
        MemoryResultList list;
        QueryTestResults(list);
        expected.results = list.rows();
        for (const SimLuminaire& l : lums) {
            QueryDetails(list, l.unit);
            expected.details[l.unit] = list.rows();
        }
    }

    // The simulator drops the connection every so often, from a thread of
    // its own, so drops land in the middle of exchanges too.
    std::mutex stopMutex;
    std::condition_variable stopWake;
    bool stop = false;
    // Between drops the way the replies travel changes at random: cut
    // anywhere into pieces, one byte per write, sent twice, late, garbled,
    // or sound.
    std::thread dropper([&] {
        std::mt19937 pick(54321);
        std::unique_lock lock(stopMutex);
        while (!stopWake.wait_for(lock, std::chrono::milliseconds(dropEveryMs), [&] { return stop; })) {
            sim.drop_connection();
            SimFaults f;
            switch (pick() % 6) {
            case 0: f.cutOffsets = {int(1 + pick() % 47), int(48 + pick() % 40)}; f.cutPauseMs = int(pick() % 3); break;
            case 1: f.byteAtATime = true; break;
            case 2: f.replyTwice = true; break;
            case 3: f.replyDelayMs = int(1 + pick() % 5); break;
            case 4: f.garbleReply = true; f.onReply = int(1 + pick() % 50); break;
            default: break;
            }
            sim.set_faults(f);
        }
    });

    Tally t;
    std::mt19937 random(12345);
    Memory start{};
    const auto begin = Clock::now();
    const auto warmUp = begin + std::chrono::seconds(std::min(5, seconds / 6 + 1));
    bool started = false;
    MemoryResultList list;
    while (Clock::now() - begin < std::chrono::seconds(seconds)) {
        if (!started && Clock::now() >= warmUp) {
            start = memory_now();
            started = true;
        }
        const SimLuminaire& l = lums[random() % lums.size()];
        ++t.queries;
        switch (random() % 8) {
        case 0:
            QueryTestResults(list);
            judge_listing(list, expected.results, t);
            break;
        case 1:
            QueryDetails(list, l.unit);
            judge_listing(list, expected.details[l.unit], t);
            break;
        default:
            ++t.exchanges;
            if (!QueryStatus(l.unit)) {
                ++t.failures;
            } else if (g_link.ucRxBuf[kStatusOffsetUnit] != l.unit ||
                       std::memcmp(g_link.ucRxBuf + kStatusDataFirst, l.status.data(), l.status.size()) != 0) {
                ++t.mismatched;
            }
        }
        if (t.queries % 1000 == 0) sim.clear_received_frames();   // the simulator's own log
    }
    {
        std::lock_guard lock(stopMutex);
        stop = true;
    }
    stopWake.notify_all();
    dropper.join();
    sim.clear_received_frames();
    const Memory end = memory_now();
    const int reconnects = sim.connections_accepted() - 1;
    StopHeartbeat();
    ResetLink();
    sim.stop();
    set_prompts(nullptr);

    std::printf("soak: %d s, a drop every %d ms, heartbeat every %d ms\n", seconds, dropEveryMs, heartbeatMs);
    std::printf("queries             %ld\n", t.queries);
    std::printf("exchanges           %ld\n", t.exchanges);
    std::printf("failures            %ld\n", t.failures);
    std::printf("reconnects          %d\n", reconnects);
    std::printf("message boxes       %d\n", prompts.boxes.load());
    std::printf("mismatched replies  %ld\n", t.mismatched);
    std::printf("lists cut short     %ld (ended as complete: must stay 0)\n", t.cutLists);
    std::printf("memory start        RSS %ld kB, heap in use %zu bytes\n", start.rssKb, start.heapInUse);
    std::printf("memory end          RSS %ld kB, heap in use %zu bytes\n", end.rssKb, end.heapInUse);

    // Heap blocks in flight differ a little from moment to moment; growth
    // beyond 256 KiB over the run is a leak.
    const bool memoryGrew = end.heapInUse > start.heapInUse + 256 * 1024;
    if (memoryGrew) std::printf("memory grew\n");
    return t.mismatched == 0 && t.cutLists == 0 && !memoryGrew ? 0 : 1;
}
