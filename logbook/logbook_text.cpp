#include "logbook_text.h"

#include <cstdint>
#include <cstdio>

namespace {

// The length of the well-formed UTF-8 character at `i` (RFC 3629: no
// overlong forms, no surrogates, nothing above U+10FFFF), or 0.
std::size_t character_at(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<std::uint8_t>(s[i + k]); };
    const std::uint8_t lead = b(0);
    if (lead < 0x80) return 1;
    std::size_t n = 0;
    std::uint8_t low = 0x80, high = 0xBF;   // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) n = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0) low = 0xA0;        // overlong
        if (lead == 0xED) high = 0x9F;       // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0) low = 0x90;        // overlong
        if (lead == 0xF4) high = 0x8F;       // above U+10FFFF
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    if (b(1) < low || b(1) > high) return 0;
    for (std::size_t k = 2; k < n; ++k) {
        if (b(k) < 0x80 || b(k) > 0xBF) return 0;
    }
    return n;
}

}  // namespace

std::string utf8_problem(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = character_at(text, i);
        if (n == 0) {
            char why[96];
            std::snprintf(why, sizeof why, "byte %zu (0x%02X) is not part of a UTF-8 character", i + 1,
                          static_cast<unsigned>(static_cast<std::uint8_t>(text[i])));
            return why;
        }
        i += n;
    }
    return {};
}

std::string valid_utf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = character_at(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";   // U+FFFD
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

void make_valid_utf8(std::string& text) {
    if (utf8_problem(text).empty()) return;
    text = valid_utf8(text);
}
