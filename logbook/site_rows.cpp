#include "site_rows.h"

#include "logbook_schema.h"

#include <algorithm>

std::string address_site_uid(const std::string& gateway) { return kAddressSitePrefix + gateway; }

std::string sites_query() { return "SELECT uid, name, named, fingerprint, fingerprint_taken FROM sites ORDER BY id"; }

std::string site_addresses_query() {
    return "SELECT site, gateway, first_seen, last_seen FROM site_gateways ORDER BY site, first_seen, gateway";
}

std::string site_joins_query() { return "SELECT joined, site FROM site_joins ORDER BY joined"; }

std::string join_site_statement() {
    return "INSERT INTO site_joins (joined, site) VALUES (?1, ?2) ON CONFLICT (joined) DO NOTHING";
}

std::string joined_site_query() { return "SELECT site FROM site_joins WHERE joined = ?1"; }

std::string newest_names_query() {
    return "WITH RECURSIVE units (unit) AS (SELECT 0 UNION ALL SELECT unit + 1 FROM units WHERE unit < 127)"
           " SELECT e.unit, e.name, e.location FROM units u CROSS JOIN entries e WHERE e.id ="
           " (SELECT f.id FROM entries f WHERE f.site = ?1 AND f.unit = u.unit ORDER BY f.test_time DESC,"
           " f.test_type DESC, f.result DESC, f.minutes DESC LIMIT 1) ORDER BY e.unit";
}

std::string merge_site_statement() {
    return "INSERT INTO sites (uid, name, named, fingerprint, fingerprint_taken) VALUES (?1, ?2, ?3, ?4, ?5)"
           " ON CONFLICT (uid) DO UPDATE SET"
           " name = CASE WHEN excluded.named > sites.named THEN excluded.name ELSE sites.name END,"
           " named = CASE WHEN excluded.named > sites.named THEN excluded.named ELSE sites.named END,"
           " fingerprint = CASE WHEN excluded.fingerprint_taken > sites.fingerprint_taken"
           " THEN excluded.fingerprint ELSE sites.fingerprint END,"
           " fingerprint_taken = CASE WHEN excluded.fingerprint_taken > sites.fingerprint_taken"
           " THEN excluded.fingerprint_taken ELSE sites.fingerprint_taken END";
}

std::string ensure_site_statement() {
    return "INSERT INTO sites (uid, name, named, fingerprint, fingerprint_taken) VALUES (?1, ?2, '', '', '')"
           " ON CONFLICT (uid) DO NOTHING";
}

std::string merge_site_address_statement() {
    return "INSERT INTO site_gateways (site, gateway, first_seen, last_seen) VALUES (?1, ?2, ?3, ?4)"
           " ON CONFLICT (site, gateway) DO UPDATE SET"
           " first_seen = CASE WHEN excluded.first_seen <> '' AND (site_gateways.first_seen = ''"
           " OR excluded.first_seen < site_gateways.first_seen) THEN excluded.first_seen ELSE site_gateways.first_seen END,"
           " last_seen = CASE WHEN excluded.last_seen > site_gateways.last_seen"
           " THEN excluded.last_seen ELSE site_gateways.last_seen END";
}

namespace {

void escaped(std::string& out, const std::string& text) {
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
}

// The fields of one line, unescaped.
std::vector<std::string> fields_of(const std::string& line) {
    std::vector<std::string> out(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            out.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            const char n = line[++i];
            out.back() += n == 't' ? '\t' : n == 'n' ? '\n' : n;
        } else {
            out.back() += c;
        }
    }
    return out;
}

}  // namespace

std::string fingerprint_text(const std::vector<SiteLuminaire>& luminaires) {
    std::vector<SiteLuminaire> sorted = luminaires;
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.unit < b.unit; });
    std::string out;
    for (const SiteLuminaire& l : sorted) {
        out += std::to_string(l.unit) + '\t';
        escaped(out, l.name);
        out += '\t';
        escaped(out, l.location);
        out += '\n';
    }
    return out;
}

std::vector<SiteLuminaire> fingerprint_of(const std::string& text) {
    std::vector<SiteLuminaire> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::vector<std::string> f = fields_of(text.substr(start, end - start));
        start = end + 1;
        // A line that is not one (edited by hand) is left out, never guessed.
        if (f.size() != 3 || f[0].empty() || f[0].size() > 3 ||
            !std::all_of(f[0].begin(), f[0].end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const int unit = std::stoi(f[0]);
        if (unit > 127) continue;
        out.push_back({static_cast<std::uint8_t>(unit), f[1], f[2]});
    }
    return out;
}

void add_address(std::vector<Site>& sites, const std::string& site, SiteAddress address) {
    for (Site& s : sites) {
        if (s.uid == site) {
            s.addresses.push_back(std::move(address));
            return;
        }
    }
}

void add_joined(std::vector<Site>& sites, const std::string& site, std::string joined) {
    for (Site& s : sites) {
        if (s.uid == site) {
            s.joined.push_back(std::move(joined));
            return;
        }
    }
}
