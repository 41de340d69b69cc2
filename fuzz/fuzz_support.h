// What the fuzz targets share: prompts that show nothing, and the check
// that a text made from gateway bytes is well-formed UTF-8.
#pragma once

#include "prompts.h"

#include <cstddef>
#include <string>

class SilentPrompts final : public Prompts {
public:
    void message_box(const std::string&) override {}
    void set_status_line(const std::string&) override {}
};

inline bool valid_utf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += len;
    }
    return true;
}
