// Luminaire files: JSON, laid out as sim/README.md describes.
#include "sim_data.h"
#include "sim_status_fields.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace {

using nlohmann::json;

// Every error names the file and the luminaire or field it is about.
class Reader {
public:
    explicit Reader(std::string origin) : origin_(std::move(origin)) {}

    [[noreturn]] void fail(const std::string& where, const std::string& what) const {
        throw std::runtime_error(origin_ + ": " + (where.empty() ? "" : where + ": ") + what);
    }

    unsigned number(const json& v, const std::string& where, unsigned max) const {
        if (!v.is_number_integer()) fail(where, "expected a whole number");
        if (v.is_number_unsigned() ? v.get<std::uint64_t>() > max : v.get<std::int64_t>() < 0 ||
                                                                          v.get<std::int64_t>() > max) {
            fail(where, "expected a number from 0 to " + std::to_string(max) + ", got " + v.dump());
        }
        return static_cast<unsigned>(v.get<std::int64_t>());
    }

    std::string text(const json& v, const std::string& where) const {
        if (!v.is_string()) fail(where, "expected a text in quotes");
        return v.get<std::string>();
    }

    std::u16string utf16(const json& v, const std::string& where, std::size_t maxChars) const {
        std::u16string out;
        try {
            out = utf8_to_utf16(text(v, where));
        } catch (const std::runtime_error& e) {
            fail(where, e.what());
        }
        if (out.find(u'\0') != std::u16string::npos) fail(where, "holds a 0 character, which would end it early");
        if (out.size() > maxChars) {
            fail(where, "longer than " + std::to_string(maxChars) + " characters");
        }
        return out;
    }

    std::uint8_t unit(const json& lum, const std::string& where) const {
        if (lum.contains("address")) {
            const std::string a = text(lum["address"], where + ": address");
            auto u = parse_unit_address(a);
            if (!u) fail(where + ": address", "expected A0..A63 or B0..B63, got \"" + a + "\"");
            return *u;
        }
        if (lum.contains("unit")) return static_cast<std::uint8_t>(number(lum["unit"], where + ": unit", 127));
        fail(where, "needs an \"address\" (A0..B63) or a \"unit\" (0..127)");
    }

    std::array<std::uint8_t, kSimStatusBytes> status(const json& v, const std::string& where) const {
        std::array<std::uint8_t, kSimStatusBytes> out{};
        if (v.is_array()) {
            if (v.size() != kSimStatusBytes) fail(where, "expected 40 bytes, got " + std::to_string(v.size()));
            for (std::size_t i = 0; i < kSimStatusBytes; ++i) {
                out[i] = static_cast<std::uint8_t>(number(v[i], where + "[" + std::to_string(i) + "]", 255));
            }
        } else if (v.is_string()) {
            out = hex_status(v.get<std::string>(), where);
        } else if (v.is_object()) {
            out = status_bytes(healthy_status_fields());
            for (const SimStatusEdit& e : named_fields(v, where)) e.apply(out);
        } else {
            fail(where, "expected 40 numbers, 80 hexadecimal digits or an object of named fields");
        }
        return out;
    }

    std::vector<SimStatusEdit> named_fields(const json& v, const std::string& where) const {
        std::vector<SimStatusEdit> out;
        for (const auto& [name, value] : v.items()) {
            const SimStatusFieldInfo* f = find_status_field(name);
            if (!f) fail(where, "unknown status field \"" + name + "\"");
            out.push_back({f->replyOffset, f->width, number(value, where + ": " + name, f->width == 2 ? 65535 : 255)});
        }
        return out;
    }

    std::array<std::uint8_t, kSimStatusBytes> hex_status(const std::string& s, const std::string& where) const {
        std::array<std::uint8_t, kSimStatusBytes> out{};
        std::size_t digits = 0;
        for (char ch : s) {
            if (ch == ' ') continue;
            int v = -1;
            if (ch >= '0' && ch <= '9') v = ch - '0';
            else if (ch >= 'a' && ch <= 'f') v = ch - 'a' + 10;
            else if (ch >= 'A' && ch <= 'F') v = ch - 'A' + 10;
            if (v < 0) fail(where, std::string("not a hexadecimal digit: '") + ch + "'");
            if (digits >= 2 * kSimStatusBytes) fail(where, "more than 80 hexadecimal digits");
            out[digits / 2] = static_cast<std::uint8_t>(out[digits / 2] << 4 | v);
            ++digits;
        }
        if (digits != 2 * kSimStatusBytes) fail(where, "expected 80 hexadecimal digits, got " + std::to_string(digits));
        return out;
    }

