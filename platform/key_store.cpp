#include "key_store.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

// The path is UTF-8 on every platform; a u8string says so to filesystem.
std::filesystem::path utf8_path(const std::string& text) { return std::u8string(text.begin(), text.end()); }

std::string quote(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + '"';
}

// Reads a quoted string starting at `pos`; moves `pos` past it.
bool unquote(const std::string& line, std::size_t& pos, std::string* out)
{
    if (pos >= line.size() || line[pos] != '"') return false;
    out->clear();
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\') {
            if (++pos >= line.size()) return false;
            c = line[pos];
        }
        *out += c;
    }
    return false;
}

std::string trim_line_end(std::string line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    return line;
}

}  // namespace

std::string KeyStore::fold(const std::string& key)
{
    std::string out = key;
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

void KeyStore::create_key(const std::string& key)
{
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = key.find('\\', pos + 1);
        const std::string part = key.substr(0, pos);
        auto [it, added] = m_keys.try_emplace(fold(part));
        if (added) it->second.path = part;
    }
}

void KeyStore::set_value(const std::string& key, const std::string& name, const std::string& value)
{
    create_key(key);
    auto& values = m_keys[fold(key)].values;
    for (auto& [n, v] : values)
        if (fold(n) == fold(name)) {
            v = value;
            return;
        }
    values.emplace_back(name, value);
}

bool KeyStore::remove_key(const std::string& key)
{
    const std::string folded = fold(key);
    if (m_keys.erase(folded) == 0) return false;
    const std::string prefix = folded + '\\';
    for (auto it = m_keys.lower_bound(prefix); it != m_keys.end() && it->first.rfind(prefix, 0) == 0;)
        it = m_keys.erase(it);
    return true;
}

bool KeyStore::has_key(const std::string& key) const { return m_keys.count(fold(key)) != 0; }

const std::string* KeyStore::value(const std::string& key, const std::string& name) const
{
    auto it = m_keys.find(fold(key));
    if (it == m_keys.end()) return nullptr;
    for (const auto& [n, v] : it->second.values)
        if (fold(n) == fold(name)) return &v;
    return nullptr;
}

std::vector<std::string> KeyStore::keys() const
{
    std::vector<std::string> out;
    for (const auto& [folded, key] : m_keys) out.push_back(key.path);
    return out;
}

std::vector<std::pair<std::string, std::string>> KeyStore::values(const std::string& key) const
{
    auto it = m_keys.find(fold(key));
    return it == m_keys.end() ? std::vector<std::pair<std::string, std::string>>{} : it->second.values;
}

bool KeyStore::load(const std::string& path)
{
    m_keys.clear();
    std::error_code ec;
    if (!std::filesystem::exists(utf8_path(path), ec)) return !ec;
    std::ifstream file(utf8_path(path), std::ios::binary);
    if (!file) return false;
    std::string current;
    bool inKey = false;
    for (std::string raw; std::getline(file, raw);) {
        const std::string line = trim_line_end(raw);
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3) return false;
            current = line.substr(1, line.size() - 2);
            create_key(current);
            inKey = true;
            continue;
        }
        if (!inKey) return false;
        std::size_t pos = 0;
        std::string name;
        if (line[0] == '@') {
            name = "@";
            pos = 1;
        } else if (!unquote(line, pos, &name)) {
            return false;
        }
        std::string value;
        if (pos >= line.size() || line[pos] != '=' || !unquote(line, ++pos, &value) || pos != line.size())
            return false;
        set_value(current, name, value);
    }
    return !file.bad();
}

bool KeyStore::save(const std::string& path) const
{
    namespace fs = std::filesystem;
    const fs::path target = utf8_path(path);
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec) return false;
    std::string text = "; OrvyPc class registrations of this user\n";
    for (const auto& [folded, key] : m_keys) {
        text += "\n[" + key.path + "]\n";
        for (const auto& [name, value] : key.values)
            text += (name == "@" ? std::string("@") : quote(name)) + "=" + quote(value) + "\n";
    }
    // Written beside the store, then renamed over it: the old store stays
    // whole until the new one is complete.
    fs::path part = target;
    part += ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            out.close();
            fs::remove(part, ec);
            return false;
        }
    }
    fs::rename(part, target, ec);
    if (ec) {
        fs::remove(part, ec);
        return false;
    }
    return true;
}
