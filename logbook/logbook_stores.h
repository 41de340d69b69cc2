// The two stores behind the Logbook interface, and what they share. Callers
// outside this folder use open_logbook().
#pragma once

#include "logbook.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

std::unique_ptr<Logbook> open_sqlite_logbook(const std::string& path, std::string* why);
std::unique_ptr<Logbook> open_postgres_logbook(const std::string& url, std::string* why);

// Entries and remarks, each newest first within a luminaire, merged into one
// history in the order `sorted_before` gives.
std::vector<HistoryItem> merge_history(std::vector<HistoryItem> entries, const std::vector<Remark>& remarks,
                                       bool bySite);

// A server URL with any password blanked out, for messages.
std::string url_without_password(const std::string& url);

// Copies everything `from` holds into a new SQLite file at `path` (refused
// when it exists): the backup of a store that has no file of its own.
bool copy_into_new_file(Logbook& from, const std::string& path, std::string* why);
// Moves the finished file at `temp` to `path` unless something is there;
// `temp` is gone either way. One implementation file per platform.
bool publish_new_file(const std::string& temp, const std::string& path, std::string* why);
inline constexpr const char* kLeftAlone = "a file of that name is there already; it was left alone";

// Bytes from the system's random source (one implementation file per
// platform).
void system_random_bytes(unsigned char* bytes, std::size_t n);
