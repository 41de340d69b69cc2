#include "scratch_env.h"

#include <windows.h>

#include <cstdlib>
#include <ctime>
#include <stdexcept>
#include <string>

void use_utc_local_time() {
    _putenv_s("TZ", "UTC");
    _tzset();
}

std::filesystem::path new_scratch_folder() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    const unsigned long seed = GetCurrentProcessId() ^ GetTickCount();
    for (unsigned long i = 0; i < 100; ++i) {
        const std::filesystem::path dir = base / ("orvypc-export-test-" + std::to_string(seed + i));
        if (CreateDirectoryW(dir.c_str(), nullptr)) return dir;
    }
    throw std::runtime_error("no scratch folder");
}
