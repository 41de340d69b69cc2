// The orvypc front end against every fault the simulator can inject, one
// case per fault and sub-command: the exit status, the message, that nothing
// partial or corrupt is passed off as success, and that the next command
// against the healthy simulator succeeds.
//
// Each case runs the command as a process: against the healthy simulator
// (what success looks like), with the fault, and healthy again. A reply in
// pieces of any kind must give exactly the healthy output; a fault that
// hits one reply, exactly the healthy output after a retry on a fresh
// connection; every other fault a refusal: a non-zero exit, a reason, the
// JSON saying "complete": false, and no workbook with -o. Never a wrong
// list with exit 0.
#include "cli.h"
#include "gateway_sim.h"
#include "run_orvypc.h"
#include "sim_data.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

enum class Command { Status, Results, Details };

const char* name_of(Command c) {
    return c == Command::Status ? "status" : c == Command::Results ? "results" : "details";
}

// What one sub-command must do under one fault.
struct Expect {
    int status = kExitOk;
    const char* message = "";   // a line of standard error contains it (failures, notices)
    bool sameAsHealthy = true;  // success: exactly the healthy output
};

// The receive and send time-out of a run. Healthy replies come in
// milliseconds, but a loaded machine (other builds, Wine) can hold one up
// for a good part of a second: every run that must succeed gets a wide
// margin. Only a case about a reply that never comes, or comes too late,
// shortens the time-out of its faulty run, and then its delays stay well
// apart from the time-out.
constexpr int kTimeoutMs = 5000;
constexpr int kShortTimeoutMs = 300;

struct FaultCase {
    const char* name;
    std::function<void(SimFaults&)> fault;
    Expect status, results, details;
    bool discovery = false;   // find the gateway by broadcast on 127.255.255.255
    int timeoutMs = kTimeoutMs;   // of the run with the fault
};

constexpr const char* kNoStatus = "no valid status reply from the gateway";
constexpr const char* kIncomplete = "the list is incomplete: ";
constexpr const char* kRecvFails = "tcp recv fails! The current network may have been disconnected.";
constexpr const char* kNetwork = "Network exception, please reconnect";
constexpr const char* kOtherReply = "the gateway answered another request";

const Expect kOk{};
const Expect kStatusLink{kExitNoLink, kNoStatus};
const Expect kListIncomplete{kExitIncomplete, kIncomplete};

// The luminaire the status and details commands ask for: A1 has several
// stored entries in the demonstration set.
constexpr const char* kUnit = "A1";
constexpr std::uint8_t kUnitNumber = 1;

