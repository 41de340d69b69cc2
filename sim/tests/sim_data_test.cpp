// Luminaire files and the demonstration set.
#include "raw_client.h"
#include "sim_data.h"
#include "sim_responder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <map>
#include <stdexcept>

namespace {

TEST(LuminaireFile, TheExampleFileLoadsWithEveryForm) {
    const auto lums = load_luminaires_json(ORVYPC_SIM_DATA "/example.json");
    ASSERT_EQ(lums.size(), 4u);
    EXPECT_EQ(lums[0].unit, 1);
    EXPECT_EQ(lums[0].name, u"Stair 2 exit");
    EXPECT_EQ(lums[0].location, u"Level 3 east");
    ASSERT_EQ(lums[0].entries.size(), 3u);
    const SimTestEntry& dt = lums[0].entries[0];
    EXPECT_EQ(dt.type, 1);
    EXPECT_EQ(dt.year, 2025);
    EXPECT_EQ(dt.month, 6);
    EXPECT_EQ(dt.day, 4);
    EXPECT_EQ(dt.hour, 2);
    EXPECT_EQ(dt.minute, 12);
    EXPECT_EQ(dt.second, 28);
    EXPECT_EQ(dt.result, 1);
    EXPECT_EQ(dt.minutes, 180);
    EXPECT_EQ(dt.offset, 0);
    // Named fields over the healthy default: 300 hours at 27-28.
    EXPECT_EQ(lums[0].status[27 - 17], 0x2C);
    EXPECT_EQ(lums[0].status[28 - 17], 0x01);
    EXPECT_EQ(lums[0].status[39 - 17], 100);
    EXPECT_EQ(lums[1].unit, 5);
    EXPECT_EQ(lums[1].entries[1].result, 0xFF);
    EXPECT_EQ(lums[1].entries[1].offset, 12);
    EXPECT_EQ(lums[1].status[49 - 17], 134);
    // Hexadecimal status and a NULL entry.
    EXPECT_EQ(lums[2].unit, 64);
    EXPECT_EQ(lums[2].status[0], 0x0B);
    EXPECT_EQ(lums[2].status[10], 0xF8);
    EXPECT_EQ(lums[2].status[39], 0x00);
    EXPECT_EQ(lums[2].entries[0].result, 0);
    EXPECT_EQ(lums[2].entries[0].minutes, 0xFF);
    EXPECT_EQ(lums[3].unit, 127);
    EXPECT_TRUE(lums[3].entries.empty());
}

TEST(LuminaireFile, FortyNumbersAndUtf8TextsAreTakenAsTheyStand) {
    std::string bytes = "[";
    for (int i = 0; i < 40; ++i) bytes += (i ? "," : "") + std::to_string(200 + i % 50);
    bytes += "]";
    const auto lums = parse_luminaires_json(
        R"({"luminaires":[{"unit":3,"name":"出口 2","location":"Caf\u00e9 \ud83d\ude00","status":)" + bytes + "}]}",
        "t");
    ASSERT_EQ(lums.size(), 1u);
    EXPECT_EQ(lums[0].status[0], 200);
    EXPECT_EQ(lums[0].status[39], 239);
    EXPECT_EQ(lums[0].name, u"出口 2");
    EXPECT_EQ(lums[0].location, u"Caf\u00e9 \U0001F600");
    EXPECT_EQ(lums[0].location.size(), 7u);  // the emoji is a surrogate pair
}

TEST(LuminaireFile, MalformedFilesAreRefusedWithAClearMessage) {
    const struct {
        const char* json;
        const char* message;
    } cases[] = {
        {"{", "not valid JSON"},
        {"[]", "expected an object with a \"luminaires\" list"},
        {R"({"luminaires":[{"name":"x"}]})", "luminaire 1: needs an \"address\""},
        {R"({"luminaires":[{"address":"C3"}]})", "expected A0..A63 or B0..B63, got \"C3\""},
        {R"({"luminaires":[{"address":"A64"}]})", "got \"A64\""},
        {R"({"luminaires":[{"unit":128}]})", "expected a number from 0 to 127, got 128"},
        {R"({"luminaires":[{"unit":-1}]})", "expected a number from 0 to 127"},
        {R"({"luminaires":[{"unit":1},{"address":"A1"}]})", "unit 1 appears twice"},
        {R"({"luminaires":[{"unit":1,"name":"seventeen chars!!"}]})", "name: longer than 16 characters"},
        {R"({"luminaires":[{"unit":1,"location":"a location that is far too long.."}]})", "longer than 32"},
        {R"({"luminaires":[{"unit":1,"name":"a\u0000b"}]})", "0 character"},
        {R"({"luminaires":[{"unit":1,"status":[1,2,3]}]})", "expected 40 bytes, got 3"},
        {R"({"luminaires":[{"unit":1,"status":"0011"}]})", "expected 80 hexadecimal digits, got 4"},
        {R"({"luminaires":[{"unit":1,"status":"zz"}]})", "not a hexadecimal digit"},
        {R"({"luminaires":[{"unit":1,"status":{"battery":5}}]})", "unknown status field \"battery\""},
        {R"({"luminaires":[{"unit":1,"status":{"batteryCharge":256}}]})", "batteryCharge: expected a number from 0 to 255"},
        {R"({"luminaires":[{"unit":1,"colour":"red"}]})", "unknown field \"colour\""},
        {R"({"luminaires":[{"unit":1,"entries":{}}]})", "expected a list of entries"},
        {R"({"luminaires":[{"unit":1,"entries":[{"type":"FT"}]}]})", "needs a \"date\""},
        {R"({"luminaires":[{"unit":1,"entries":[{"date":"2025-13-01 00:00:00"}]}]})", "expected \"YYYY-MM-DD hh:mm:ss\""},
        {R"({"luminaires":[{"unit":1,"entries":[{"date":"2025-01-01 00:00:00x"}]}]})", "YYYY-MM-DD"},
        {R"({"luminaires":[{"unit":1,"entries":[{"date":"2025-01-01 00:00:00","type":"XT"}]}]})",
         "expected one of FT, DT or a number, got \"XT\""},
        {R"({"luminaires":[{"unit":1,"entries":[{"date":"2025-01-01 00:00:00","result":"PASS"}]}]})",
         "expected one of OK, FAIL, NULL"},
        {R"({"luminaires":[{"unit":1,"entries":[{"date":"2025-01-01 00:00:00","minutes":300}]}]})",
         "minutes: expected a number from 0 to 255"},
        {R"({"luminaires":[{"unit":1,"entries":[{"date":"2025-01-01 00:00:00","when":1}]}]})", "unknown field \"when\""},
        {"{\"luminaires\":[{\"unit\":1,\"name\":\"\xff\"}]}", "not valid JSON"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        try {
            parse_luminaires_json(c.json, "file.json");
            ADD_FAILURE() << "accepted";
        } catch (const std::runtime_error& e) {
            const std::string what = e.what();
            EXPECT_EQ(what.rfind("file.json: ", 0), 0u) << what;
            EXPECT_NE(what.find(c.message), std::string::npos) << what;
        }
    }
}

TEST(LuminaireFile, AMissingFileIsRefused) {
    EXPECT_THROW(load_luminaires_json(ORVYPC_SIM_DATA "/no-such-file.json"), std::runtime_error);
}

// A change of a running luminaire: named status fields change only
// themselves, added entries continue the offsets, and a bad line is refused
// whole with the reason.
TEST(LuminaireChange, ChangesOnlyWhatItNamesAndRefusesABadLineWhole) {
    SimLuminaire lum = load_luminaires_json(ORVYPC_SIM_DATA "/example.json")[0];
    const SimLuminaire before = lum;
    const SimLuminaireChange c = parse_luminaire_change(
        R"({"address": "A1", "status": {"failureStatus": 4, "nextFunctionTestHours": 301},
            "name": "出口", "addEntries": [{"type": "FT", "date": "2026-01-02 03:04:05", "result": "FAIL"}]})",
        "command");
    EXPECT_EQ(c.unit, 1);
    c.apply(lum);
    EXPECT_EQ(lum.name, u"出口");
    EXPECT_EQ(lum.location, before.location);
    for (std::size_t i = 0; i < kSimStatusBytes; ++i) {
        const std::size_t offset = i + 17;
        if (offset == 49) EXPECT_EQ(lum.status[i], 4);
        else if (offset == 27) EXPECT_EQ(lum.status[i], 0x2D);
        else if (offset == 28) EXPECT_EQ(lum.status[i], 0x01);
        else EXPECT_EQ(lum.status[i], before.status[i]) << "offset " << offset;
    }
    ASSERT_EQ(lum.entries.size(), before.entries.size() + 1);
    EXPECT_EQ(lum.entries.back().offset, before.entries.size());
    EXPECT_EQ(lum.entries.back().result, 0xFF);

