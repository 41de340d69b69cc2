// What the logbook asks of a POSIX system: random bytes and a new file put
// in place without replacing anything.
#include "logbook_stores.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>

void system_random_bytes(unsigned char* bytes, std::size_t n) {
    std::ifstream urandom("/dev/urandom", std::ios::binary);
    if (urandom.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(n))) return;
    // Without the system's source the clock and the process still make
    // two runs of two machines differ.
    std::random_device device;
    std::mt19937_64 gen(device() ^ static_cast<std::uint64_t>(std::time(nullptr)) ^
                        (static_cast<std::uint64_t>(getpid()) << 32));
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<unsigned char>(gen());
}

bool publish_new_file(const std::string& temp, const std::string& path, std::string* why) {
    // link() never replaces what is at `path`: a backup never overwrites.
    if (::link(temp.c_str(), path.c_str()) != 0) {
        *why = path + ": " + (errno == EEXIST ? kLeftAlone : std::string(std::strerror(errno)));
        std::filesystem::remove(temp);
        return false;
    }
    std::filesystem::remove(temp);
    return true;
}
