// The program's manifest makes UTF-8 its code page: the command line comes
// as UTF-8, and there is no other encoding to convert from.
#include "locale_text.h"

std::string locale_encoding() { return "UTF-8"; }

std::optional<std::string> locale_text_as_utf8(const std::string&) { return std::nullopt; }