    const std::pair<const char*, const char*> bad[] = {
        {R"({"status": {"failureStatus": 4}})", "needs an \"address\""},
        {R"({"address": "A1", "status": {"failureStatus": 256}})", "from 0 to 255"},
        {R"({"address": "A1", "status": {"colour": 1}})", "unknown status field \"colour\""},
        {R"({"address": "A1", "addEntries": [{"type": "FT"}]})", "needs a \"date\""},
        {R"({"address": "A1", "entries": []})", "unknown field \"entries\""},
        {"set A1 failureStatus=4", "not valid JSON"},
    };
    for (const auto& [line, why] : bad) {
        try {
            parse_luminaire_change(line, "command");
            ADD_FAILURE() << line << " was taken";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(why), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).rfind("command: ", 0), 0U) << e.what();
        }
    }
}

TEST(UnitAddress, LinesAandBMapToUnitNumbers) {
    EXPECT_EQ(parse_unit_address("A0"), 0);
    EXPECT_EQ(parse_unit_address("A63"), 63);
    EXPECT_EQ(parse_unit_address("B0"), 64);
    EXPECT_EQ(parse_unit_address("B63"), 127);
    for (const char* bad : {"", "A", "A64", "B100", "C1", "a1", "A01", "A-1", "5"}) {
        EXPECT_FALSE(parse_unit_address(bad)) << bad;
    }
}

