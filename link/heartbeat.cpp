// The link heartbeat: one 0xFF frame with four zero bytes every period, on a
// thread of its own, so that the gateway keeps the connection and the user
// learns when it is gone.
#include "gateway_link.h"
#include "link_connection.h"
#include "prompts.h"
#include "trace.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <thread>

namespace {

constexpr std::uint8_t kHeartbeatPayload[4] = {0, 0, 0, 0};
constexpr const char* kDisconnectedText = "TCP connection disconnected ";  // the blank is part of it
// While it waits for its reply, the heartbeat looks this often whether a
// query waits for the link or the program ends, and then gives way.
constexpr int kHeartbeatSliceMs = 10;
// A reconnect by the heartbeat is kept short: a query may be about to wait
// for it, and a stop must not wait long.
constexpr int kHeartbeatConnectTimeoutMs = 300;

// The heartbeat's own cipher slots and buffers, used only under the
// exchange lock.
CipherSlots g_heartbeatSlots;
std::uint8_t g_heartbeatRecv[kLinkRecvBufSize];
std::uint8_t g_heartbeatRx[kRxBufSize];

std::mutex g_workerMutex;
std::condition_variable g_workerWake;
bool g_stopRequested = false;
bool g_workerEnded = false;
std::thread g_worker;

bool stop_requested() {
    std::lock_guard lock(g_workerMutex);
    return g_stopRequested;
}

class GiveWay final : public ReadYield {
public:
    bool give_up() override {
        forQuery = user_waiting();
        return forQuery || stop_requested();
    }
    int slice_ms() const override { return kHeartbeatSliceMs; }
    bool forQuery = false;
};

// Exchange lock held. True when the connection did not carry the heartbeat.
bool heartbeat_locked(LinkNotices* notices) {
    std::uint8_t frame[kFrameBufSize];
    const std::uint16_t frameLen = build_cmd_frame(frame, kCmdHeartbeat, kHeartbeatPayload, sizeof kHeartbeatPayload);
    std::uint32_t packetLen = 0;
    if (udp_aes_encrypt_entry(frame, frameLen, g_heartbeatSlots.packet, &packetLen) != 0) {
        trace("udp_aes_encrypt_entry fails\n");
        return false;
    }
    GiveWay yield;
    Transfer transfer;
    transfer.packet = g_heartbeatSlots.packet.data();
    transfer.packetLen = packetLen;
    transfer.cmd = kCmdHeartbeat;
    transfer.yield = &yield;
    transfer.connectTimeoutMs = kHeartbeatConnectTimeoutMs;
    std::uint32_t n = 0;
    const ReplyTarget target{g_heartbeatRecv, &g_heartbeatSlots.plaintext, g_heartbeatRx, &n};
    const ExchangeOutcome outcome = transfer_locked(transfer, target, notices);
    if (outcome.reason == ExchangeReason::Abandoned && yield.forQuery) trace("heartbeat gave way to a query\n");
    switch (outcome.reason) {
    case ExchangeReason::SendFailed:
    case ExchangeReason::TimedOut:
    case ExchangeReason::Closed:
    case ExchangeReason::RecvFailed:
        return true;
    default:
        break;
    }
    // The answer is only judged; a wrong one is dropped without a word, a
    // wrong sum is the one thing worth a trace line.
    if (outcome.ok() && !reply_sum_ok(g_heartbeatRx, n)) trace("check fails.\n");
    return false;
}

}  // namespace

void SendHeartbeat() {
    bool lost = false;
    LinkNotices notices;
    {
        // A query that waits, or holds the link, goes first: this beat is
        // skipped, the next one comes a period later.
        auto lock = try_lock_for_heartbeat();
        if (!lock.owns_lock()) return;
        lost = heartbeat_locked(&notices);
    }
    // The user hears of a connection found gone even when it was reopened
    // at once; the status line shows the reopening.
    lost = lost || notices.foundClosed;
    announce_link_notices(notices);
    // A box that nobody will answer must not hold up an orderly stop.
    if (lost && !stop_requested()) prompts().message_box(kDisconnectedText);
}

void HeartbeatThread(int periodMs) {
    const auto period = std::chrono::milliseconds(std::max(1, periodMs));
    std::unique_lock lock(g_workerMutex);
    while (!g_workerWake.wait_for(lock, period, [] { return g_stopRequested; })) {
        lock.unlock();
        SendHeartbeat();
        lock.lock();
    }
}

void StartHeartbeat(int periodMs) {
    std::lock_guard lock(g_workerMutex);
    if (g_worker.joinable()) return;
    g_stopRequested = false;
    g_workerEnded = false;
    g_worker = std::thread([periodMs] {
        HeartbeatThread(periodMs);
        std::lock_guard ended(g_workerMutex);
        g_workerEnded = true;
        g_workerWake.notify_all();
    });
}

bool HeartbeatRunning() {
    std::lock_guard lock(g_workerMutex);
    return g_worker.joinable();
}

void StopHeartbeat() {
    std::thread worker;
    {
        std::lock_guard lock(g_workerMutex);
        if (!g_worker.joinable()) return;
        g_stopRequested = true;
        worker = std::move(g_worker);
    }
    g_workerWake.notify_all();
    worker.join();
    std::lock_guard lock(g_workerMutex);
    g_stopRequested = false;
}

bool StopHeartbeatWithin(int waitMs) {
    std::unique_lock lock(g_workerMutex);
    if (!g_worker.joinable()) return true;
    g_stopRequested = true;
    g_workerWake.notify_all();
    if (!g_workerWake.wait_for(lock, std::chrono::milliseconds(waitMs), [] { return g_workerEnded; })) {
        // Still in an exchange with a silent gateway: it will show nothing
        // more (the stop is requested) and ends with the process.
        g_worker.detach();
        return false;
    }
    std::thread worker = std::move(g_worker);
    lock.unlock();
    worker.join();
    lock.lock();
    g_stopRequested = false;
    return true;
}
