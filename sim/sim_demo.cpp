// The built-in demonstration set: a small building on two DALI lines, with
// two years of tests that end yesterday, whatever the date.
#include "sim_data.h"
#include "sim_status_fields.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

enum class Health {
    Ok, FunctionFailed, DurationFailed, LatestWithoutResult, NeverTested,
    // Faults the gear reports between tests, and a duration test not run in its window.
    CircuitFailure, BatteryFault, LampFailure, DurationTestOverdue,
};

// What the luminaire's history holds besides its routine tests.
enum Story : unsigned {
    kPlain = 0,
    kDurationTestLatest = 1,   // its latest stored entry is the annual duration test
    kRetestedFailure = 2,      // now and then a failed function test, passed on a re-test two days later
    kMissesMonths = 4,         // its line was out of service one calendar month in ten: no test then
};

struct DemoLuminaire {
    const char* address;
    const char* name;       // at most 16 characters
    const char* location;   // at most 32 characters
    Health health;
    unsigned story;
    std::uint8_t phase;     // which day of the gear's 28-day cycle it tests on
};

constexpr DemoLuminaire kDemo[] = {
    {"A0", "Stair 1 exit", "Level 1 north stair", Health::Ok, kPlain, 3},
    {"A1", "Stair 2 exit", "Level 3 east", Health::Ok, kDurationTestLatest, 3},
    {"A2", "Corridor 1", "Level 1 west corridor", Health::FunctionFailed, kPlain, 4},
    {"A3", "Corridor 2", "Level 2 west corridor", Health::Ok, kRetestedFailure, 4},
    {"A5", "Lobby sign", "Ground floor lobby", Health::DurationFailed, kDurationTestLatest, 5},
    {"A6", "Lift lobby", "Level 2 lift lobby", Health::Ok, kPlain, 5},
    {"A8", "Plant room", "Basement plant room", Health::LatestWithoutResult, kPlain, 6},
    {"A10", "Car park 1", "Basement level B1", Health::Ok, kDurationTestLatest, 6},
    {"A11", "Car park 2", "Basement level B2", Health::NeverTested, kPlain, 6},
    {"A12", "Kitchen", "Level 1 staff caf\u00e9", Health::Ok, kPlain, 7},
    {"A20", "Fire exit E", "Level 4 east stair", Health::FunctionFailed, kPlain, 7},
    {"B0", "Office 301", "Level 3 open office", Health::Ok, kMissesMonths, 10},
    {"B1", "Office 302", "Level 3 south", Health::Ok, kDurationTestLatest | kMissesMonths, 10},
    {"B2", "Meeting room 3A", "Level 3 west wing", Health::DurationFailed, kDurationTestLatest | kMissesMonths, 11},
    {"B4", "Server room", "Level 2 IT room", Health::Ok, kMissesMonths, 11},
    {"B7", "Toilet block", "Level 2 amenities", Health::LatestWithoutResult, kDurationTestLatest, 12},
    {"B9", "Loading dock", "Ground floor rear", Health::Ok, kPlain, 12},
    {"B15", "Roof access", "Level 5 roof hatch", Health::Ok, kRetestedFailure, 13},
    {"B30", "Switch room", "Ground floor main switchboard", Health::FunctionFailed, kPlain, 13},
    {"B63", "Stair 3 exit", "Level 5 west stair", Health::Ok, kDurationTestLatest, 14},
    {"A14", "Reception", "Ground floor reception", Health::CircuitFailure, kPlain, 8},
    {"A16", "Stair 1 landing", "Level 2 north stair", Health::Ok, kPlain, 8},
    {"A17", "Gym", "Basement gym", Health::BatteryFault, kDurationTestLatest, 9},
    {"B20", "Office 401", "Level 4 open office", Health::LampFailure, kPlain, 14},
    {"B21", "\u529e\u516c\u5ba4 402", "\u56db\u697c \u5357\u4fa7", Health::Ok, kDurationTestLatest, 15},
    {"B40", "Archive", "Basement archive", Health::DurationTestOverdue, kPlain, 15},
};

constexpr std::uint8_t kPassed = 1, kFailed = 0xFF, kNoResult = 0, kNoMinutes = 0xFF;
constexpr std::uint8_t kFunctionTest = 0, kDurationTest = 1;
constexpr std::uint8_t kRatedMinutes = 180;
constexpr std::uint8_t kFailedDurationMinutes = 47;

// The gear's own schedule (its status bytes say so: 28 days, 52 weeks): a
// function test every 28 days, and with every thirteenth of them the
// duration test.
constexpr int kCycleDays = 28;
constexpr int kDurationEvery = 13;
// The gateway keeps two years: 26 cycles, 28 tests and the odd re-test.
constexpr int kKeptCycles = 26;
// A re-tested failure comes back every eleventh cycle (308 days), so every
// twelve months hold one; the re-test is two days after the failure.
constexpr int kRetestedEvery = 11;
constexpr int kRetestAfterDays = 2;
// One calendar month in ten goes untested on the luminaires whose line was
// out of service; the last two months never, so no luminaire is overdue for it.
constexpr int kMissedMonthEvery = 10;
constexpr int kMissedMonthsSpared = 2;

