// What the logbook asks of Windows: random bytes and a new file put in
// place without replacing anything.
#define _CRT_RAND_S   // rand_s: the system's random source, in the C runtime
#include "logbook_stores.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

std::wstring wide(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string system_message(DWORD code) {
    return std::system_category().message(static_cast<int>(code));
}

}  // namespace

void system_random_bytes(unsigned char* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n; i += sizeof(unsigned int)) {
        unsigned int value = 0;
        // rand_s fails only without the system's generator; the clock and
        // the process then still make two runs differ.
        if (rand_s(&value) != 0) value = GetTickCount() ^ (GetCurrentProcessId() << 16) ^ static_cast<unsigned>(i);
        for (std::size_t b = 0; b < sizeof value && i + b < n; ++b) bytes[i + b] = static_cast<unsigned char>(value >> (8 * b));
    }
}

bool publish_new_file(const std::string& temp, const std::string& path, std::string* why) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when anything is at
    // `path`: a backup never overwrites. Written through: the copy is on
    // the disk when this returns.
    if (!MoveFileExW(wide(temp).c_str(), wide(path).c_str(), MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        const bool there = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
        *why = path + ": " + (there ? kLeftAlone : system_message(error));
        std::error_code ec;
        std::filesystem::remove(std::filesystem::path(wide(temp)), ec);
        return false;
    }
    return true;
}
