#include "status_record.h"

namespace {

using K = StatusValueKind;

constexpr StatusItemDef bit(const char* section, const char* label, std::uint8_t offset, std::uint8_t b) {
    return {section, label, K::Bit, offset, b, ""};
}
constexpr StatusItemDef number(const char* section, const char* label, K kind, std::uint8_t offset,
                               const char* suffix) {
    return {section, label, kind, offset, 0, suffix};
}

constexpr const char* kStatus = "Status";
constexpr const char* kTiming = "Test Timing";
constexpr const char* kDefaults = "Default parameters";
constexpr const char* kGroups = "Member of Group(s)";
constexpr const char* kFeatures = "Features";
constexpr const char* kMode = "Operating mode";
constexpr const char* kAdditional = "Additional information";
constexpr const char* kEmergency = "Emergency status";
constexpr const char* kFaults = "Faults";

}  // namespace

const std::array<StatusItemDef, kStatusItemCount> kStatusItemTable = {{
    // DALI status byte; bit 0 set means the gear is NOT ready.
    {kStatus, "Ready", K::BitClear, kStatusOffsetDaliStatus, 0, ""},
    bit(kStatus, "Lamp failure", kStatusOffsetDaliStatus, 1),
    bit(kStatus, "Lamp arc power on", kStatusOffsetDaliStatus, 2),
    bit(kStatus, "Limit error", kStatusOffsetDaliStatus, 3),
    bit(kStatus, "Fade running", kStatusOffsetDaliStatus, 4),
    bit(kStatus, "Reset state", kStatusOffsetDaliStatus, 5),
    bit(kStatus, "Missing short address", kStatusOffsetDaliStatus, 6),
    bit(kStatus, "Power cycle seen", kStatusOffsetDaliStatus, 7),

    number(kTiming, "Next function test", K::Word, 27, " Hours"),
    number(kTiming, "Next duration test", K::Word, 29, " Hours"),
    number(kTiming, "Function test interval", K::Byte, 31, " Days"),
    number(kTiming, "Duration test interval", K::Byte, 33, " Weeks"),
    number(kTiming, "Test execution time out", K::Byte, 34, " Days"),
    number(kTiming, "Prolong time", K::Byte, 36, " Min"),

    // Levels are shown with a trailing blank, as the workbook always has.
    number(kDefaults, "Maximum level", K::Byte, 18, " "),
    number(kDefaults, "Minimum level", K::Byte, 19, " "),
    number(kDefaults, "System fail level", K::Byte, 20, " "),
    number(kDefaults, "Power on level", K::Byte, 21, " "),
    number(kDefaults, "Fade Time(Seconds)", K::Byte, 22, " "),
    number(kDefaults, "Fade Rate(Steps/Sec)", K::Byte, 23, " "),
    number(kDefaults, "Physical Minimum", K::Byte, 24, " "),

    bit(kGroups, "Group0", kStatusOffsetGroups0to7, 0),
    bit(kGroups, "Group1", kStatusOffsetGroups0to7, 1),
    bit(kGroups, "Group2", kStatusOffsetGroups0to7, 2),
    bit(kGroups, "Group3", kStatusOffsetGroups0to7, 3),
    bit(kGroups, "Group4", kStatusOffsetGroups0to7, 4),
    bit(kGroups, "Group5", kStatusOffsetGroups0to7, 5),
    bit(kGroups, "Group6", kStatusOffsetGroups0to7, 6),
    bit(kGroups, "Group7", kStatusOffsetGroups0to7, 7),
    bit(kGroups, "Group8", kStatusOffsetGroups8to15, 0),
    bit(kGroups, "Group9", kStatusOffsetGroups8to15, 1),
    bit(kGroups, "Group10", kStatusOffsetGroups8to15, 2),
    bit(kGroups, "Group11", kStatusOffsetGroups8to15, 3),
    bit(kGroups, "Group12", kStatusOffsetGroups8to15, 4),
    bit(kGroups, "Group13", kStatusOffsetGroups8to15, 5),
    bit(kGroups, "Group14", kStatusOffsetGroups8to15, 6),
    bit(kGroups, "Group15", kStatusOffsetGroups8to15, 7),

    bit(kFeatures, "Integral emergency control gear", kStatusOffsetFeatures, 0),
    bit(kFeatures, "Maintained control gear", kStatusOffsetFeatures, 1),
    bit(kFeatures, "Switched maintained control gear", kStatusOffsetFeatures, 2),
    bit(kFeatures, "Auto-test capable", kStatusOffsetFeatures, 3),
    bit(kFeatures, "Adjustable emergency level", kStatusOffsetFeatures, 4),
    bit(kFeatures, "Hardwired inhibit supported", kStatusOffsetFeatures, 5),
    bit(kFeatures, "Physical selection supported", kStatusOffsetFeatures, 6),
    bit(kFeatures, "Re-light rest mode supported", kStatusOffsetFeatures, 7),

    bit(kMode, "Rest mode active", kStatusOffsetMode, 0),
    bit(kMode, "Normal mode active", kStatusOffsetMode, 1),
    bit(kMode, "Emergency mode active", kStatusOffsetMode, 2),
    bit(kMode, "Emergency mode after mains return active", kStatusOffsetMode, 3),
    bit(kMode, "Function test in progress", kStatusOffsetMode, 4),
    bit(kMode, "Duration test in progress", kStatusOffsetMode, 5),
    bit(kMode, "Hardwired inhibit mode active", kStatusOffsetMode, 6),
    bit(kMode, "Hardwired switch is on", kStatusOffsetMode, 7),

    number(kAdditional, "Battery charging state", K::Byte, 39, " %"),
    number(kAdditional, "Duration test result", K::Byte, 40, " min"),
    number(kAdditional, "Lamp burning hours in emergency", K::Byte, 43, " hr"),
    number(kAdditional, "Lamp burning hours-total", K::ByteTimes4, 45, " hr"),
    number(kAdditional, "Rated duration", K::Byte, 47, ""),

    bit(kEmergency, "Inhibit mode", kStatusOffsetEmergencyStatus, 0),
    bit(kEmergency, "Function test done", kStatusOffsetEmergencyStatus, 1),
    bit(kEmergency, "Duration test done", kStatusOffsetEmergencyStatus, 2),
    bit(kEmergency, "Battery fully charged", kStatusOffsetEmergencyStatus, 3),
    bit(kEmergency, "Function test request pending", kStatusOffsetEmergencyStatus, 4),
    bit(kEmergency, "Duration test request pending", kStatusOffsetEmergencyStatus, 5),
    bit(kEmergency, "indentification active", kStatusOffsetEmergencyStatus, 6),
    bit(kEmergency, "Physically selected", kStatusOffsetEmergencyStatus, 7),

    bit(kFaults, "Circuit failure", kStatusOffsetFailureStatus, 0),
    bit(kFaults, "Rated duration not achieved", kStatusOffsetFailureStatus, 1),
    bit(kFaults, "Battery fault", kStatusOffsetFailureStatus, 2),
    bit(kFaults, "Lamp failure", kStatusOffsetFailureStatus, 3),
    bit(kFaults, "Test window for function test exceeded", kStatusOffsetFailureStatus, 4),
    bit(kFaults, "Test window for duration test exceeded", kStatusOffsetFailureStatus, 5),
    bit(kFaults, "Function test failed", kStatusOffsetFailureStatus, 6),
    bit(kFaults, "Duration test failed", kStatusOffsetFailureStatus, 7),
}};

