// Where the program keeps its per-user files, and where it is itself.
// One implementation file per platform.
#pragma once

#include <string>

// Settings, the key store among them: $XDG_CONFIG_HOME (~/.config when it
// is unset or relative) on POSIX, %APPDATA% on Windows.
std::string user_config_folder();
// Data for the desktop (its menu entry, the icon): $XDG_DATA_HOME
// (~/.local/share) on POSIX, %APPDATA% on Windows.
std::string user_data_folder();
// Where the desktop's application menu takes the user's own entries and
// icons (applications/, icons/ below it): $XDG_DATA_HOME on POSIX; empty on
// Windows, whose Start-menu entry is the setup program's.
std::string user_menu_data_folder();
// Data that stays on this machine (the logbook): $XDG_DATA_HOME on POSIX
// (as above), %LOCALAPPDATA% on Windows.
std::string user_local_data_folder();
// This program's file `name` there: .../OrvyPc/NAME, with the platform's
// separator.
std::string local_data_file(const std::string& name);
// The user's key store file: .../OrvyPc/classes.reg in the settings folder.
std::string user_key_store_path();
// The running program's own file.
std::string this_executable_path();