TEST(Utf8, BadSequencesAreRefused) {
    for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC3", "\x80"}) {
        EXPECT_THROW(utf8_to_utf16(bad), std::runtime_error);
    }
}

TEST(DemoSet, TwentySixLuminairesOnBothLinesWithEveryKindOfEntry) {
    const auto lums = demo_luminaires();
    EXPECT_EQ(lums.size(), 26u);
    std::set<std::uint8_t> units;
    std::map<std::uint8_t, int> types, results;
    bool lineA = false, lineB = false, withoutEntries = false;
    for (const auto& l : lums) {
        units.insert(l.unit);
        (l.unit < 64 ? lineA : lineB) = true;
        EXPECT_LE(l.name.size(), kSimNameMaxChars);
        EXPECT_LE(l.location.size(), kSimLocationMaxChars);
        EXPECT_FALSE(l.name.empty());
        withoutEntries |= l.entries.empty();
        for (const auto& e : l.entries) {
            ++types[e.type];
            ++results[e.result];
            EXPECT_TRUE(e.month >= 1 && e.month <= 12 && e.day >= 1 && e.day <= 31);
            EXPECT_TRUE(e.result == 0 ? e.minutes == 0xFF : e.minutes != 0xFF);
        }
        if (!l.entries.empty()) {
            // The latest entry carries the luminaire's state, so several are stored.
            EXPECT_GE(l.entries.size(), 4u);
        }
    }
    EXPECT_EQ(units.size(), lums.size());
    EXPECT_TRUE(lineA && lineB && withoutEntries);
    EXPECT_GT(types[0], 0);
    EXPECT_GT(types[1], 0);
    EXPECT_GT(results[1], 0);
    EXPECT_GT(results[0xFF], 0);
    EXPECT_GT(results[0], 0);
}

TEST(DemoSet, LatestEntriesShowFailuresAndMissingResultsAndBothTestTypes) {
    std::map<std::uint8_t, int> latestResults, latestTypes;
    for (const auto& l : demo_luminaires()) {
        if (l.entries.empty()) continue;
        const auto& e = l.entries[latest_entry_index(l)];
        ++latestResults[e.result];
        ++latestTypes[e.type];
    }
    EXPECT_GT(latestResults[1], 0);
    EXPECT_GT(latestResults[0xFF], 0);
    EXPECT_GT(latestResults[0], 0);
    EXPECT_GT(latestTypes[0], 0);
    EXPECT_GT(latestTypes[1], 0);
}