const std::vector<FaultCase>& fault_cases() {
    static const std::vector<FaultCase> cases = {
        {"Silent", [](SimFaults& f) { f.silent = true; }, kStatusLink, kListIncomplete,
         {kExitIncomplete, kRecvFails}, false, kShortTimeoutMs},
        {"Dropped", [](SimFaults& f) { f.dropReplies = true; }, kStatusLink, kListIncomplete,
         {kExitIncomplete, kRecvFails}, false, kShortTimeoutMs},
        {"SlowWithinTimeout", [](SimFaults& f) { f.replyDelayMs = 60; }, kOk, kOk, kOk},
        {"SlowPastTimeout", [](SimFaults& f) { f.replyDelayMs = 700; }, kStatusLink, kListIncomplete,
         {kExitIncomplete, kRecvFails}, false, kShortTimeoutMs},
        // Pieces: whatever the cut, exactly the healthy output.
        {"Split", [](SimFaults& f) { f.splitReplies = true; }, kOk, kOk, kOk},
        {"CutAtEdges",
         [](SimFaults& f) {
             f.cutOffsets = {1, 16, 31, 32, 33};
             f.cutPauseMs = 15;
         },
         kOk, kOk, kOk},
        {"CutBeforeTheLastByte",
         [](SimFaults& f) {
             f.cutOffsets = {47, 79, 95, 111};
             f.cutPauseMs = 30;
         },
         kOk, kOk, kOk},
        {"ByteAtATime", [](SimFaults& f) { f.byteAtATime = true; }, kOk, kOk, kOk},
        {"EveryReplyTwice", [](SimFaults& f) { f.replyTwice = true; }, kOk, kOk, kOk},
        // One reply lost: exactly the healthy output, after a retry.
        {"OneReplyGarbled",
         [](SimFaults& f) {
             f.garbleReply = true;
             f.onReply = 1;
         },
         kOk, kOk, kOk},
        // The late one past a time-out that the others, on a loaded
        // machine, still keep.
        {"OneReplyLate",
         [](SimFaults& f) {
             f.replyDelayMs = 2500;
             f.onReply = 2;
         },
         kOk, kOk, kOk, false, 1200},
        {"OneReplyWrongStart",
         [](SimFaults& f) {
             f.badMagic = true;
             f.onReply = 2;
         },
         kOk, kOk, kOk},
        {"EveryReplyGarbled", [](SimFaults& f) { f.garbleReply = true; }, kStatusLink, kListIncomplete,
         kListIncomplete},
        {"WrongChecksum", [](SimFaults& f) { f.badChecksum = true; }, kStatusLink, kListIncomplete, kListIncomplete},
        {"WrongCommandEcho", [](SimFaults& f) { f.wrongCommandEcho = true; },
         {kExitRefused, "the gateway refused the status request"}, {kExitRefused, kNetwork},
         {kExitRefused, kOtherReply}},
        // The test-results listing asks for no unit: a reply naming another
        // one is a row of that luminaire.
        {"WrongUnitEcho", [](SimFaults& f) { f.wrongUnitEcho = true; }, {kExitRefused, kNetwork},
         // Every entry under another luminaire's address: not the gateway
         // the logbook knows there, which is recorded as a site of its own.
         {kExitOk, "is not the one of the site", false}, {kExitRefused, kNetwork}},
        {"EndByte5F", [](SimFaults& f) { f.endByte5F = true; }, kOk, kOk, kOk},
        {"EndByte00", [](SimFaults& f) { f.badEndByte = true; }, kStatusLink, kListIncomplete, kListIncomplete},
        {"BadMagic", [](SimFaults& f) { f.badMagic = true; }, kStatusLink, kListIncomplete, kListIncomplete},
        {"ClosedAtOnce", [](SimFaults& f) { f.closeAfterReplies = 0; }, kStatusLink, kListIncomplete,
         {kExitIncomplete, kRecvFails}},
        // The link reopens the connection for the next request, but a
        // listing cannot go on over a new one, and every retry meets the
        // same close.
        {"ClosedAfterTwoReplies", [](SimFaults& f) { f.closeAfterReplies = 2; }, kOk, kListIncomplete,
         kListIncomplete},
        {"UnitMissing", [](SimFaults& f) { f.unitsMissing = {kUnitNumber}; },
         {kExitRefused, "Current ID not exist!"}, kOk, kOk},
        {"DaliBusy", [](SimFaults& f) { f.unitsBusy = {kUnitNumber}; },
         {kExitRefused, "DALI Busy, please try again later!"}, kOk, kOk},
        {"SeveralGateways", [](SimFaults& f) { f.extraGateways = 2; }, kOk, kOk, kOk, true},
    };
    return cases;
}

using Param = std::tuple<std::size_t, Command>;

class FaultMatrix : public ::testing::TestWithParam<Param> {
protected:
    void SetUp() override {
        sim_ = std::make_unique<GatewaySim>(demo_config());
        ASSERT_TRUE(sim_->start());
    }
    void TearDown() override {
        std::error_code ignored;
        for (const char* end : {"", "-journal", "-wal", "-shm"})
            std::filesystem::remove(logbook_.string() + end, ignored);
    }

    std::vector<std::string> args(Command c, bool discovery, int timeoutMs = kTimeoutMs) const {
        std::vector<std::string> a{name_of(c)};
        if (c != Command::Results) a.push_back(kUnit);
        a.push_back("--json");
        if (discovery) {
            a.insert(a.end(), {"--broadcast", "127.255.255.255"});
        } else {
            a.insert(a.end(), {"--gateway", "127.0.0.1"});
        }
        a.insert(a.end(), {"--port", std::to_string(sim_->port()), "--timeout", std::to_string(timeoutMs)});
        a.insert(a.end(), {"--logbook", logbook_.string()});
        return a;
    }

    std::unique_ptr<GatewaySim> sim_;
    // Each case records into a logbook of its own: the cases all find their
    // gateway at 127.0.0.1, and one whose faults change what the gateway
    // seems to hold must not make the next case's gateway another site.
    const std::filesystem::path logbook_ =
        std::filesystem::temp_directory_path() / ("orvypc-matrix-" + std::to_string(getpid()) + ".sqlite");
};

// The entries of a listing's JSON output, each as one line of text.
std::vector<std::string> rows_of(const nlohmann::json& j) {
    std::vector<std::string> rows;
    for (const auto& r : j.at("entries")) rows.push_back(r.dump());
    return rows;
}

