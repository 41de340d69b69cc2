// orvypc started by CreateProcessW, its output into files.
#include "run_orvypc.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr DWORD kRunLimitMs = 60000;

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
    static std::vector<std::string> held;
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
    static int counter = 0;
    const std::string base = (std::filesystem::temp_directory_path() /
                              ("orvypc-run-" + std::to_string(test_process_id()) + "-" + std::to_string(++counter)))
                                 .string();
    const std::string outPath = base + ".out", errPath = base + ".err";
    std::wstring commandLine = quoted(wide(ORVYPC_EXE));
    for (const std::string& a : args) commandLine += L" " + quoted(wide(a));

    Outcome r;
    HANDLE out = output_file(outPath);
    HANDLE err = output_file(errPath);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const bool started = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                         CreateProcessW(wide(ORVYPC_EXE).c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(out);
    CloseHandle(err);
    if (!started) {
        ADD_FAILURE() << "cannot start " << ORVYPC_EXE;
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
