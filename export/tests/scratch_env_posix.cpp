#include "scratch_env.h"

#include <cstdlib>
#include <ctime>
#include <stdexcept>

void use_utc_local_time() {
    setenv("TZ", "UTC", 1);
    tzset();
}

std::filesystem::path new_scratch_folder() {
    char pattern[] = "/tmp/orvypc-export-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("no scratch folder");
    return pattern;
}
