// Sites: which site a gateway is (by address and fingerprint), and the
// stores keeping two sites at one address apart, one site over several
// addresses together, an older logbook's addresses as sites, and sites
// carried by a sync.
#include "logbook_fixture.h"
#include "sites.h"

#include <algorithm>

namespace {

// Ten luminaires A0..A9 named "Exit n" in "Floor n"; `renamed` of them (the
// first ones) named otherwise, `added` more from A10 on.
std::vector<SiteLuminaire> luminaires(int renamed = 0, int added = 0, int count = 10) {
    std::vector<SiteLuminaire> out;
    for (int i = 0; i < count + added; ++i) {
        const std::string n = std::to_string(i);
        out.push_back({static_cast<std::uint8_t>(i), (i < renamed ? "Other " : "Exit ") + n, "Floor " + n});
    }
    return out;
}

TEST(Fingerprints, TheSameGatewayUnlessMostOfItsLuminairesDiffer) {
    const struct {
        const char* rule;
        std::vector<SiteLuminaire> found;
        bool knownWhole;
        std::size_t same, total;
        bool sameGateway;
    } cases[] = {
        {"all alike", luminaires(), true, 10, 10, true},
        {"half of them differ: not most", luminaires(5), true, 5, 10, true},
        {"six of ten differ", luminaires(6), true, 4, 10, false},
        {"all differ", luminaires(10), true, 0, 10, false},
        {"ten more luminaires: half of twenty differ", luminaires(0, 10), true, 10, 20, true},
        {"eleven more: most of twenty-one differ", luminaires(0, 11), true, 10, 21, false},
        {"known from its entries: units it has not are not compared", luminaires(0, 30), false, 10, 10, true},
        {"three luminaires, all other: too few to tell", luminaires(3, 0, 3), false, 0, 3, true},
        {"four luminaires, all other", luminaires(4, 0, 4), false, 0, 4, false},
    };
    for (const auto& c : cases) {
        std::vector<SiteLuminaire> known = luminaires();
        if (c.found.size() < 10) known.resize(c.found.size());
        const FingerprintMatch m = compare_fingerprints(known, c.found, c.knownWhole);
        EXPECT_EQ(m.same, c.same) << c.rule;
        EXPECT_EQ(m.total, c.total) << c.rule;
        EXPECT_EQ(m.same_gateway(), c.sameGateway) << c.rule;
    }
}

// Luminaires of another building: other units, names and places.
std::vector<SiteLuminaire> elsewhere() {
    std::vector<SiteLuminaire> out;
    for (int i = 20; i < 30; ++i) out.push_back({static_cast<std::uint8_t>(i), "Sign " + std::to_string(i), "Hall"});
    return out;
}

std::size_t book_entries(Logbook& book, const std::string& site) { return book.site_history(site, "").items.size(); }

Site site_of(const std::string& uid, std::vector<std::pair<std::string, std::string>> seen,
             std::vector<SiteLuminaire> fingerprint) {
    Site s;
    s.uid = uid;
    s.name = uid;
    for (const auto& [gateway, when] : seen) s.addresses.push_back({gateway, when, when});
    s.fingerprint = std::move(fingerprint);
    if (!s.fingerprint.empty()) s.fingerprintTaken = "2026-01-01T00:00:00Z";
    return s;
}

TEST(Sites, AGatewayIsToldByItsAddressAndWhatItHolds) {
    const std::vector<SiteLuminaire> first = luminaires(), second = luminaires(10);
    // "first" was at .7 and moved to .9; "second" came to .7 later; "named"
    // was named at .8 before it was ever read.
    const std::vector<Site> sites = {
        site_of("first", {{"10.0.0.7", "2026-01-01"}, {"10.0.0.9", "2026-03-01"}}, first),
        site_of("second", {{"10.0.0.7", "2026-02-01"}}, second),
        site_of("named", {{"10.0.0.8", "2026-02-01"}}, {}),
    };
    using Kind = SiteVerdict::Kind;
    const struct {
        const char* rule;
        GatewayFound found;
        Kind kind;
        const char* site;
    } cases[] = {
        {"the address's latest site, its gateway", {"10.0.0.7", second, true}, Kind::Known, "second"},
        {"the first gateway back at its old address", {"10.0.0.7", first, true}, Kind::Known, "first"},
        {"a third gateway at the address", {"10.0.0.7", elsewhere(), true}, Kind::NotTheSite, "second"},
        {"one luminaire's list says nothing", {"10.0.0.7", {{0, "Exit 0", "Floor 0"}}, false}, Kind::Known, "second"},
        {"the same gateway at a new address", {"10.0.0.20", first, true}, Kind::Known, "first"},
        {"a new gateway at a new address", {"10.0.0.21", elsewhere(), true}, Kind::NewAddress, ""},
        {"a site named before its first reading takes it", {"10.0.0.8", luminaires(9), true}, Kind::Known, "named"},
    };
    for (const auto& c : cases) {
        const SiteVerdict v = tell_site(sites, c.found);
        EXPECT_EQ(v.kind, c.kind) << c.rule;
        if (c.kind != Kind::NewAddress) {
            EXPECT_EQ(sites[v.site].uid, c.site) << c.rule;
        }
    }
}

class SiteStoreTest : public testing::TestWithParam<StoreKind> {
protected:
    StoreFixture fx;
};

RunRecord run_at(const std::string& site, const std::string& gateway, std::vector<LogEntry> entries) {
    for (LogEntry& e : entries) e.gateway = gateway;
    RunRecord run = run_of(std::move(entries));
    run.site = site;
    run.gateway = gateway;
    return run;
}

std::vector<std::string> times_of(const HistoryRead& read) {
    std::vector<std::string> out;
    for (const HistoryItem& h : read.items) out.push_back((h.isRemark ? h.remark.gateway : h.entry.gateway) + " " + h.when());
    return out;
}

// Two gateways at one address, one after the other, read the same entry
// (a factory default of both): two sites, each with its own. The first one
// read again at a new address: the entry it had is not doubled.
TEST_P(SiteStoreTest, TwoSitesAtOneAddressNeverMixAndOneSiteKeepsEveryAddress) {
    auto book = fx.open(fx.new_store(GetParam()));
    ASSERT_TRUE(book);
    const LogEntry shared = entry("2026-01-01 09:00:00");
    RecordCounts c;
    ASSERT_TRUE(book->record(run_at("site-one", "10.0.0.7", {shared}), &c)) << book->error();
    ASSERT_TRUE(book->record(run_at("site-two", "10.0.0.7", {shared, entry("2026-02-01 09:00:00")}), &c));
    EXPECT_EQ(c.added, 2u);
    ASSERT_TRUE(book->record(run_at("site-one", "10.0.0.9", {shared, entry("2026-03-01 09:00:00")}), &c));
    EXPECT_EQ(c.added, 1u);
    EXPECT_EQ(c.duplicates, 1u);
    ASSERT_TRUE(book->add_remark({new_run_uid(), "10.0.0.7", 5, "2026-02-02 10:00:00", "tech", "second only", "site-two"}));

    EXPECT_EQ(times_of(book->history("site-one", 5, "")),
              (std::vector<std::string>{"10.0.0.9 2026-03-01 09:00:00", "10.0.0.7 2026-01-01 09:00:00"}));
    const HistoryRead two = book->history("site-two", 5, "");
    EXPECT_EQ(times_of(two), (std::vector<std::string>{"10.0.0.7 2026-02-02 10:00:00", "10.0.0.7 2026-02-01 09:00:00",
                                                       "10.0.0.7 2026-01-01 09:00:00"}));
    EXPECT_EQ(book->site_history("site-one", "").items.size(), 2u);
    EXPECT_EQ(book->period("site-two", "2026-01-01", "2027-01-01").entries.size(), 2u);
    const auto sites = book->sites();
    ASSERT_TRUE(sites && sites->size() == 2u) << book->error();
    const Site& one = (*sites)[*site_with_uid(*sites, "site-one")];
    ASSERT_EQ(one.addresses.size(), 2u);
    EXPECT_EQ(latest_address(one), "10.0.0.9");
    EXPECT_EQ(*site_at_address(*sites, "10.0.0.7"), *site_with_uid(*sites, "site-two"));
    EXPECT_TRUE(book->verify_seals().holds());
}

// A logbook of version 2: each address becomes a site named after it, with
// the names of its newest entries as its fingerprint; what it held stays,
// sealed as it was, and is read again as the same entries.
TEST_P(SiteStoreTest, AnOlderLogbookGetsASiteForEachAddress) {
    const std::string where = fx.new_store(GetParam());
    ASSERT_TRUE(make_older_store(
        GetParam(), where, 2,
        std::string(kVersion2Rows) +
            "INSERT INTO runs (uid, gateway, kind, started, complete, reason, host, user_name) VALUES"
            " ('r2', '10.0.0.8', 'results', '2026-02-01T10:00:00Z', 1, '', 'h', 'u');"
            "INSERT INTO entries (gateway, unit, test_time, test_type, result, minutes, name, location, first_read,"
            " first_run) VALUES ('10.0.0.8', 5, '2026-01-01 09:00:00', 0, 1, 0, 'Lobby', 'Floor 2', '', 2);"
            "INSERT INTO sightings (run_id, entry_id) VALUES (2, 2);"));
    auto book = fx.open(where);
    ASSERT_TRUE(book);
    const auto sites = book->sites();
    ASSERT_TRUE(sites) << book->error();
    ASSERT_EQ(sites->size(), 2u);
    for (const char* gateway : {"10.0.0.7", "10.0.0.8"}) {
        const std::optional<std::size_t> i = site_at_address(*sites, gateway);
        ASSERT_TRUE(i) << gateway;
        const Site& s = (*sites)[*i];
        EXPECT_EQ(s.uid, address_site_uid(gateway));
        EXPECT_EQ(s.name, gateway);
        ASSERT_EQ(s.fingerprint.size(), 1u);
        EXPECT_EQ(s.fingerprint[0].name, std::string(gateway) == "10.0.0.7" ? "Hall" : "Lobby");
    }
    const HistoryRead h = book->history(address_site_uid("10.0.0.7"), 5, "");
    ASSERT_EQ(h.items.size(), 2u);
    EXPECT_EQ(h.items[0].remark.text, "checked");
    EXPECT_EQ(h.items[0].remark.kind, kRemarkNote);
    RecordCounts c;
    ASSERT_TRUE(book->record(run_of({entry("2026-01-01 09:00:00")}), &c));
    EXPECT_EQ(c.duplicates, 1u);
    EXPECT_TRUE(book->verify_seals().holds());
}

// Laptops record while the team server is away. A site one of them made
// for a gateway the server does not know stays one site there, with its
// name; a site another made for the gateway the server knows joins it, and
// what comes under it later is stored there too, each entry once.
TEST_P(SiteStoreTest, ASyncCarriesSitesAndJoinsTheSameGateway) {
    auto team = fx.open(fx.new_store(GetParam(), "team"));
    auto laptop1 = fx.open(fx.new_store(StoreKind::Sqlite, "laptop1"));
    auto laptop2 = fx.open(fx.new_store(StoreKind::Sqlite, "laptop2"));
    ASSERT_TRUE(team && laptop1 && laptop2);
    const LogEntry shared = entry("2026-01-01 09:00:00");
    auto seen = [](std::string uid, std::vector<SiteLuminaire> fingerprint, std::string name = {}) {
        Site s = site_of(uid, {{"10.0.0.7", "2026-05-01T00:00:00Z"}}, std::move(fingerprint));
        s.name = name.empty() ? "10.0.0.7" : name;
        if (!name.empty()) s.named = "2026-05-02T00:00:00Z";
        return s;
    };
    ASSERT_TRUE(team->save_site(seen("known", luminaires())));
    ASSERT_TRUE(team->record(run_at("known", "10.0.0.7", {shared})));
    ASSERT_TRUE(laptop1->save_site(seen("other-gateway", luminaires(10), "Depot")));
    ASSERT_TRUE(laptop1->record(run_at("other-gateway", "10.0.0.7", {shared})));
    ASSERT_TRUE(laptop2->save_site(seen("same-gateway", luminaires(1))));
    ASSERT_TRUE(laptop2->record(run_at("same-gateway", "10.0.0.7", {shared, entry("2026-02-01 09:00:00")})));

    std::string why;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(sync_logbook(*laptop1, *team, team->where(), &why)) << why;
        ASSERT_TRUE(sync_logbook(*laptop2, *team, team->where(), &why)) << why;
        ASSERT_TRUE(laptop2->record(run_at("same-gateway", "10.0.0.7", {entry("2026-03-0" + std::to_string(round + 1) + " 09:00:00")})));
    }
    ASSERT_TRUE(sync_logbook(*laptop2, *team, team->where(), &why)) << why;
    const auto sites = team->sites();
    ASSERT_TRUE(sites);
    std::vector<std::string> names;
    for (const Site& s : *sites) names.push_back(s.uid + " " + s.name);
    EXPECT_EQ(names, (std::vector<std::string>{"known 10.0.0.7", "other-gateway Depot"}));
    EXPECT_EQ(book_entries(*team, "known"), 4u);
    EXPECT_EQ(book_entries(*team, "other-gateway"), 1u);
    EXPECT_TRUE(site_with_uid(*sites, "same-gateway"));
    EXPECT_TRUE(team->verify_seals().holds());
}

INSTANTIATE_TEST_SUITE_P(Stores, SiteStoreTest, kStoreKinds, store_name);

}  // namespace