// Floor division of day numbers, which may lie before 1970.
long floor_div(long a, long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }
long mod(long a, long b) { return a - floor_div(a, b) * b; }

long month_index(const year_month_day& d) {
    return static_cast<long>(static_cast<int>(d.year())) * 12 + static_cast<long>(static_cast<unsigned>(d.month())) - 1;
}

SimTestEntry entry_at(sys_days day, std::uint8_t type, std::uint8_t hour, std::uint8_t result, std::uint8_t minutes) {
    const year_month_day d{day};
    SimTestEntry e;
    e.type = type;
    e.year = static_cast<std::uint16_t>(static_cast<int>(d.year()));
    e.month = static_cast<std::uint8_t>(static_cast<unsigned>(d.month()));
    e.day = static_cast<std::uint8_t>(static_cast<unsigned>(d.day()));
    e.hour = hour;
    e.minute = static_cast<std::uint8_t>(e.day * 3 % 60);
    e.second = static_cast<std::uint8_t>(e.day * 7 % 60);
    e.result = result;
    e.minutes = minutes;
    return e;
}

// The luminaire's test cycles: cycle k falls on day phase + 28 k (days from
// 1970-01-01), so a test keeps its date from one day to the next; only the
// luminaire's present trouble goes with the latest cycle.
class Schedule {
public:
    Schedule(const DemoLuminaire& d, sys_days today)
        : d_(d), today_(today),
          last_(floor_div(today.time_since_epoch().count() - 1 - d.phase, kCycleDays)),
          durationPhase_(d.story & kDurationTestLatest ? mod(last_, kDurationEvery) : mod(d.phase * 5L, kDurationEvery)) {
        // The duration test it missed: the latest one due.
        if (d.health == Health::DurationTestOverdue) skippedDuration_ = last_ - mod(last_ - durationPhase_, kDurationEvery);
    }

    long last() const { return last_; }
    sys_days day_of(long cycle) const { return sys_days{days{d_.phase + cycle * kCycleDays}}; }
    bool duration_cycle(long cycle) const {
        return mod(cycle - durationPhase_, kDurationEvery) == 0 && cycle != skippedDuration_;
    }
    long latest_duration_cycle() const { return last_ - mod(last_ - durationPhase_, kDurationEvery); }
    bool month_missed(sys_days day) const {
        const long m = month_index(year_month_day{day});
        return (d_.story & kMissesMonths) && mod(m, kMissedMonthEvery) == 3 &&
               m <= month_index(year_month_day{today_}) - kMissedMonthsSpared;
    }
    // A failure due in a duration test's cycle comes in the cycle after it.
    bool retested_failure(long cycle) const {
        if (!(d_.story & kRetestedFailure) || cycle >= last_ || duration_cycle(cycle)) return false;
        const long turn = mod(cycle + d_.phase, kRetestedEvery);
        return turn == 0 || (turn == 1 && duration_cycle(cycle - 1));
    }
    long days_to_next(bool duration) const {
        long next = last_ + 1;
        while (duration && !duration_cycle(next)) ++next;
        return (day_of(next) - today_).count();
    }

private:
    const DemoLuminaire& d_;
    sys_days today_;
    long last_;
    long durationPhase_;
    long skippedDuration_ = -1;
};

// The entries of one cycle, oldest first: the function test, and in a
// duration test's cycle the duration test an hour after it. The latest
// cycles carry the luminaire's present trouble.
void add_cycle(const DemoLuminaire& d, const Schedule& s, long cycle, std::vector<SimTestEntry>& out) {
    const sys_days day = s.day_of(cycle);
    const bool latest = cycle == s.last();
    const bool withoutResult = latest && d.health == Health::LatestWithoutResult;
    const bool duration = s.duration_cycle(cycle);
    if (!s.month_missed(day)) {
        SimTestEntry ft = entry_at(day, kFunctionTest, 1, kPassed, 1);
        if (latest && d.health == Health::FunctionFailed) ft.result = kFailed;
        if (withoutResult && !(d.story & kDurationTestLatest)) {
            ft.result = kNoResult;
            ft.minutes = kNoMinutes;
        }
        if (s.retested_failure(cycle)) {
            ft.result = kFailed;
            out.push_back(ft);
            ft = entry_at(day + days{kRetestAfterDays}, kFunctionTest, 10, kPassed, 1);
        }
        out.push_back(ft);
    }
    if (!duration) return;
    SimTestEntry dt = entry_at(day, kDurationTest, 2, kPassed, kRatedMinutes);
    if (cycle == s.latest_duration_cycle() && d.health == Health::DurationFailed) {
        dt.result = kFailed;
        dt.minutes = kFailedDurationMinutes;
    }
    if (withoutResult && (d.story & kDurationTestLatest)) {
        dt.result = kNoResult;
        dt.minutes = kNoMinutes;
    }
    out.push_back(dt);
}

