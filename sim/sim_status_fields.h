// The 40 status bytes of a luminaire by name: what the demonstration set and
// the "status" objects of a luminaire file are written in.
#pragma once

#include "sim_types.h"

#include <array>
#include <cstdint>
#include <string_view>

struct SimStatusFields {
    std::uint8_t features = 0;
    std::uint8_t maxLevel = 0, minLevel = 0, systemFailureLevel = 0, powerOnLevel = 0;
    std::uint8_t fadeTime = 0, fadeRate = 0, physicalMinLevel = 0;
    std::uint8_t groupsLow = 0;          // groups 0-7
    std::uint8_t daliStatus = 0;
    std::uint16_t nextFunctionTestHours = 0, nextDurationTestHours = 0;
    std::uint8_t functionTestIntervalDays = 0, durationTestIntervalWeeks = 0, testTimeoutDays = 0;
    std::uint8_t prolongMinutes = 0;
    std::uint8_t emergencyMode = 0;
    std::uint8_t batteryCharge = 0;      // percent
    std::uint8_t durationTestResultMinutes = 0;
    std::uint8_t lampEmergencyHours = 0;
    std::uint8_t lampTotalTime4h = 0;    // units of 4 hours
    std::uint8_t ratedDuration = 0;
    std::uint8_t emergencyStatus = 0, failureStatus = 0;
    std::uint8_t groupsHigh = 0;         // groups 8-15
};

// A self-contained luminaire in normal mode, battery full, last tests passed.
SimStatusFields healthy_status_fields();
// The fields at their reply offsets (bytes 17..56 of the status reply).
std::array<std::uint8_t, kSimStatusBytes> status_bytes(const SimStatusFields& fields);

// One named field of the status bytes: its reply offset and width (1 or 2,
// little-endian), for luminaire files.
struct SimStatusFieldInfo {
    std::string_view name;
    std::size_t replyOffset;
    std::size_t width;
};
const SimStatusFieldInfo* find_status_field(std::string_view name);