    SimTestEntry entry(const json& v, const std::string& where, std::size_t index) const {
        if (!v.is_object()) fail(where, "expected an object");
        SimTestEntry e;
        e.offset = static_cast<std::uint16_t>(index);
        for (const auto& [key, value] : v.items()) {
            const std::string at = where + ": " + key;
            if (key == "type") e.type = coded(value, at, {{"FT", 0}, {"DT", 1}});
            else if (key == "result") e.result = coded(value, at, {{"OK", 1}, {"FAIL", 0xFF}, {"NULL", 0}});
            else if (key == "minutes") e.minutes = value.is_null() ? 0xFF : static_cast<std::uint8_t>(number(value, at, 255));
            else if (key == "offset") e.offset = static_cast<std::uint16_t>(number(value, at, 65535));
            else if (key == "date") date(value, at, e);
            else fail(where, "unknown field \"" + key + "\"");
        }
        if (!v.contains("date")) fail(where, "needs a \"date\" (\"YYYY-MM-DD hh:mm:ss\")");
        return e;
    }

    std::uint8_t coded(const json& v, const std::string& where,
                       std::initializer_list<std::pair<const char*, std::uint8_t>> names) const {
        if (v.is_number()) return static_cast<std::uint8_t>(number(v, where, 255));
        const std::string s = text(v, where);
        std::string known;
        for (const auto& [name, code] : names) {
            if (s == name) return code;
            known += known.empty() ? name : std::string(", ") + name;
        }
        fail(where, "expected one of " + known + " or a number, got \"" + s + "\"");
    }

    void date(const json& v, const std::string& where, SimTestEntry& e) const {
        const std::string s = text(v, where);
        unsigned y, mo, d, h, mi, sec;
        char tail;
        if (std::sscanf(s.c_str(), "%4u-%2u-%2u %2u:%2u:%2u%c", &y, &mo, &d, &h, &mi, &sec, &tail) != 6 ||
            mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 59) {
            fail(where, "expected \"YYYY-MM-DD hh:mm:ss\", got \"" + s + "\"");
        }
        e.year = static_cast<std::uint16_t>(y);
        e.month = static_cast<std::uint8_t>(mo);
        e.day = static_cast<std::uint8_t>(d);
        e.hour = static_cast<std::uint8_t>(h);
        e.minute = static_cast<std::uint8_t>(mi);
        e.second = static_cast<std::uint8_t>(sec);
    }

    SimLuminaire luminaire(const json& v, std::size_t index) const {
        std::string where = "luminaire " + std::to_string(index + 1);
        if (!v.is_object()) fail(where, "expected an object");
        SimLuminaire lum;
        lum.unit = unit(v, where);
        where += " (unit " + std::to_string(lum.unit) + ")";
        for (const auto& [key, value] : v.items()) {
            const std::string at = where + ": " + key;
            if (key == "address" || key == "unit") continue;
            if (key == "name") lum.name = utf16(value, at, kSimNameMaxChars);
            else if (key == "location") lum.location = utf16(value, at, kSimLocationMaxChars);
            else if (key == "status") lum.status = status(value, at);
            else if (key == "entries") {
                if (!value.is_array()) fail(at, "expected a list of entries");
                for (std::size_t i = 0; i < value.size(); ++i) {
                    lum.entries.push_back(entry(value[i], at + " " + std::to_string(i + 1), i));
                }
            } else {
                fail(where, "unknown field \"" + key + "\"");
            }
        }
        if (!v.contains("status")) lum.status = status_bytes(healthy_status_fields());
        return lum;
    }

