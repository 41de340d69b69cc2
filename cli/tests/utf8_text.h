// The simulator's UTF-16 names as the program prints them.
#pragma once

#include <string>

inline std::string utf8(const std::u16string& s) {
    std::string out;
    for (const char16_t c : s) {   // the demonstration texts are in the BMP
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}