const std::array<StatusSection, kStatusSectionCount> kStatusSections = {{
    {kStatus, 0, 8},
    {kTiming, 8, 6},
    {kDefaults, 14, 7},
    {kGroups, 21, 16},
    {kFeatures, 37, 8},
    {kMode, 45, 8},
    {kAdditional, 53, 5},
    {kEmergency, 58, 8},
    {kFaults, 66, 8},
}};

std::string status_value_text(const StatusItemDef& item, const std::uint8_t* reply) {
    const std::uint8_t byte = reply[item.offset];
    switch (item.kind) {
    case K::Bit:
        return (byte >> item.bit & 1U) != 0 ? "Yes" : "No";
    case K::BitClear:
        return (byte >> item.bit & 1U) == 0 ? "Yes" : "No";
    case K::Byte:
        return std::to_string(byte) + item.suffix;
    case K::Word:
        return std::to_string(static_cast<unsigned>(byte | reply[item.offset + 1] << 8)) + item.suffix;
    case K::ByteTimes4:
        return std::to_string(4 * static_cast<unsigned>(byte)) + item.suffix;
    }
    return {};
}

std::vector<StatusItem> status_items(const std::uint8_t* reply) {
    std::vector<StatusItem> items;
    items.reserve(kStatusItemCount);
    for (const StatusItemDef& def : kStatusItemTable)
        items.push_back({def.section, def.label, status_value_text(def, reply)});
    return items;
}
