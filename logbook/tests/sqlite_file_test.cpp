// The SQLite logbook file: what it refuses to open, and leaves exactly as it
// was, and how an older file is brought up to date.
#include "logbook_fixture.h"
#include "logbook_schema.h"

#include <sqlite3.h>

namespace {

void sql(const std::string& path, const std::string& statements) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, statements.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

// A logbook with enough entries to span many pages, closed (WAL folded in).
void make_logbook(const std::string& path, int entries) {
    std::string why;
    auto book = open_logbook(path, &why);
    ASSERT_TRUE(book) << why;
    std::vector<LogEntry> all;
    for (int i = 0; i < entries; ++i)
        all.push_back(entry("2026-01-01 00:00:" + std::to_string(i), static_cast<std::uint8_t>(i % 128),
                            std::string(60, 'n')));
    ASSERT_TRUE(book->record(run_of(all)));
}

// Overwrites the b-tree headers of pages [first, last): their structure,
// which the integrity check reads, no longer holds.
void overwrite_pages(const std::string& path, int first, int last) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    for (int page = first; page < last; ++page) {
        f.seekp(4096 * page);
        f << std::string(8, '\x5a');
    }
}

struct Refusal {
    const char* what;
    void (*make)(const std::string& path);
    const char* says;
};

TEST(SqliteLogbookFile, ABadFileIsRefusedAndLeftAsItWas) {
    const std::vector<Refusal> cases = {
        {"text, no database", [](const std::string& p) { std::ofstream(p) << "Address\tName\nA5\tHall\n"; },
         "no SQLite database"},
        {"cut short", [](const std::string& p) {
             make_logbook(p, 400);
             std::filesystem::resize_file(p, std::filesystem::file_size(p) / 2);
         }, "damaged"},
        {"the tables' first pages overwritten", [](const std::string& p) {
             make_logbook(p, 400);
             overwrite_pages(p, 2, 7);
         }, "damaged"},
        {"another program's database", [](const std::string& p) { sql(p, "CREATE TABLE invoices (n INTEGER)"); },
         "not a logbook"},
        {"from a newer version", [](const std::string& p) {
             make_logbook(p, 1);
             sql(p, "UPDATE logbook_meta SET value = '99' WHERE key = 'schema'");
         }, "newer version"},
    };
    for (const Refusal& c : cases) {
        StoreFixture fx;
        const std::string path = fx.file("logbook.sqlite");
        c.make(path);
        const std::string before = read_bytes(path);
        std::string why;
        EXPECT_FALSE(open_logbook(path, &why)) << c.what;
        EXPECT_NE(why.find(c.says), std::string::npos) << c.what << ": " << why;
        EXPECT_EQ(read_bytes(path), before) << c.what << ": the file was changed";
    }
}

// Damage deep inside a large file is not looked for on opening (that
// would read the whole file each time): the read that meets it says so,
// nothing more is read or written, and the full check names it.
TEST(SqliteLogbookFile, DamageFoundByAReadStopsTheLogbookAndLeavesTheFile) {
    StoreFixture fx;
    const std::string path = fx.file("logbook.sqlite");
    make_logbook(path, 4000);
    overwrite_pages(path, 40, 60);
    const std::string before = read_bytes(path);
    std::string why;
    auto book = open_logbook(path, &why);
    ASSERT_TRUE(book) << "found on opening: " << why;
    EXPECT_FALSE(book->site_history("", "").complete);
    EXPECT_NE(book->error().find("damaged"), std::string::npos) << book->error();
    EXPECT_FALSE(book->record(run_of({entry("2027-01-01 00:00:00")})));
    EXPECT_FALSE(book->integrity_problem().empty());
    book.reset();
    EXPECT_EQ(read_bytes(path), before);
}

TEST(SqliteLogbookFile, AFolderInThePlaceOfTheFileIsRefused) {
    StoreFixture fx;
    std::filesystem::create_directories(fx.file("logbook.sqlite"));
    std::string why;
    EXPECT_FALSE(open_logbook(fx.file("logbook.sqlite"), &why));
    EXPECT_NE(why.find("cannot be opened"), std::string::npos) << why;
}

TEST(SqliteLogbookFile, AnOlderFileIsMigratedWithItsEntries) {
    StoreFixture fx;
    const std::string path = fx.file("old.sqlite");
    std::string v1;
    for (const std::string& s : migration_statements(1, SqlDialect::Sqlite)) v1 += s + ";\n";
    v1 += schema_version_statement(1) + ";\n";
    v1 += "INSERT INTO runs VALUES (1, 'r1', '10.0.0.7', 'details', '2020-01-01T00:00:00Z', 1, '', 'h', 'u');"
          "INSERT INTO entries VALUES (1, '10.0.0.7', 5, '2019-12-30 10:00:00', 1, 1, 90, 'Hall', 'Floor 1',"
          " '2020-01-01T00:00:00Z', 1);"
          "INSERT INTO sightings VALUES (1, 1); INSERT INTO full_listings VALUES (1, 5);";
    sql(path, v1);
    auto book = fx.open(path);
    ASSERT_TRUE(book);
    ASSERT_TRUE(book->add_remark({new_run_uid(), "10.0.0.7", 5, "2020-02-01 10:00:00", "tech", "checked"}));
    const auto h = book->history(address_site_uid("10.0.0.7"), 5, "").items;
    ASSERT_EQ(h.size(), 2u);
    EXPECT_EQ(h[1].entry.minutes, 90);
    EXPECT_TRUE(h[1].onGateway.value_or(false));
    EXPECT_EQ(book->verify_seals().runs, 1u) << "sealed on opening";
}

}  // namespace
