// The XDG base directories, and the program found through /proc.
#include "user_folders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {
std::string xdg_dir(const char* variable, const char* fallbackUnderHome) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/') return value;  // relative paths are to be ignored
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/" + fallbackUnderHome;
}
}  // namespace

std::string user_config_folder() { return xdg_dir("XDG_CONFIG_HOME", ".config"); }
std::string user_data_folder() { return xdg_dir("XDG_DATA_HOME", ".local/share"); }
std::string user_menu_data_folder() { return user_data_folder(); }
std::string user_local_data_folder() { return user_data_folder(); }
std::string local_data_file(const std::string& name) { return user_local_data_folder() + "/OrvyPc/" + name; }
std::string user_key_store_path() { return user_config_folder() + "/OrvyPc/classes.reg"; }

std::string this_executable_path() {
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("orvypc") : path.string();
}
