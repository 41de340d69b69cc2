#include "sim_status_fields.h"


namespace {

// Reply offsets of the status bytes (the array holds offset 17 at index 0).
constexpr std::size_t kFirst = 17;

constexpr SimStatusFieldInfo kFields[] = {
    {"features", 17, 1},
    {"maxLevel", 18, 1},
    {"minLevel", 19, 1},
    {"systemFailureLevel", 20, 1},
    {"powerOnLevel", 21, 1},
    {"fadeTime", 22, 1},
    {"fadeRate", 23, 1},
    {"physicalMinLevel", 24, 1},
    {"groupsLow", 25, 1},
    {"daliStatus", 26, 1},
    {"nextFunctionTestHours", 27, 2},
    {"nextDurationTestHours", 29, 2},
    {"functionTestIntervalDays", 31, 1},
    {"durationTestIntervalWeeks", 33, 1},
    {"testTimeoutDays", 34, 1},
    {"prolongMinutes", 36, 1},
    {"emergencyMode", 38, 1},
    {"batteryCharge", 39, 1},
    {"durationTestResultMinutes", 40, 1},
    {"lampEmergencyHours", 43, 1},
    {"lampTotalTime4h", 45, 1},
    {"ratedDuration", 47, 1},
    {"emergencyStatus", 48, 1},
    {"failureStatus", 49, 1},
    {"groupsHigh", 50, 1},
};

void put(std::array<std::uint8_t, kSimStatusBytes>& out, std::string_view name, unsigned value) {
    const SimStatusFieldInfo* f = find_status_field(name);
    out[f->replyOffset - kFirst] = static_cast<std::uint8_t>(value & 0xFF);
    if (f->width == 2) out[f->replyOffset - kFirst + 1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

const SimStatusFieldInfo* find_status_field(std::string_view name) {
    for (const auto& f : kFields) {
        if (f.name == name) return &f;
    }
    return nullptr;
}

SimStatusFields healthy_status_fields() {
    SimStatusFields s;
    s.features = 0x0B;          // integral gear, maintained, auto-test capable
    s.maxLevel = 254;
    s.minLevel = 85;
    s.systemFailureLevel = 254;
    s.powerOnLevel = 254;
    s.fadeTime = 0;
    s.fadeRate = 7;
    s.physicalMinLevel = 85;
    s.daliStatus = 0x04;        // lamp arc power on
    s.functionTestIntervalDays = 28;
    s.durationTestIntervalWeeks = 52;
    s.testTimeoutDays = 7;
    s.prolongMinutes = 30;
    s.emergencyMode = 0x02;     // normal mode active
    s.batteryCharge = 100;
    s.durationTestResultMinutes = 180;
    s.ratedDuration = 180;
    s.emergencyStatus = 0x0E;   // function test done, duration test done, battery fully charged
    return s;
}

std::array<std::uint8_t, kSimStatusBytes> status_bytes(const SimStatusFields& s) {
    std::array<std::uint8_t, kSimStatusBytes> out{};
    put(out, "features", s.features);
    put(out, "maxLevel", s.maxLevel);
    put(out, "minLevel", s.minLevel);
    put(out, "systemFailureLevel", s.systemFailureLevel);
    put(out, "powerOnLevel", s.powerOnLevel);
    put(out, "fadeTime", s.fadeTime);
    put(out, "fadeRate", s.fadeRate);
    put(out, "physicalMinLevel", s.physicalMinLevel);
    put(out, "groupsLow", s.groupsLow);
    put(out, "daliStatus", s.daliStatus);
    put(out, "nextFunctionTestHours", s.nextFunctionTestHours);
    put(out, "nextDurationTestHours", s.nextDurationTestHours);
    put(out, "functionTestIntervalDays", s.functionTestIntervalDays);
    put(out, "durationTestIntervalWeeks", s.durationTestIntervalWeeks);
    put(out, "testTimeoutDays", s.testTimeoutDays);
    put(out, "prolongMinutes", s.prolongMinutes);
    put(out, "emergencyMode", s.emergencyMode);
    put(out, "batteryCharge", s.batteryCharge);
    put(out, "durationTestResultMinutes", s.durationTestResultMinutes);
    put(out, "lampEmergencyHours", s.lampEmergencyHours);
    put(out, "lampTotalTime4h", s.lampTotalTime4h);
    put(out, "ratedDuration", s.ratedDuration);
    put(out, "emergencyStatus", s.emergencyStatus);
    put(out, "failureStatus", s.failureStatus);
    put(out, "groupsHigh", s.groupsHigh);
    return out;
}
