// Text typed on a terminal whose encoding is not UTF-8 (a Latin-1 one, say)
// as UTF-8, converted from the encoding the user's locale names. One
// implementation file per platform.
#pragma once

#include <optional>
#include <string>

// `bytes` as UTF-8 text, converted from the encoding the locale's name
// gives (LC_ALL, LC_CTYPE, LANG: "de_DE.ISO-8859-1"); no value when it names
// none or UTF-8, or when `bytes` are no text in it. Windows hands the
// program its command line as UTF-8 already: there is nothing to convert.
std::optional<std::string> locale_text_as_utf8(const std::string& bytes);
// The encoding the locale's name gives ("UTF-8", "ISO-8859-1"...), empty
// when it names none.
std::string locale_encoding();
