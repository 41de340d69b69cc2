// The user and the machine as Windows names them, in UTF-8.
#include "system_identity.h"

#include <windows.h>

#include <cstdlib>

namespace {

std::string utf8(const wchar_t* text, DWORD length) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
    return out;
}

// A user or computer name is at most 256 characters (UNLEN, and the DNS
// host name's limit).
constexpr DWORD kNameChars = 257;

}  // namespace

std::string system_user_name() {
    wchar_t name[kNameChars] = {};
    DWORD size = kNameChars;   // on success: the characters with the final null
    if (GetUserNameW(name, &size) && size > 1) return utf8(name, size - 1);
    if (const wchar_t* user = _wgetenv(L"USERNAME"); user != nullptr && *user != L'\0')
        return utf8(user, static_cast<DWORD>(wcslen(user)));
    return "unknown";
}

std::string system_host_name() {
    wchar_t name[kNameChars] = {};
    DWORD size = kNameChars;   // on success: the characters without the null
    if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size)) return {};
    return utf8(name, size);
}
