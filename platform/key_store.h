// The per-user key store that stands in for the class registrations of a
// registry: keys named by backslash-separated paths (compared without regard
// to case), each with named string values, "@" naming the default value.
// Kept as one text file in the format of registry export files:
//
//   [AppID\OrvyPc.EXE]
//   "AppID"="{...}"
//
// Nothing is lost on a bad file: load() refuses it and the caller leaves it
// alone; save() replaces the file in one step or not at all.
#pragma once

#include <map>
#include <string>
#include <vector>

class KeyStore {
public:
    // False when the file exists but cannot be read or is not in the format
    // above (the store is then empty). A missing file is an empty store.
    bool load(const std::string& path);
    // Writes every key, creating the folder. False when it cannot.
    bool save(const std::string& path) const;

    void create_key(const std::string& key);                 // and its parents
    void set_value(const std::string& key, const std::string& name, const std::string& value);
    bool remove_key(const std::string& key);                 // and its subkeys; false if absent
    bool has_key(const std::string& key) const;
    // The value, or nullptr when the key or the value is not there.
    const std::string* value(const std::string& key, const std::string& name) const;
    std::vector<std::string> keys() const;                   // as written, in sorted order
    // The values of a key, name and text, in the order they were set.
    std::vector<std::pair<std::string, std::string>> values(const std::string& key) const;

private:
    struct Key {
        std::string path;                                    // as first written
        std::vector<std::pair<std::string, std::string>> values;
    };
    static std::string fold(const std::string& key);         // lower case, for look-up
    std::map<std::string, Key> m_keys;                       // by folded path
};

// The key store of the user running the program. On POSIX it is the file
// user_key_store_path(). On Windows it is the registry of the current user,
// as the system keeps such keys: a key whose path begins with "Software\"
// lies under HKEY_CURRENT_USER, any other (AppID\..., TypeLib\...) under
// HKEY_CURRENT_USER\Software\Classes, the user's own part of
// HKEY_CLASSES_ROOT; "@" is the default value, and every value is a string.
// There, a key store file that an earlier Windows build kept
// (%APPDATA%\OrvyPc\classes.reg) is carried into the registry the first
// time the store is used: each value the registry does not have yet; the
// file is then renamed classes.reg.carried-over, never deleted (a file that
// cannot be read is left where it is, and the registry used as it is).

// The program's own keys, Software\OrvyPc and everything below it (on POSIX
// the whole file). False, with the store empty, when they cannot be read.
bool load_user_key_store(KeyStore* store);

// The same with the store's file named (on Windows: the file to carry over).
bool read_user_key_store(const std::string& file, KeyStore* store);

// Sets every value of `values` (making its keys), then removes each key of
// `remove` with everything below it. False, with the reason in `error`,
// when something could not be read, written or removed: the file is then
// left as it was (it is replaced in one step); in the registry what could
// be done is done.
bool change_user_key_store(const std::string& file, const KeyStore& values, const std::vector<std::string>& remove,
                           std::string* error);

// The subkey under which a type library names its file for this platform
// ("win64" on Windows).
const char* type_library_platform();
