// Text typed on a terminal whose encoding is not UTF-8 (a Latin-1 one, say)
// as UTF-8, converted from the encoding the user's locale names. One
// implementation file per platform.
#pragma once

#include <optional>
#include <string>

// `bytes` as UTF-8 text, converted from the locale's encoding (LC_ALL,
// LC_CTYPE, LANG); no value when the locale names no encoding but UTF-8 or
// ASCII, or when `bytes` are no text in it. Windows hands the program its
// command line as UTF-8 already: there is nothing to convert.
std::optional<std::string> locale_text_as_utf8(const std::string& bytes);
// The encoding the locale names ("UTF-8", "ISO-8859-1"...), for messages.
std::string locale_encoding();
