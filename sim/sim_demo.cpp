// The built-in demonstration set: a small building on two DALI lines.
#include "sim_data.h"
#include "sim_status_fields.h"

#include <algorithm>

namespace {

enum class Health {
    Ok, FunctionFailed, DurationFailed, LatestWithoutResult, NeverTested,
    // Faults the gear reports between tests, and a duration test not run in its window.
    CircuitFailure, BatteryFault, LampFailure, DurationTestOverdue,
};

struct DemoLuminaire {
    const char* address;
    const char* name;       // at most 16 characters
    const char* location;   // at most 32 characters
    Health health;
    bool durationTestLatest;  // the latest stored entry is the annual duration test
    std::uint8_t day;         // day of the month the gateway runs its tests
};

constexpr DemoLuminaire kDemo[] = {
    {"A0", "Stair 1 exit", "Level 1 north stair", Health::Ok, false, 3},
    {"A1", "Stair 2 exit", "Level 3 east", Health::Ok, true, 3},
    {"A2", "Corridor 1", "Level 1 west corridor", Health::FunctionFailed, false, 4},
    {"A3", "Corridor 2", "Level 2 west corridor", Health::Ok, false, 4},
    {"A5", "Lobby sign", "Ground floor lobby", Health::DurationFailed, true, 5},
    {"A6", "Lift lobby", "Level 2 lift lobby", Health::Ok, false, 5},
    {"A8", "Plant room", "Basement plant room", Health::LatestWithoutResult, false, 6},
    {"A10", "Car park 1", "Basement level B1", Health::Ok, true, 6},
    {"A11", "Car park 2", "Basement level B2", Health::NeverTested, false, 6},
    {"A12", "Kitchen", "Level 1 staff caf\u00e9", Health::Ok, false, 7},
    {"A20", "Fire exit E", "Level 4 east stair", Health::FunctionFailed, false, 7},
    {"B0", "Office 301", "Level 3 open office", Health::Ok, false, 10},
    {"B1", "Office 302", "Level 3 south", Health::Ok, true, 10},
    {"B2", "Meeting room 3A", "Level 3 west wing", Health::DurationFailed, true, 11},
    {"B4", "Server room", "Level 2 IT room", Health::Ok, false, 11},
    {"B7", "Toilet block", "Level 2 amenities", Health::LatestWithoutResult, true, 12},
    {"B9", "Loading dock", "Ground floor rear", Health::Ok, false, 12},
    {"B15", "Roof access", "Level 5 roof hatch", Health::Ok, false, 13},
    {"B30", "Switch room", "Ground floor main switchboard", Health::FunctionFailed, false, 13},
    {"B63", "Stair 3 exit", "Level 5 west stair", Health::Ok, true, 14},
    {"A14", "Reception", "Ground floor reception", Health::CircuitFailure, false, 8},
    {"A16", "Stair 1 landing", "Level 2 north stair", Health::Ok, false, 8},
    {"A17", "Gym", "Basement gym", Health::BatteryFault, true, 9},
    {"B20", "Office 401", "Level 4 open office", Health::LampFailure, false, 14},
    {"B21", "Office 402", "Level 4 south", Health::Ok, true, 15},
    {"B40", "Archive", "Basement archive", Health::DurationTestOverdue, false, 15},
};

// Luminaires whose gateway has kept two years of monthly tests.
bool long_history(const DemoLuminaire& d) { return d.day == 3 || d.day == 12; }

constexpr std::uint8_t kPassed = 1, kFailed = 0xFF, kNoResult = 0, kNoMinutes = 0xFF;
constexpr std::uint8_t kFunctionTest = 0, kDurationTest = 1;
constexpr std::uint8_t kRatedMinutes = 180;

SimTestEntry entry(std::uint8_t type, std::uint8_t month, std::uint8_t day, std::uint8_t hour,
                   std::uint8_t result, std::uint8_t minutes) {
    SimTestEntry e;
    e.type = type;
    e.year = 2026;
    e.month = month;
    e.day = day;
    e.hour = hour;
    e.minute = static_cast<std::uint8_t>(day * 3 % 60);
    e.second = static_cast<std::uint8_t>(day * 7 % 60);
    e.result = result;
    e.minutes = minutes;
    return e;
}

// Monthly function tests from August to November and one duration test, in
// the order the gateway stored them; the last ones carry the luminaire's
// trouble.
std::vector<SimTestEntry> demo_entries(const DemoLuminaire& d) {
    std::vector<SimTestEntry> out;
    if (d.health == Health::NeverTested) return out;
    const std::uint8_t dtMonth = d.durationTestLatest ? 11 : 6;
    const bool dtFails = d.health == Health::DurationFailed;
    const SimTestEntry dt = entry(kDurationTest, dtMonth, static_cast<std::uint8_t>(d.day + 1), 2,
                                  dtFails ? kFailed : kPassed, dtFails ? 47 : kRatedMinutes);
    if (long_history(d)) {
        for (std::uint16_t year = 2024; year <= 2025; ++year) {
            for (std::uint8_t month = 1; month <= 12; ++month) {
                SimTestEntry e = entry(kFunctionTest, month, d.day, 1, kPassed, 1);
                e.year = year;
                out.push_back(e);
            }
            SimTestEntry annual = entry(kDurationTest, 6, static_cast<std::uint8_t>(d.day + 1), 2, kPassed, kRatedMinutes);
            annual.year = year;
            out.push_back(annual);
        }
    }
    if (!d.durationTestLatest) out.push_back(dt);
    for (std::uint8_t month = 8; month <= 11; ++month) {
        std::uint8_t result = kPassed, minutes = 1;
        if (month == 11 && d.health == Health::FunctionFailed) result = kFailed;
        if (month == 11 && d.health == Health::LatestWithoutResult && !d.durationTestLatest) {
            result = kNoResult;
            minutes = kNoMinutes;
        }
        out.push_back(entry(kFunctionTest, month, d.day, 1, result, minutes));
    }
    if (d.durationTestLatest) {
        SimTestEntry last = dt;
        if (d.health == Health::LatestWithoutResult) {
            last.result = kNoResult;
            last.minutes = kNoMinutes;
        }
        out.push_back(last);
    }
    for (std::size_t i = 0; i < out.size(); ++i) out[i].offset = static_cast<std::uint16_t>(i);
    return out;
}

SimStatusFields demo_status(const DemoLuminaire& d, std::size_t index) {
    SimStatusFields s = healthy_status_fields();
    s.groupsLow = static_cast<std::uint8_t>(1u << (index % 8));
    s.groupsHigh = index % 5 == 0 ? 0x01 : 0x00;
    s.nextFunctionTestHours = static_cast<std::uint16_t>(24 * (28 - d.day % 28));
    s.nextDurationTestHours = static_cast<std::uint16_t>(24 * (d.durationTestLatest ? 360 : 150));
    s.lampEmergencyHours = static_cast<std::uint8_t>(3 + index % 4);
    s.lampTotalTime4h = static_cast<std::uint8_t>(120 + 7 * index);
    switch (d.health) {
    case Health::Ok:
    case Health::NeverTested:
        break;
    case Health::FunctionFailed:
        s.daliStatus |= 0x02;       // lamp failure
        s.failureStatus = 0x48;     // lamp failure, function test failed
        s.emergencyStatus &= static_cast<std::uint8_t>(~0x02);
        break;
    case Health::DurationFailed:
        s.batteryCharge = 35;
        s.durationTestResultMinutes = 47;
        s.failureStatus = 0x86;     // rated duration not achieved, battery fault, duration test failed
        s.emergencyStatus &= static_cast<std::uint8_t>(~0x08);
        break;
    case Health::LatestWithoutResult:
        s.failureStatus = 0x10;     // test window for function test exceeded
        s.emergencyStatus |= 0x10;  // function test request pending
        break;
    case Health::CircuitFailure:
        s.failureStatus = 0x01;     // circuit failure
        s.batteryCharge = 0;
        break;
    case Health::BatteryFault:
        s.failureStatus = 0x04;     // battery fault
        s.batteryCharge = 12;
        s.emergencyStatus &= static_cast<std::uint8_t>(~0x08);
        break;
    case Health::LampFailure:
        s.daliStatus |= 0x02;       // lamp failure
        s.failureStatus = 0x08;
        break;
    case Health::DurationTestOverdue:
        s.failureStatus = 0x20;     // test window for duration test exceeded
        s.emergencyStatus |= 0x20;  // duration test request pending
        s.nextDurationTestHours = 0;
        break;
    }
    if (d.health == Health::NeverTested) {
        s.emergencyStatus = 0x08;
        s.durationTestResultMinutes = 0;
    }
    return s;
}

}  // namespace

