// The program's automation-server module: its AppID and type library and
// their registration for the current user. The program exposes no
// automation objects; this only keeps its registration in order.
//
// Registration writes the keys of the module's registry script into the
// user's key store (on Windows the registry, under
// HKEY_CURRENT_USER\Software\Classes; elsewhere
// $XDG_CONFIG_HOME/OrvyPc/classes.reg) and, on POSIX, installs a desktop
// entry and icon under $XDG_DATA_HOME so the program appears in the
// desktop's application menu; unregistration removes them again, keeping
// the AppID key itself.
#pragma once

#include <string>

inline constexpr const char* kAppIdText = "{6A1D0F3E-58C2-4B7A-9E41-2D83C5F09B17}";
inline constexpr const char* kTypeLibId = "{B3E29C74-1F06-4D8B-A5C3-7E1940D62F85}";
inline constexpr const char* kTypeLibName = "OrvyPcLib";
inline constexpr const char* kTypeLibVersion = "1.0";
inline constexpr const char* kDesktopFileName = "orvypc.desktop";
inline constexpr const char* kIconName = "orvypc";

// Where the registration goes. from_environment() follows the XDG rules:
// $XDG_CONFIG_HOME and $XDG_DATA_HOME when set to absolute paths, else
// ~/.config and ~/.local/share; on Windows %APPDATA% (where an earlier
// build kept its key store file, carried into the registry) and no menu
// folder.
struct RegistrationPaths {
    std::string configHome;
    std::string dataHome;     // empty: no desktop entry or icon of its own
    std::string executable;   // the program file the entries start
    static RegistrationPaths from_environment();

    std::string key_store() const;     // <configHome>/OrvyPc/classes.reg
    std::string desktop_entry() const; // <dataHome>/applications/orvypc.desktop
    std::string icon() const;          // <dataHome>/icons/hicolor/128x128/apps/orvypc.png
};

// Registry script 103: its keys with APPID replaced by the AppID text.
// Under "AppID" (kept on unregistration): "<AppID>" = "OrvyPc" and
// "OrvyPc.EXE" with the value "AppID" = the AppID text.
std::string app_id_key();        // AppID\{...}
std::string app_exe_key();       // AppID\OrvyPc.EXE
std::string type_lib_key();      // TypeLib\{...}

class COrvyPcModule {
public:
    explicit COrvyPcModule(RegistrationPaths paths) : m_paths(std::move(paths)) {}

    // Each returns false, with a reason in `error`, when something could not
    // be written or removed; what could be done is done.
    bool RegisterServer(std::string* error);
    bool UnregisterServer(std::string* error);

    // The text of the desktop entry for `executable`.
    static std::string DesktopEntryText(const std::string& executable);

private:
    RegistrationPaths m_paths;
};
