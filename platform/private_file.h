// A small file that must be the user's alone, such as the mail password: it
// is read only when nobody else can read or change it.
#pragma once

#include <string>

// The file's text, without its final line end. False, with the reason in
// words, when it cannot be read, is not a plain file, is not the user's own,
// or others may read or write it.
bool read_private_file(const std::string& path, std::string* text, std::string* why);