std::vector<SimLuminaire> demo_luminaires() {
    std::vector<SimLuminaire> out;
    std::size_t index = 0;
    for (const auto& d : kDemo) {
        SimLuminaire lum;
        lum.unit = *parse_unit_address(d.address);
        lum.name = utf8_to_utf16(d.name);
        lum.location = utf8_to_utf16(d.location);
        lum.status = status_bytes(demo_status(d, index++));
        lum.entries = demo_entries(d);
        out.push_back(std::move(lum));
    }
    // In unit order, as the gateway lists them; the table keeps the later
    // additions at its end so the earlier luminaires keep their bytes.
    std::sort(out.begin(), out.end(), [](const SimLuminaire& a, const SimLuminaire& b) { return a.unit < b.unit; });
    return out;
}

SimConfig demo_config() {
    SimConfig config;
    config.luminaires = demo_luminaires();
    return config;
}

SimConfig demo_gateway_config() {
    SimConfig config = demo_config();
    config.faults.unitsBusyEvery[kDemoBusyNowAndThenUnit] = kDemoBusyPeriod;
    return config;
}

std::vector<SimLuminaire> full_site_luminaires() {
    // Names by line and short address; every seventh one carries a trouble
    // of its own so that a survey of the site has something to find.
    constexpr std::uint8_t kFailureKinds[] = {0x01, 0x04, 0x08, 0x10, 0x20, 0x48, 0x86};
    std::vector<SimLuminaire> out;
    for (int unit = 0; unit < 128; ++unit) {
        const bool lineB = unit >= 64;
        const int shortAddress = lineB ? unit - 64 : unit;
        SimLuminaire lum;
        lum.unit = static_cast<std::uint8_t>(unit);
        lum.name = utf8_to_utf16(std::string("Luminaire ") + (lineB ? "B" : "A") + std::to_string(shortAddress));
        lum.location = utf8_to_utf16("Level " + std::to_string(shortAddress / 8) + (lineB ? " south" : " north"));
        SimStatusFields s = healthy_status_fields();
        s.nextFunctionTestHours = static_cast<std::uint16_t>(24 * (1 + unit % 28));
        s.nextDurationTestHours = static_cast<std::uint16_t>(24 * (30 + unit));
        const bool troubled = unit % 7 == 3;
        const std::uint8_t failure = troubled ? kFailureKinds[(unit / 7) % 7] : 0;
        s.failureStatus = failure;
        lum.status = status_bytes(s);
        const bool functionFailed = failure & 0x40, durationFailed = failure & 0x80;
        for (std::uint8_t month = 7; month <= 11; ++month) {
            const bool last = month == 11;
            lum.entries.push_back(entry(kFunctionTest, month, static_cast<std::uint8_t>(1 + unit % 28), 1,
                                        last && functionFailed ? kFailed : kPassed, 1));
        }
        lum.entries.push_back(entry(kDurationTest, 11, static_cast<std::uint8_t>(1 + unit % 28), 4,
                                    durationFailed ? kFailed : kPassed, durationFailed ? 50 : kRatedMinutes));
        for (std::size_t i = 0; i < lum.entries.size(); ++i) lum.entries[i].offset = static_cast<std::uint16_t>(i);
        out.push_back(std::move(lum));
    }
    return out;
}
