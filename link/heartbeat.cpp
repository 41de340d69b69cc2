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

// The heartbeat's own cipher slots, used only under the exchange lock.
CipherSlots g_heartbeatSlots;

std::mutex g_workerMutex;
std::condition_variable g_workerWake;
bool g_stopRequested = false;
bool g_workerEnded = false;
std::thread g_worker;

bool stop_requested() {
    std::lock_guard lock(g_workerMutex);
    return g_stopRequested;
}

// Exchange lock held. True when the connection did not carry the heartbeat.
bool heartbeat_locked() {
    std::uint8_t frame[kFrameBufSize];
    const std::uint16_t frameLen = build_cmd_frame(frame, kCmdHeartbeat, kHeartbeatPayload, sizeof kHeartbeatPayload);
    std::uint32_t packetLen = 0;
    if (udp_aes_encrypt_entry(frame, frameLen, g_heartbeatSlots.packet, &packetLen) != 0) {
        trace("udp_aes_encrypt_entry fails\n");
        return false;
    }
    std::uint8_t recvBuf[kRecvBufSize];
    int count = 0;
    if (transfer_locked(g_heartbeatSlots.packet.data(), packetLen, recvBuf, false, &count) !=
        TransferResult::Received) {
        return true;
    }
    // The answer is only judged; a wrong one is dropped without a word, a
    // wrong sum is the one thing worth a trace line.
    std::uint8_t rx[kRxBufSize];
    std::uint32_t n = 0;
    if (open_reply(recvBuf, static_cast<std::uint32_t>(count), g_heartbeatSlots.plaintext, rx, &n) &&
        !reply_sum_ok(rx, n)) {
        trace("check fails.\n");
    }
    return false;
}

}  // namespace

void SendHeartbeat() {
    bool lost = false;
    {
        auto lock = lock_exchange();
        lost = heartbeat_locked();
    }
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