TEST(DemoSet, StatusBytesAreThoseOfWorkingEmergencyGear) {
    for (const auto& l : demo_luminaires()) {
        SCOPED_TRACE(l.unit);
        EXPECT_EQ(l.status[18 - 17], 254);                  // maximum level
        EXPECT_LE(l.status[39 - 17], 100);                  // battery percent
        EXPECT_TRUE(l.status[38 - 17] & 0x02);              // normal mode active
        // The latest test of each type that failed shows in the failure status.
        for (const std::uint8_t type : {0, 1}) {
            const SimTestEntry* latest = nullptr;
            for (const SimTestEntry& e : l.entries)
                if (e.type == type) latest = &e;
            const std::uint8_t bit = type == 1 ? 0x80 : 0x40;
            EXPECT_EQ(latest != nullptr && latest->result == 0xFF, (l.status[49 - 17] & bit) != 0) << int(type);
        }
    }
}

using std::chrono::days;
using std::chrono::sys_days;

// The entries a gateway stores of one luminaire (the logbook benchmark's figure too).
constexpr std::size_t kGatewayKeeps = 255;

sys_days day_of(const SimTestEntry& e) {
    return sys_days{std::chrono::year{e.year} / e.month / e.day};
}

// Whatever the date, the demonstration site looks tested: two years that end
// before today, a test with a result in every month but the few line B
// missed, a duration test within the year but on the one overdue, and a
// failure passed on a re-test within the year.
TEST(DemoSet, AgesWellOnAnyDate) {
    using namespace std::chrono;
    const sys_days dates[] = {demo_today(), sys_days{2026y / 11 / 20}, sys_days{2027y / 3 / 1},
                              sys_days{2028y / 2 / 29}, sys_days{2031y / 1 / 1}, sys_days{2035y / 7 / 31}};
    for (const sys_days today : dates) {
        SCOPED_TRACE(std::to_string(today.time_since_epoch().count()));
        const year_month thisMonth = year_month_day{today}.year() / year_month_day{today}.month();
        int missedMonths = 0;
        bool retested = false;
        for (const SimLuminaire& l : demo_luminaires(today)) {
            SCOPED_TRACE(int(l.unit));
            if (l.entries.empty()) continue;
            EXPECT_LE(l.entries.size(), kGatewayKeeps);
            std::set<year_month> tested, withoutResult;
            sys_days lastDuration{};
            for (std::size_t i = 0; i < l.entries.size(); ++i) {
                const SimTestEntry& e = l.entries[i];
                const sys_days day = day_of(e);
                EXPECT_LT(day, today);
                EXPECT_GE(day, today - days{2 * 366});
                if (i > 0) {
                    EXPECT_LE(day_of(l.entries[i - 1]), day);   // oldest first
                }
                const year_month month = year_month_day{day}.year() / year_month_day{day}.month();
                (e.result == 1 || e.result == 0xFF ? tested : withoutResult).insert(month);
                if (e.type == 1 && e.result != 0) lastDuration = day;
                if (e.result == 0xFF && i + 1 < l.entries.size() && l.entries[i + 1].result == 1 &&
                    day_of(l.entries[i + 1]) - day == days{2} && today - day < days{365})
                    retested = true;
            }
            for (int back = 1; back <= 11; ++back) {
                if (tested.count(thisMonth - months{back})) continue;
                // A8 and B7: their latest test, which may be its month's only one, gave no result.
                if ((l.unit == 8 || l.unit == 71) && withoutResult.count(thisMonth - months{back})) continue;
                ++missedMonths;
                EXPECT_TRUE(l.unit >= 64 && l.unit < 69) << "no test in the month " << back << " months back";
            }
            const bool overdue = today - lastDuration > days{364};
            // B40 missed its duration test; B7's latest gave no result.
            EXPECT_EQ(overdue, l.unit == 104 || l.unit == 71) << "last duration test " << (today - lastDuration).count() << " days ago";
        }
        EXPECT_GT(missedMonths, 0);
        EXPECT_TRUE(retested);
    }
}

}  // namespace
