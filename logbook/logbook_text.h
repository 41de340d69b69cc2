// Text in the logbook is UTF-8: what a user writes into it (a remark, a
// site's name, a repair) is checked on the way in with utf8_problem(), and
// what is read out of it is valid_utf8(), whatever an older program or a
// hand edit left in the store.
#pragma once

#include <string>
#include <string_view>

// Why `text` is no UTF-8 text, naming the first byte that is wrong; empty
// when it is UTF-8.
std::string utf8_problem(std::string_view text);

// `text` with every byte that starts no well-formed UTF-8 character
// replaced by U+FFFD; UTF-8 text comes back as it is.
std::string valid_utf8(std::string_view text);
void make_valid_utf8(std::string& text);
