// The orvypc front end against every fault the simulator can inject, one
// case per fault and sub-command: the exit status, the message, that nothing
// partial or corrupt is passed off as success, and that the next command
// against the healthy simulator succeeds.
//
// Each case runs the command three times as a process: against the healthy
// simulator (what success looks like), with the fault, and healthy again.
#include "cli.h"
#include "gateway_sim.h"
#include "run_orvypc.h"
#include "sim_data.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
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
    const char* message = "";   // a line of standard error contains it (failures)
    bool sameAsHealthy = true;  // success: exactly the healthy output
};

struct FaultCase {
    const char* name;
    std::function<void(SimFaults&)> fault;
    Expect status, results, details;
    bool discovery = false;   // find the gateway by broadcast on 127.255.255.255
};

constexpr const char* kNoStatus = "no valid status reply from the gateway";
constexpr const char* kListLink = "the link to the gateway failed; the list ends there";
constexpr const char* kRecvFails = "tcp recv fails! The current network may have been disconnected.";
constexpr const char* kNetwork = "Network exception, please reconnect";

const Expect kOk{};
const Expect kStatusLink{kExitNoLink, kNoStatus};
const Expect kListLinkFailed{kExitNoLink, kListLink};

// The luminaire the status and details commands ask for: A1 has several
// stored entries in the demonstration set.
constexpr const char* kUnit = "A1";
constexpr std::uint8_t kUnitNumber = 1;

const std::vector<FaultCase>& fault_cases() {
    static const std::vector<FaultCase> cases = {
        {"Silent", [](SimFaults& f) { f.silent = true; }, kStatusLink, kListLinkFailed, {kExitNoLink, kRecvFails}},
        {"Dropped", [](SimFaults& f) { f.dropReplies = true; }, kStatusLink, kListLinkFailed,
         {kExitNoLink, kRecvFails}},
        {"SlowWithinTimeout", [](SimFaults& f) { f.replyDelayMs = 60; }, kOk, kOk, kOk},
        {"SlowPastTimeout", [](SimFaults& f) { f.replyDelayMs = 700; }, kStatusLink, kListLinkFailed,
         {kExitNoLink, kRecvFails}},
        {"Split", [](SimFaults& f) { f.splitReplies = true; }, kStatusLink, kListLinkFailed, kListLinkFailed},
        {"WrongChecksum", [](SimFaults& f) { f.badChecksum = true; }, kStatusLink, kListLinkFailed, kListLinkFailed},
        {"WrongCommandEcho", [](SimFaults& f) { f.wrongCommandEcho = true; },
         {kExitRefused, "the gateway refused the status request"},
         {kExitRefused, kNetwork},
         {kExitRefused, "the gateway answered another request; the list ends there"}},
        // The test-results listing asks for no unit: a reply naming another
        // one is a row of that luminaire.
        {"WrongUnitEcho", [](SimFaults& f) { f.wrongUnitEcho = true; }, {kExitRefused, kNetwork},
         {kExitOk, "", false},
         {kExitRefused, kNetwork}},
        {"EndByte5F", [](SimFaults& f) { f.endByte5F = true; }, kOk, kOk, kOk},
        {"EndByte00", [](SimFaults& f) { f.badEndByte = true; }, kStatusLink, kListLinkFailed, kListLinkFailed},
        {"BadMagic", [](SimFaults& f) { f.badMagic = true; }, kStatusLink, kListLinkFailed, kListLinkFailed},
        {"ClosedAtOnce", [](SimFaults& f) { f.closeAfterReplies = 0; }, kStatusLink, kListLinkFailed,
         {kExitNoLink, kRecvFails}},
        // The link reopens the connection for the next request, but a
        // listing cannot go on over a new one: it ends as failed.
        {"ClosedAfterTwoReplies", [](SimFaults& f) { f.closeAfterReplies = 2; }, kOk, kListLinkFailed,
         kListLinkFailed},
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

    std::vector<std::string> args(Command c, bool discovery) const {
        std::vector<std::string> a{name_of(c)};
        if (c != Command::Results) a.push_back(kUnit);
        a.push_back("--json");
        if (discovery) {
            a.insert(a.end(), {"--broadcast", "127.255.255.255"});
        } else {
            a.insert(a.end(), {"--gateway", "127.0.0.1"});
        }
        a.insert(a.end(), {"--port", std::to_string(sim_->port()), "--timeout", "300"});
        return a;
    }

    std::unique_ptr<GatewaySim> sim_;
};

// The rows of a listing's JSON output, each row as one line of text.
std::vector<std::string> rows_of(const nlohmann::json& j) {
    std::vector<std::string> rows;
    for (const auto& r : j.at("rows")) rows.push_back(r.dump());
    return rows;
}

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
    const Outcome faulty = run_orvypc(a);
    sim_->set_faults({});
    // The simulator serves one connection at a time: a reply held back past
    // the program's time-out keeps it busy until it has gone out.
    std::this_thread::sleep_for(std::chrono::milliseconds(faults.replyDelayMs));

    // Whatever the outcome, standard output is whole JSON or nothing.
    nlohmann::json out;
    if (!faulty.out.empty()) {
        ASSERT_NO_THROW(out = nlohmann::json::parse(faulty.out)) << "half-written output:\n" << faulty.out;
    }
    const nlohmann::json healthyOut = nlohmann::json::parse(healthy.out);

    EXPECT_EQ(faulty.status, want.status) << "stderr: " << faulty.err << "\nstdout: " << faulty.out;
    if (want.status == kExitOk) {
        EXPECT_TRUE(faulty.err.empty()) << faulty.err;
        if (want.sameAsHealthy) {
            EXPECT_EQ(faulty.out, healthy.out);
        } else {
            ASSERT_TRUE(out.contains("rows"));
            EXPECT_EQ(out["rows"].size(), healthyOut["rows"].size());
        }
    } else {
        EXPECT_NE(faulty.err.find(want.message), std::string::npos) << "stderr: " << faulty.err;
        if (command == Command::Status) {
            // A refused or failed status shows no items at all.
            EXPECT_TRUE(faulty.out.empty()) << faulty.out;
        } else if (!out.is_null()) {
            // A listing that ends early keeps the rows it had, and only real ones.
            const std::vector<std::string> good = rows_of(healthyOut);
            const std::set<std::string> known(good.begin(), good.end());
            const std::vector<std::string> kept = rows_of(out);
            EXPECT_LT(kept.size(), good.size());
            for (const std::string& row : kept) EXPECT_TRUE(known.count(row)) << "row not from the gateway: " << row;
        }
    }

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
