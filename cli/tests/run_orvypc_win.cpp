// orvypc started by CreateProcessW, its output into files.
#include "run_orvypc.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

constexpr DWORD kRunLimitMs = 60000;
constexpr int kStartAttempts = 5;
constexpr DWORD kStartRetryMs = 200;

std::wstring wide(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

// One argument as the C runtime's parser reads it back: in quotes, with
// the backslashes before a quote doubled and the quote escaped.
std::wstring quoted(const std::wstring& arg) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

// Windows may hold the files of a process that has just ended a while
// longer (Wine while it takes the process down, a virus scanner): a file
// not yet free is removed at a later run, or left in the temporary folder,
// rather than failing the test or waiting for it.
void remove_when_free(const std::string& path) {
    static std::mutex guard;   // runs may end on several threads at once
    static std::vector<std::string> held;
    const std::lock_guard<std::mutex> one(guard);
    held.push_back(path);
    std::erase_if(held, [](const std::string& p) {
        std::error_code ec;
        std::filesystem::remove(p, ec);
        return !ec;
    });
}

HANDLE output_file(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int test_process_id() { return static_cast<int>(GetCurrentProcessId()); }

void set_local_data_folder(const std::string& folder) { _wputenv_s(L"LOCALAPPDATA", wide(folder).c_str()); }

Outcome run_orvypc(const std::vector<std::string>& args) {
    static std::atomic<int> counter{0};   // runs may start from several threads at once
    const std::string base = (std::filesystem::temp_directory_path() /
                              ("orvypc-run-" + std::to_string(test_process_id()) + "-" + std::to_string(++counter)))
                                 .string();
    const std::string outPath = base + ".out", errPath = base + ".err";
    std::wstring commandLine = quoted(wide(ORVYPC_EXE));
    for (const std::string& a : args) commandLine += L" " + quoted(wide(a));

    Outcome r;
    // A program started meanwhile from another thread would inherit these
    // handles too, and hold the files open past this run: one start at a
    // time, from making the handles to closing them here.
    static std::mutex starting;
    std::unique_lock<std::mutex> one(starting);
    HANDLE out = output_file(outPath);
    HANDLE err = output_file(errPath);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const bool files = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE;
    bool started = false;
    DWORD why = 0;
    // Wine, with many programs starting at once (other test programs run
    // beside this one), now and then fails a start with an internal error
    // that the next try does not meet.
    for (int attempt = 0; files && !started && attempt < kStartAttempts; ++attempt) {
        if (attempt > 0) Sleep(kStartRetryMs);
        started = CreateProcessW(wide(ORVYPC_EXE).c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &startup, &process);
        why = GetLastError();
        if (why != ERROR_INTERNAL_ERROR) break;
    }
    CloseHandle(out);
    CloseHandle(err);
    one.unlock();
    if (!started) {
        ADD_FAILURE() << "cannot start " << ORVYPC_EXE << (files ? "" : " (its output files: " + base + ")")
                      << ": error " << why;
        return r;
    }
    if (WaitForSingleObject(process.hProcess, kRunLimitMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        ADD_FAILURE() << "orvypc did not end";
    } else {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        r.status = static_cast<int>(code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    r.out = slurp(outPath);
    r.err = slurp(errPath);
    remove_when_free(outPath);
    remove_when_free(errPath);
    return r;
}