// The delay a fault holds the simulator's one connection thread for.
int held_ms(const SimFaults& f) { return f.replyDelayMs + 200; }

TEST_P(FaultMatrix, ExitStatusMessageAndOutput) {
    const FaultCase& fc = fault_cases()[std::get<0>(GetParam())];
    const Command command = std::get<1>(GetParam());
    const Expect& want =
        command == Command::Status ? fc.status : command == Command::Results ? fc.results : fc.details;
    const std::vector<std::string> a = args(command, fc.discovery);

    const Outcome healthy = run_orvypc(a);
    ASSERT_EQ(healthy.status, kExitOk) << healthy.err;

    SimFaults faults;
    fc.fault(faults);
    sim_->set_faults(faults);
    const std::vector<std::string> withFault = args(command, fc.discovery, fc.timeoutMs);
    const Outcome faulty = run_orvypc(withFault);
    // The simulator serves one connection at a time: a reply held back past
    // the program's time-out keeps it busy until it has gone out.
    if (faults.replyDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(held_ms(faults)));

    // Whatever the outcome, standard output is whole JSON or nothing.
    nlohmann::json out;
    if (!faulty.out.empty()) {
        ASSERT_NO_THROW(out = nlohmann::json::parse(faulty.out)) << "half-written output:\n" << faulty.out;
    }
    const nlohmann::json healthyOut = nlohmann::json::parse(healthy.out);

    EXPECT_EQ(faulty.status, want.status) << "stderr: " << faulty.err << "\nstdout: " << faulty.out;
    if (want.status == kExitOk) {
        // A reply lost on the way may have had its message box (on standard
        // error) before the retry that got the whole list.
        if (*want.message) {
            EXPECT_NE(faulty.err.find(want.message), std::string::npos) << "stderr: " << faulty.err;
        } else if (faults.onReply == 0) {
            EXPECT_TRUE(faulty.err.empty()) << faulty.err;
        }
        if (want.sameAsHealthy) {
            EXPECT_EQ(faulty.out, healthy.out);
        } else {
            ASSERT_TRUE(out.contains("entries"));
            EXPECT_EQ(out["entries"].size(), healthyOut["entries"].size());
        }
    } else {
        EXPECT_NE(faulty.err.find(want.message), std::string::npos) << "stderr: " << faulty.err;
        ASSERT_FALSE(out.is_null()) << "no JSON for a refusal";
        EXPECT_EQ(out.at("complete"), false);
        EXPECT_TRUE(out.at("reason").is_string() && !out.at("reason").get<std::string>().empty()) << out.dump();
        if (command == Command::Status) {
            // A refused or failed status shows no items at all.
            EXPECT_TRUE(out.at("items").empty()) << faulty.out;
        } else {
            // A listing that ends early keeps the rows it had, and only real ones.
            const std::vector<std::string> good = rows_of(healthyOut);
            const std::set<std::string> known(good.begin(), good.end());
            const std::vector<std::string> kept = rows_of(out);
            EXPECT_LT(kept.size(), good.size());
            for (const std::string& row : kept) EXPECT_TRUE(known.count(row)) << "row not from the gateway: " << row;
        }
        // And no workbook of it.
        const std::filesystem::path file =
            std::filesystem::temp_directory_path() / ("orvypc-matrix-" + std::to_string(getpid()) + ".xlsx");
        std::vector<std::string> withOutput = withFault;
        withOutput.insert(withOutput.end(), {"-o", file.string()});
        sim_->set_faults(faults);
        const Outcome written = run_orvypc(withOutput);
        if (faults.replyDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(held_ms(faults)));
        EXPECT_NE(written.status, kExitOk) << written.err;
        EXPECT_FALSE(std::filesystem::exists(file));
        std::filesystem::remove(file);
    }
    sim_->set_faults({});

    const Outcome after = run_orvypc(a);
    EXPECT_EQ(after.status, kExitOk) << after.err;
    EXPECT_EQ(after.out, healthy.out);
}

std::string case_name(const ::testing::TestParamInfo<Param>& info) {
    const std::string command = name_of(std::get<1>(info.param));
    return std::string(fault_cases()[std::get<0>(info.param)].name) + "_" + command;
}

INSTANTIATE_TEST_SUITE_P(AllFaults, FaultMatrix,
                         ::testing::Combine(::testing::Range<std::size_t>(0, fault_cases().size()),
                                            ::testing::Values(Command::Status, Command::Results, Command::Details)),
                         case_name);

}  // namespace
