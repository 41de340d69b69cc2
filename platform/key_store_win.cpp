// The user's key store is the registry of the current user (key_store.h):
// "Software\..." under HKEY_CURRENT_USER, every other key under
// HKEY_CURRENT_USER\Software\Classes. No administrator rights are needed.
#include "key_store.h"

#include "user_folders.h"

#include <windows.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr const wchar_t* kClassesRoot = L"Software\\Classes\\";
// The program's own keys, which load_user_key_store() reads.
constexpr const char* kOwnKeys = "Software\\OrvyPc";
// What a carried-over key store file is renamed to.
constexpr const char* kCarriedOverSuffix = ".carried-over";

std::wstring wide(const std::string& text)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string utf8(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// The key's path under HKEY_CURRENT_USER.
std::wstring registry_path(const std::string& key)
{
    if (CompareStringOrdinal(wide(key.substr(0, 9)).c_str(), -1, L"Software\\", -1, TRUE) == CSTR_EQUAL)
        return wide(key);
    return kClassesRoot + wide(key);
}

std::wstring value_name(const std::string& name) { return name == "@" ? std::wstring() : wide(name); }

std::string system_message(LSTATUS status)
{
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = text != nullptr ? utf8(text) : "error " + std::to_string(status);
    LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) out.pop_back();
    return out;
}

class Key {
public:
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key()
    {
        if (m_key != nullptr) RegCloseKey(m_key);
    }
    LSTATUS open(HKEY parent, const std::wstring& path)
    {
        return RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &m_key);
    }
    LSTATUS create(const std::wstring& path)
    {
        return RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_READ | KEY_SET_VALUE, nullptr, &m_key, nullptr);
    }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

bool has_value(const std::string& key, const std::string& name)
{
    Key k;
    if (k.open(HKEY_CURRENT_USER, registry_path(key)) != ERROR_SUCCESS) return false;
    return RegQueryValueExW(k.get(), value_name(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Writes the values of `values`: all of them, or only those not there yet.
bool write_values(const KeyStore& values, bool keepExisting, std::string* error)
{
    bool ok = true;
    for (const std::string& key : values.keys()) {
        const std::wstring path = registry_path(key);
        Key k;
        if (const LSTATUS status = k.create(path); status != ERROR_SUCCESS) {
            *error = "cannot write HKEY_CURRENT_USER\\" + utf8(path) + ": " + system_message(status);
            ok = false;
            continue;
        }
        for (const auto& [name, text] : values.values(key)) {
            if (keepExisting && has_value(key, name)) continue;
            const std::wstring data = wide(text);
            const LSTATUS status =
                RegSetValueExW(k.get(), value_name(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                               static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
            if (status != ERROR_SUCCESS) {
                *error = "cannot write HKEY_CURRENT_USER\\" + utf8(path) + " " + name + ": " + system_message(status);
                ok = false;
            }
        }
    }
    return ok;
}

// A key store file left by an earlier build goes into the registry once.
void carry_over(const std::string& file)
{
    static std::mutex carrying;
    const std::lock_guard<std::mutex> lock(carrying);
    const std::filesystem::path path = std::filesystem::path(wide(file));
    std::error_code ec;
    if (file.empty() || !std::filesystem::exists(path, ec)) return;
    KeyStore old;
    if (!old.load(file)) return;   // not a key store: left alone
    std::string error;
    if (!write_values(old, true, &error)) return;   // tried again next time
    std::filesystem::path done = path;
    done += kCarriedOverSuffix;
    std::filesystem::rename(path, done, ec);
}

// Reads `key` (its registry path `path`) and everything below it.
bool read_tree(HKEY parent, const std::wstring& path, const std::string& key, KeyStore* store)
{
    Key k;
    const LSTATUS opened = k.open(parent, path);
    if (opened == ERROR_FILE_NOT_FOUND) return true;
    if (opened != ERROR_SUCCESS) return false;
    store->create_key(key);
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data;
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD type = 0;
        DWORD size = 0;
        LSTATUS status = RegEnumValueW(k.get(), i, name.data(), &nameLength, nullptr, &type, nullptr, &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) return false;
        if (type != REG_SZ && type != REG_EXPAND_SZ) continue;   // the store holds texts only
        data.assign(size + sizeof(wchar_t), 0);
        nameLength = static_cast<DWORD>(name.size());
        status = RegEnumValueW(k.get(), i, name.data(), &nameLength, nullptr, &type, data.data(), &size);
        if (status != ERROR_SUCCESS) return false;
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        const std::string valueName = nameLength == 0 ? "@" : utf8(std::wstring(name.data(), nameLength));
        store->set_value(key, valueName, utf8(text));
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        const LSTATUS status = RegEnumKeyExW(k.get(), i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) return false;
        const std::wstring sub(name.data(), nameLength);
        if (!read_tree(k.get(), sub, key + "\\" + utf8(sub), store)) return false;
    }
    return true;
}

}  // namespace

bool load_user_key_store(KeyStore* store) { return read_user_key_store(user_key_store_path(), store); }

bool read_user_key_store(const std::string& file, KeyStore* store)
{
    carry_over(file);
    *store = KeyStore();
    if (read_tree(HKEY_CURRENT_USER, registry_path(kOwnKeys), kOwnKeys, store)) return true;
    *store = KeyStore();
    return false;
}

bool change_user_key_store(const std::string& file, const KeyStore& values, const std::vector<std::string>& remove,
                           std::string* error)
{
    carry_over(file);
    bool ok = write_values(values, false, error);
    for (const std::string& key : remove) {
        const std::wstring path = registry_path(key);
        const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            *error = "cannot remove HKEY_CURRENT_USER\\" + utf8(path) + ": " + system_message(status);
            ok = false;
        }
    }
    return ok;
}

const char* type_library_platform() { return "win64"; }
