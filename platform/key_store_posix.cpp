// The user's key store is one file (user_key_store_path()).
#include "key_store.h"

#include "user_folders.h"

bool load_user_key_store(KeyStore* store) { return read_user_key_store(user_key_store_path(), store); }

bool read_user_key_store(const std::string& file, KeyStore* store) { return store->load(file); }

bool change_user_key_store(const std::string& file, const KeyStore& values, const std::vector<std::string>& remove,
                           std::string* error)
{
    KeyStore store;
    if (!store.load(file)) {
        *error = "cannot read the key store " + file + "; left as it is";
        return false;
    }
    const bool wasEmpty = store.keys().empty();
    for (const std::string& key : values.keys()) {
        store.create_key(key);
        for (const auto& [name, text] : values.values(key)) store.set_value(key, name, text);
    }
    for (const std::string& key : remove) store.remove_key(key);
    if (wasEmpty && store.keys().empty()) return true;   // nothing to keep: no file made
    if (!store.save(file)) {
        *error = "cannot write the key store " + file;
        return false;
    }
    return true;
}

const char* type_library_platform() { return "linux64"; }
