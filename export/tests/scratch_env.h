// What the export tests need of the system: local time read as UTC, and a
// fresh scratch folder. One implementation file per platform.
#pragma once

#include <filesystem>

void use_utc_local_time();
// A new, empty folder under the system's temporary folder.
std::filesystem::path new_scratch_folder();