    SimLuminaireChange change(const std::string& textIn) const {
        const json v = parse(textIn);
        if (!v.is_object()) fail("", "expected an object");
        SimLuminaireChange c;
        c.unit = unit(v, "luminaire");
        for (const auto& [key, value] : v.items()) {
            if (key == "address" || key == "unit") continue;
            if (key == "name") c.name = utf16(value, key, kSimNameMaxChars);
            else if (key == "location") c.location = utf16(value, key, kSimLocationMaxChars);
            else if (key == "status" && value.is_object()) c.fields = named_fields(value, key);
            else if (key == "status") c.status = status(value, key);
            else if (key == "addEntries") {
                if (!value.is_array()) fail(key, "expected a list of entries");
                for (std::size_t i = 0; i < value.size(); ++i) {
                    const bool own = value[i].is_object() && value[i].contains("offset");
                    c.addEntries.push_back({entry(value[i], key + " " + std::to_string(i + 1), i), own});
                }
            } else {
                fail("", "unknown field \"" + key + "\"");
            }
        }
        return c;
    }

    json parse(const std::string& textIn) const {
        try {
            return json::parse(textIn);
        } catch (const json::parse_error& e) {
            fail("", std::string("not valid JSON: ") + e.what());
        }
    }

    std::vector<SimLuminaire> file(const std::string& textIn) const {
        const json doc = parse(textIn);
        if (!doc.is_object() || !doc.contains("luminaires") || !doc["luminaires"].is_array()) {
            fail("", "expected an object with a \"luminaires\" list");
        }
        std::vector<SimLuminaire> out;
        std::set<std::uint8_t> seen;
        for (std::size_t i = 0; i < doc["luminaires"].size(); ++i) {
            SimLuminaire lum = luminaire(doc["luminaires"][i], i);
            if (!seen.insert(lum.unit).second) {
                fail("luminaire " + std::to_string(i + 1), "unit " + std::to_string(lum.unit) + " appears twice");
            }
            out.push_back(std::move(lum));
        }
        return out;
    }

private:
    std::string origin_;
};

}  // namespace

std::vector<SimLuminaire> parse_luminaires_json(const std::string& text, const std::string& origin) {
    return Reader(origin).file(text);
}

SimLuminaireChange parse_luminaire_change(const std::string& text, const std::string& origin) {
    return Reader(origin).change(text);
}

void SimStatusEdit::apply(std::array<std::uint8_t, kSimStatusBytes>& status) const {
    status[replyOffset - 17] = static_cast<std::uint8_t>(value & 0xFF);
    if (width == 2) status[replyOffset - 16] = static_cast<std::uint8_t>(value >> 8);
}

void SimLuminaireChange::apply(SimLuminaire& lum) const {
    if (name) lum.name = *name;
    if (location) lum.location = *location;
    if (status) lum.status = *status;
    for (const SimStatusEdit& e : fields) e.apply(lum.status);
    const std::size_t before = lum.entries.size();
    for (const auto& [entry, ownOffset] : addEntries) {
        SimTestEntry e = entry;
        if (!ownOffset) e.offset = static_cast<std::uint16_t>(before + e.offset);
        lum.entries.push_back(e);
    }
}

std::vector<SimLuminaire> load_luminaires_json(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot be opened");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw std::runtime_error(path + ": cannot be read");
    return parse_luminaires_json(text.str(), path);
}

std::optional<std::uint8_t> parse_unit_address(const std::string& text) {
    if (text.size() < 2 || text.size() > 3 || (text[0] != 'A' && text[0] != 'B')) return std::nullopt;
    unsigned n = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        n = n * 10 + static_cast<unsigned>(text[i] - '0');
    }
    if (n > 63 || (text.size() == 3 && text[1] == '0')) return std::nullopt;
    return static_cast<std::uint8_t>(text[0] == 'A' ? n : n + 64);
}

std::u16string utf8_to_utf16(const std::string& text) {
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        std::size_t len = b0 < 0x80 ? 1 : (b0 >> 5) == 6 ? 2 : (b0 >> 4) == 14 ? 3 : (b0 >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > text.size()) throw std::runtime_error("not valid UTF-8 text");
        std::uint32_t cp = len == 1 ? b0 : b0 & (0x7F >> len);
        for (std::size_t k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            if ((b & 0xC0) != 0x80) throw std::runtime_error("not valid UTF-8 text");
            cp = cp << 6 | (b & 0x3F);
        }
        static constexpr std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            throw std::runtime_error("not valid UTF-8 text");
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}
