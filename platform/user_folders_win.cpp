// The roaming application-data folder of the user (%APPDATA%), the local
// one (%LOCALAPPDATA%), and the program found through its module.
#include "user_folders.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::string utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string environment(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value != nullptr ? utf8(value) : std::string();
}

}  // namespace

std::string user_config_folder() {
    const std::string appData = environment(L"APPDATA");
    if (!appData.empty()) return appData;
    // Without it (a service account, a cut-down environment), where it
    // would point for the user.
    return environment(L"USERPROFILE") + "\\AppData\\Roaming";
}

std::string user_data_folder() { return user_config_folder(); }

std::string user_menu_data_folder() { return {}; }

std::string user_local_data_folder() {
    const std::string local = environment(L"LOCALAPPDATA");
    if (!local.empty()) return local;
    return environment(L"USERPROFILE") + "\\AppData\\Local";
}

std::string local_data_file(const std::string& name) { return user_local_data_folder() + "\\OrvyPc\\" + name; }
std::string user_key_store_path() { return user_config_folder() + "\\OrvyPc\\classes.reg"; }

std::string this_executable_path() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return "orvypc.exe";
        if (n < path.size()) return utf8(path.substr(0, n));
        path.resize(path.size() * 2);
    }
}
