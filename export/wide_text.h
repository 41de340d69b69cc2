// The automation layer carries text as UTF-16 (BSTR); the rest of the
// program holds UTF-8. These two conversions are the only crossing points.
#pragma once

#include <string>
#include <string_view>

// Malformed input never fails: each bad sequence becomes U+FFFD, so a name
// from the gateway with a broken byte still reaches the workbook readable.
std::u16string utf8_to_utf16(std::string_view text);
std::string utf16_to_utf8(std::u16string_view text);