std::vector<SimTestEntry> demo_entries(const DemoLuminaire& d, const Schedule& s) {
    std::vector<SimTestEntry> out;
    if (d.health == Health::NeverTested) return out;
    for (long cycle = s.last() - kKeptCycles + 1; cycle <= s.last(); ++cycle) add_cycle(d, s, cycle, out);
    for (std::size_t i = 0; i < out.size(); ++i) out[i].offset = static_cast<std::uint16_t>(i);
    return out;
}

SimStatusFields demo_status(const DemoLuminaire& d, const Schedule& sched, std::size_t index) {
    SimStatusFields s = healthy_status_fields();
    s.groupsLow = static_cast<std::uint8_t>(1u << (index % 8));
    s.groupsHigh = index % 5 == 0 ? 0x01 : 0x00;
    s.nextFunctionTestHours = static_cast<std::uint16_t>(24 * sched.days_to_next(false));
    s.nextDurationTestHours = static_cast<std::uint16_t>(24 * sched.days_to_next(true));
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
        s.durationTestResultMinutes = kFailedDurationMinutes;
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

// Fixed dates in 2026, for the benchmark's site.
SimTestEntry entry_2026(std::uint8_t type, std::uint8_t month, std::uint8_t day, std::uint8_t hour, std::uint8_t result,
                        std::uint8_t minutes) {
    using namespace std::chrono;
    return entry_at(sys_days{year{2026} / month / day}, type, hour, result, minutes);
}

}  // namespace

sys_days demo_today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    using namespace std::chrono;
    return sys_days{year{local.tm_year + 1900} / (local.tm_mon + 1) / local.tm_mday};
}

std::vector<SimLuminaire> demo_luminaires(sys_days today) {
    std::vector<SimLuminaire> out;
    std::size_t index = 0;
    for (const auto& d : kDemo) {
        const Schedule schedule(d, today);
        SimLuminaire lum;
        lum.unit = *parse_unit_address(d.address);
        lum.name = utf8_to_utf16(d.name);
        lum.location = utf8_to_utf16(d.location);
        lum.status = status_bytes(demo_status(d, schedule, index++));
        lum.entries = demo_entries(d, schedule);
        out.push_back(std::move(lum));
    }
    // In unit order, as the gateway lists them; the table keeps the later
    // additions at its end so the earlier luminaires keep their bytes.
    std::sort(out.begin(), out.end(), [](const SimLuminaire& a, const SimLuminaire& b) { return a.unit < b.unit; });
    return out;
}

std::vector<SimLuminaire> demo_luminaires() { return demo_luminaires(demo_today()); }

std::vector<SimRepair> demo_repairs(sys_days today) {
    std::vector<SimRepair> out;
    for (const auto& d : kDemo) {
        if (!(d.story & kRetestedFailure) || d.health == Health::NeverTested) continue;
        const Schedule s(d, today);
        const std::uint8_t unit = *parse_unit_address(d.address);
        const bool lamp = unit >= 64;
        for (long cycle = s.last() - kKeptCycles + 1; cycle <= s.last(); ++cycle) {
            const sys_days day = s.day_of(cycle);
            if (!s.retested_failure(cycle) || s.month_missed(day)) continue;
            // The morning after the failure, before the re-test a day later.
            const year_month_day next{day + days{1}};
            char when[32];
            std::snprintf(when, sizeof when, "%04d-%02u-%02u 09:30:00", static_cast<int>(next.year()),
                          static_cast<unsigned>(next.month()), static_cast<unsigned>(next.day()));
            out.push_back({unit, when, lamp ? "lamp" : "battery",
                           std::string(lamp ? "Lamp" : "Battery") + " replaced"});
        }
    }
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
            lum.entries.push_back(entry_2026(kFunctionTest, month, static_cast<std::uint8_t>(1 + unit % 28), 1,
                                             last && functionFailed ? kFailed : kPassed, 1));
        }
        lum.entries.push_back(entry_2026(kDurationTest, 11, static_cast<std::uint8_t>(1 + unit % 28), 4,
                                         durationFailed ? kFailed : kPassed, durationFailed ? 50 : kRatedMinutes));
        for (std::size_t i = 0; i < lum.entries.size(); ++i) lum.entries[i].offset = static_cast<std::uint16_t>(i);
        out.push_back(std::move(lum));
    }
    return out;
}
