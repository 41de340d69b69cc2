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

private:
    struct Key {
        std::string path;                                    // as first written
        std::vector<std::pair<std::string, std::string>> values;
    };
    static std::string fold(const std::string& key);         // lower case, for look-up
    std::map<std::string, Key> m_keys;                       // by folded path
};

// The key store of the user running the program (user_key_store_path()).
// False, with the store empty, when it exists but cannot be read.
bool load_user_key_store(KeyStore* store);
