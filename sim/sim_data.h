// Where the simulator's luminaires come from: a built-in demonstration set,
// or a JSON file (format in sim/README.md).
#pragma once

#include "sim_types.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// About twenty luminaires on lines A and B, each with the tests of the two
// years before `today` (none of them on `today` itself): a function test
// every 28 days, the yearly duration test with every thirteenth,
// passed, failed and without result; a few months not tested on part of
// line B, failures passed on a re-test, one duration test overdue. A test
// keeps its date from one day to the next; only what the latest tests show
// moves with the date.
std::vector<SimLuminaire> demo_luminaires(std::chrono::sys_days today);
// The same for today on this machine's clock.
std::vector<SimLuminaire> demo_luminaires();
std::chrono::sys_days demo_today();
// The repairs of the demonstration site: the morning after each failure
// that a re-test two days later passed, the part replaced. Demonstration
// data, to go into the logbook the demonstration gateway's runs go into.
struct SimRepair {
    std::uint8_t unit = 0;
    std::string when;   // local "YYYY-MM-DD HH:MM:SS"
    std::string part, text;
};
std::vector<SimRepair> demo_repairs(std::chrono::sys_days today);
// The demonstration set on 127.0.0.1, a free port, no faults.
SimConfig demo_config();
// The demonstration gateway as the program's --demo serves it: the same
// set, with one luminaire whose line is busy now and then (its first status
// request and every third after it).
inline constexpr std::uint8_t kDemoBusyNowAndThenUnit = 73;   // B9, the loading dock
inline constexpr int kDemoBusyPeriod = 3;
SimConfig demo_gateway_config();
// A full site for the benchmark: 128 luminaires, 64 on each line, one in
// seven with a failure, six stored tests each.
std::vector<SimLuminaire> full_site_luminaires();

// Reads a luminaire file. Throws std::runtime_error naming the file and what
// is wrong with it (unreadable, not JSON, a missing or out-of-range field).
std::vector<SimLuminaire> load_luminaires_json(const std::string& path);
// The same from JSON text; `origin` names it in messages.
std::vector<SimLuminaire> parse_luminaires_json(const std::string& text, const std::string& origin);

// One named status field set to a value (a luminaire file's "status" object).
struct SimStatusEdit {
    std::size_t replyOffset;
    std::size_t width;
    unsigned value;
    void apply(std::array<std::uint8_t, kSimStatusBytes>& status) const;
};

// A change of one running luminaire, from one line of JSON in the form of a
// luminaire file's entry: "address" or "unit", and any of "name",
// "location", "status" (named fields change only those fields; 40 numbers
// or 80 hexadecimal digits replace all) and "addEntries" (stored tests
// added after its others, offsets continuing theirs). Throws
// std::runtime_error naming `origin` and what is wrong.
struct SimLuminaireChange {
    std::uint8_t unit = 0;
    std::optional<std::u16string> name, location;
    std::optional<std::array<std::uint8_t, kSimStatusBytes>> status;
    std::vector<SimStatusEdit> fields;
    std::vector<std::pair<SimTestEntry, bool>> addEntries;   // the entry, and whether it names its own offset
    void apply(SimLuminaire& lum) const;
};
SimLuminaireChange parse_luminaire_change(const std::string& text, const std::string& origin);

// UTF-8 text to UTF-16 code units; throws std::runtime_error on bad UTF-8.
std::u16string utf8_to_utf16(const std::string& text);
// "A5" -> 5, "B0" -> 64; nullopt when not an address.
std::optional<std::uint8_t> parse_unit_address(const std::string& text);
