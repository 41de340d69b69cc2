// What the link tests share: a Prompts that records what it was asked, a
// capture of the trace lines, a bounded wait, and a fixture that points the
// link at loopback before anything can be sent.
#pragma once

#include "gateway_link.h"
#include "prompts.h"
#include "trace.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Records message boxes and status lines; boxes come from any thread.
class RecordingPrompts final : public Prompts {
public:
    void message_box(const std::string& text) override {
        std::lock_guard lock(mutex_);
        boxes_.push_back(text);
    }
    void set_status_line(const std::string& text) override {
        std::lock_guard lock(mutex_);
        statusLines_.push_back(text);
    }
    std::vector<std::string> boxes() const {
        std::lock_guard lock(mutex_);
        return boxes_;
    }
    std::vector<std::string> status_lines() const {
        std::lock_guard lock(mutex_);
        return statusLines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> boxes_;
    std::vector<std::string> statusLines_;
};

// Everything traced while it is installed, as one text.
class TraceCapture {
public:
    TraceCapture() {
        set_trace_sink([this](std::string_view text) {
            std::lock_guard lock(mutex_);
            text_.append(text);
        });
    }
    ~TraceCapture() { set_trace_sink(trace_to_stdout); }
    std::string text() const {
        std::lock_guard lock(mutex_);
        return text_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        text_.clear();
    }
    bool contains(const std::string& piece) const { return text().find(piece) != std::string::npos; }
    int count(const std::string& piece) const {
        const std::string all = text();
        int n = 0;
        for (auto at = all.find(piece); at != std::string::npos; at = all.find(piece, at + piece.size())) ++n;
        return n;
    }

private:
    mutable std::mutex mutex_;
    std::string text_;
};

// Polls `done` until it holds or the limit passes; the result says which.
// The limit only keeps a broken test from hanging: nothing is timed.
inline bool wait_until(const std::function<bool()>& done, int limitMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A UDP and TCP port number that nothing on loopback listens on right now.
std::uint16_t unused_port();

// Loopback only: discovery to 127.255.255.255 on `port`, short time-outs
// and few rounds, so a test waits out nothing it does not mean to.
LinkSettings loopback_settings(std::uint16_t port);

// Each test starts from a fresh link, with recording prompts, a trace
// capture and loopback settings; the heartbeat is stopped afterwards.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    RecordingPrompts prompts_;
    TraceCapture trace_;
};
