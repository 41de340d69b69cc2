// Saving a workbook on Windows: a temporary file beside the target,
// flushed, then renamed over the target in one step (MoveFileExW), which
// leaves the old file whole when it fails, a file held open by another
// program among the causes. The new file takes the folder's inherited
// permissions, Windows' counterpart of the umask. (ReplaceFileW would carry
// a replaced file's own security over, but leaves a file of its own behind
// when it fails under Wine, where the tests run.)
#include "xlsx_file.h"

#include "xlsx_write.h"

#include <windows.h>

#include <string>

namespace {

constexpr int kTempNameAttempts = 100;
constexpr const char* kTempPrefix = ".orvypc-save.xlsx.tmp";

std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                      nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string utf8(const wchar_t* text, int length) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
    return out;
}

// The system's words for an error, without the closing full stop.
std::string error_text(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = n > 0 ? utf8(text, static_cast<int>(n)) : std::string();
    LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.' || out.back() == ' ')) {
        out.pop_back();
    }
    return out.empty() ? "system error " + std::to_string(error) : out;
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);  // "\" or "C:\"
    return path.substr(0, slash);
}

// A new, empty file of a name no other save uses, beside the target.
// CREATE_NEW fails when the name is taken, so two saves never share one.
std::string create_temp_beside(const std::string& path, DWORD* error) {
    const std::string folder = folder_of(path);
    const std::string separator = folder.back() == '\\' || folder.back() == '/' ? "" : "\\";
    const unsigned long base = GetCurrentProcessId() ^ GetTickCount();
    for (int i = 0; i < kTempNameAttempts; ++i) {
        const std::string candidate = folder + separator + kTempPrefix + std::to_string(base + i);
        const HANDLE h = CreateFileW(wide(candidate).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return candidate;
        }
        *error = GetLastError();
        if (*error != ERROR_FILE_EXISTS && *error != ERROR_ALREADY_EXISTS) break;
    }
    return {};
}

bool flush_file(const std::wstring& path, DWORD* error) {
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    const bool ok = FlushFileBuffers(h) != 0;
    if (!ok) *error = GetLastError();
    CloseHandle(h);
    return ok;
}

bool put_in_place(const std::wstring& temp, const std::wstring& target, DWORD* error) {
    const bool ok = MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) *error = GetLastError();
    return ok;
}

std::string failure(const std::string& path, const std::string& reason) {
    return "The workbook could not be saved as \"" + path + "\": " + reason + ".";
}

}  // namespace

std::string save_workbook_file(const WorkbookModel& book, const std::string& path, std::time_t created) {
    const std::wstring target = wide(path);
    if (target.empty()) return failure(path, "the name is not valid text");
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return failure(path, "a folder of that name is there");
    // A read-only file keeps its protection, as an in-place save would.
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY)) return failure(path, error_text(ERROR_ACCESS_DENIED));

    DWORD error = 0;
    const std::string tempPath = create_temp_beside(path, &error);
    if (tempPath.empty()) return failure(path, error_text(error));
    const std::wstring temp = wide(tempPath);

    std::string reason = write_xlsx(book, tempPath, created, nullptr);
    if (reason.empty() && !flush_file(temp, &error)) reason = error_text(error);
    if (reason.empty() && !put_in_place(temp, target, &error)) reason = error_text(error);
    if (!reason.empty()) {
        DeleteFileW(temp.c_str());
        return failure(path, reason);
    }
    return {};
}
