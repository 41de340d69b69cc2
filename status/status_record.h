// The status record: the 40 data bytes of a status reply (offsets 17..56 of
// the reply frame) and the table of 74 status items, in nine sections, through
// which the status workbook and the command line present it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct StatusItem {
    std::string section;
    std::string label;
    std::string value;
};

inline constexpr int kStatusItemCount = 74;
inline constexpr int kStatusSectionCount = 9;

// Reply offsets of the record's fields (all bytes unsigned, 16-bit fields low
// byte first).
inline constexpr std::size_t kStatusOffsetResult = 15;     // 1 missing, 2 busy, else data
inline constexpr std::size_t kStatusOffsetUnit = 16;       // unit number echo
inline constexpr std::size_t kStatusDataFirst = 17;        // first data byte
inline constexpr std::size_t kStatusDataLast = 56;         // last data byte
inline constexpr std::size_t kStatusOffsetFeatures = 17;
inline constexpr std::size_t kStatusOffsetGroups0to7 = 25;
inline constexpr std::size_t kStatusOffsetDaliStatus = 26;
inline constexpr std::size_t kStatusOffsetMode = 38;
inline constexpr std::size_t kStatusOffsetEmergencyStatus = 48;
inline constexpr std::size_t kStatusOffsetFailureStatus = 49;
inline constexpr std::size_t kStatusOffsetGroups8to15 = 50;

// How an item's value text is made from the reply.
enum class StatusValueKind : std::uint8_t {
    Bit,           // "Yes" when bit `bit` of the byte at `offset` is 1
    BitClear,      // "Yes" when that bit is 0 (only "Ready": bit 0 set means not ready)
    Byte,          // the byte in decimal, then `suffix`
    Word,          // the 16-bit value at offset, offset+1 (low first), then `suffix`
    ByteTimes4,    // four times the byte, then `suffix` (lamp total hours in units of 4 h)
};

struct StatusItemDef {
    const char* section;
    const char* label;
    StatusValueKind kind;
    std::uint8_t offset;
    std::uint8_t bit;       // Bit, BitClear
    const char* suffix;     // Byte, Word, ByteTimes4
};

// The table, in presentation order.
extern const std::array<StatusItemDef, kStatusItemCount> kStatusItemTable;

struct StatusSection {
    const char* name;
    int firstItem;   // index into kStatusItemTable
    int itemCount;
};
// The nine sections, in order; their items are consecutive in the table.
extern const std::array<StatusSection, kStatusSectionCount> kStatusSections;

// The value text of one item read from a reply held in a kRxBufSize buffer.
std::string status_value_text(const StatusItemDef& item, const std::uint8_t* reply);

// The 74 items in table order from a status reply held in a 1046-byte buffer
// (ucRxBuf).
std::vector<StatusItem> status_items(const std::uint8_t* reply);

// Runs one status exchange for `unitNumber` (line A: 0..63, line B: 64..127);
// true when g_link.ucRxBuf now holds a status reply that passed every check.
// Defined with the query (library orvypc_status); see status_query.h.
bool QueryStatus(std::uint8_t unitNumber);
