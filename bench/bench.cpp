// How fast the link and the queries are against the simulator on loopback:
//  - the bare loopback round trip, one status exchange (median and 99th
//    percentile) and their ratio, and the cipher and frame work inside the
//    exchange on its own;
//  - a test-results listing of 128 luminaires and a details listing of 255
//    entries (milliseconds per listing, exchanges per second), and the
//    test-results listing with every reply in two pieces.
// The export figures come from orvypc-export-bench (export/bench).
//
//   orvypc-bench [ROUNDS]      (default 2000 status exchanges, 20 listings)
#include "bench_support.h"

#include "command_frame.h"
#include "listings.h"
#include "result_list.h"
#include "sim_responder.h"
#include "sim_socket.h"
#include "sim_wire.h"
#include "status_query.h"
#include "status_record.h"

#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The bare loopback round trip the status exchange is measured against, in
// the same run: a 48-byte request out and an 80-byte reply back over TCP
// between two threads, with no cipher, no frame and no checks on either
// side. Median in microseconds.
double bare_round_trips(int rounds) {
    constexpr std::size_t kRequest = 48, kReply = 80;
    SocketHandle listener = tcp_socket();
    if (listener == kInvalidSocket || !sim_bind(listener, Ipv4Endpoint{0x7F000001u, 0}) || !sim_listen(listener, 1)) {
        std::fprintf(stderr, "orvypc-bench: no loopback listener\n");
        std::exit(1);
    }
    const std::uint16_t port = sim_local_port(listener);
    std::thread echo([listener, rounds] {
        SocketHandle conn = sim_accept(listener);
        sim_no_delay(conn);
        std::uint8_t in[kRequest], out[kReply] = {};
        for (int i = 0; i < rounds + 100; ++i) {
            std::size_t got = 0;
            while (got < kRequest) {
                const int n = sock_recv(conn, in + got, kRequest - got);
                if (n <= 0) return;
                got += static_cast<std::size_t>(n);
            }
            if (sock_send(conn, out, kReply) != static_cast<int>(kReply)) return;
        }
        sock_close(conn);
    });
    SocketHandle client = tcp_socket();
    if (!sock_connect(client, Ipv4Endpoint{0x7F000001u, port})) {
        std::fprintf(stderr, "orvypc-bench: no loopback connection\n");
        std::exit(1);
    }
    std::uint8_t request[kRequest] = {}, reply[kReply];
    std::vector<double> us;
    for (int i = 0; i < rounds + 100; ++i) {
        const auto t0 = Clock::now();
        sock_send(client, request, kRequest);
        std::size_t got = 0;
        while (got < kReply) {
            const int n = sock_recv(client, reply + got, kReply - got);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        if (i >= 100) us.push_back(bench::micros_since(t0));
    }
    echo.join();
    sock_close(client);
    sock_close(listener);
    const double median = bench::percentile(us, 0.5);
    std::printf("bare loopback round trip       median %8.1f us   p99 %8.1f us   (48 bytes out, 80 back)\n", median,
                bench::percentile(us, 0.99));
    return median;
}

double status_exchanges(int rounds) {
    GatewaySim sim(demo_config());
    if (!sim.start() || !bench::connect_to(sim, 3'600'000)) {
        std::fprintf(stderr, "orvypc-bench: no link to the simulator\n");
        std::exit(1);
    }
    const std::uint8_t unit = demo_luminaires().front().unit;
    std::vector<double> us;
    for (int i = 0; i < rounds + 100; ++i) {
        const auto t0 = Clock::now();
        const bool ok = QueryStatus(unit);
        const double t = bench::micros_since(t0);
        if (!ok) {
            std::fprintf(stderr, "orvypc-bench: status exchange %d failed\n", i);
            std::exit(1);
        }
        if (i >= 100) us.push_back(t);   // the first hundred warm up
    }
    const double median = bench::percentile(us, 0.5);
    std::printf("status exchange, loopback      median %8.1f us   p99 %8.1f us   (%d exchanges)\n", median,
                bench::percentile(us, 0.99), rounds);
    ResetLink();
    return median;
}

// The same request and reply as one status exchange, without the socket:
// build and encrypt the request, then open, check and read the reply.
void status_cipher_and_frame(int rounds) {
    const std::vector<SimLuminaire> lums = demo_luminaires();
    const SimLuminaire& lum = lums.front();
    const std::vector<std::uint8_t> reply = sim_encrypt(status_reply(lum.unit, 0, lum.status));
    std::uint8_t tx[kFrameBufSize];
    std::vector<std::uint8_t> rx(kRxBufSize);
    CipherSlots slots;
    const std::uint8_t payload[2] = {kStatusRequestTag, lum.unit};
    const int n = rounds * 50;
    std::size_t sink = 0;
    const auto t0 = Clock::now();
    for (int i = 0; i < n; ++i) {
        const std::uint16_t len = build_cmd_frame(tx, kCmdStatus, payload, 2);
        std::uint32_t packetLen = 0;
        udp_aes_encrypt_entry(tx, len, slots.packet, &packetLen);
        std::uint32_t rxLen = 0;
        if (!open_reply(reply.data(), static_cast<std::uint32_t>(reply.size()), slots.plaintext, rx.data(), &rxLen) ||
            !reply_sum_ok(rx.data(), rxLen)) {
            std::fprintf(stderr, "orvypc-bench: the status reply does not open\n");
            std::exit(1);
        }
        sink += packetLen + rxLen;
    }
    const double perExchange = bench::micros_since(t0) / n;
    const auto t1 = Clock::now();
    for (int i = 0; i < n / 10; ++i) sink += status_items(rx.data()).size();
    const double perItems = bench::micros_since(t1) / (n / 10);
    std::printf("  cipher and frame work inside %8.2f us   (request %zu + reply %zu bytes)\n", perExchange,
                static_cast<std::size_t>(48), reply.size());
    std::printf("  74 status item texts         %8.2f us\n", perItems);
    if (sink == 0) std::printf("\n");
}

void listing(const char* what, std::vector<SimLuminaire> lums, bool details, std::size_t wantRows, int rounds,
             const SimFaults& faults = {}) {
    SimConfig config;
    config.luminaires = std::move(lums);
    config.faults = faults;
    GatewaySim sim(config);
    if (!sim.start() || !bench::connect_to(sim, 3'600'000)) {
        std::fprintf(stderr, "orvypc-bench: no link to the simulator\n");
        std::exit(1);
    }
    std::vector<double> ms;
    for (int i = 0; i < rounds + 2; ++i) {
        MemoryResultList list;
        const auto t0 = Clock::now();
        if (details) QueryDetails(list, 0);
        else QueryTestResults(list);
        const double t = bench::micros_since(t0) / 1000.0;
        if (last_listing_outcome() != ListingOutcome::Complete || list.rows().size() != wantRows) {
            std::fprintf(stderr, "orvypc-bench: %s listing gave %zu rows\n", what, list.rows().size());
            std::exit(1);
        }
        if (i >= 2) ms.push_back(t);
    }
    const double median = bench::percentile(ms, 0.5);
    const double exchanges = static_cast<double>(wantRows + 1);   // and the end mark
    std::printf("%-30s median %8.2f ms   %8.0f exchanges/s   (%d listings)\n", what, median,
                exchanges / (median / 1000.0), rounds);
    ResetLink();
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 2000;
    if (rounds < 1) {
        std::fprintf(stderr, "usage: orvypc-bench [ROUNDS]\n");
        return 1;
    }
    bench::CountingPrompts prompts;
    set_prompts(&prompts);
    set_trace_sink(nullptr);
    if (aes_load_key() != 0) return 1;

    const double bare = bare_round_trips(rounds);
    const double exchange = status_exchanges(rounds);
    std::printf("  status exchange / bare round trip %5.2f x\n", exchange / bare);
    status_cipher_and_frame(rounds);
    const int listings = std::max(3, rounds / 100);
    listing("test results, 128 luminaires", bench::luminaires(128, 1), false, 128, listings);
    // Every reply written in two pieces (cut after byte 40, no pause): the
    // link reads each whole in two receives.
    SimFaults twoPieces;
    twoPieces.cutOffsets = {40};
    twoPieces.cutPauseMs = 0;
    listing("the same, replies in 2 pieces", bench::luminaires(128, 1), false, 128, listings, twoPieces);
    listing("details, 255 entries", bench::luminaires(1, 255), true, 255, listings);
    if (prompts.boxes != 0) std::printf("(%d message boxes)\n", prompts.boxes);
    set_prompts(nullptr);
    return 0;
}
