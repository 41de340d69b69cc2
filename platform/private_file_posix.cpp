#include "private_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kMaxPrivateFile = 4096;   // a password, not a document

}  // namespace

bool read_private_file(const std::string& path, std::string* text, std::string* why) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *why = "the file " + path + " cannot be read: " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    bool ok = fstat(fd, &st) == 0;
    if (!ok) {
        *why = "the file " + path + " cannot be read: " + std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        *why = "the file " + path + " is not a plain file";
        ok = false;
    } else if (st.st_uid != geteuid()) {
        *why = "the file " + path + " is not yours: a password file must belong to the user who runs orvypc";
        ok = false;
    } else if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        *why = "the file " + path + " can be read or changed by others (mode " + mode +
               "): it is not used; make it yours alone with: chmod 600 '" + path + "'";
        ok = false;
    } else if (static_cast<std::size_t>(st.st_size) > kMaxPrivateFile) {
        *why = "the file " + path + " is too long for a password";
        ok = false;
    }
    std::string out;
    if (ok) {
        char buf[kMaxPrivateFile + 1];
        for (;;) {
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                *why = "the file " + path + " cannot be read: " + std::strerror(errno);
                ok = false;
            }
            if (n <= 0) break;
            out.append(buf, static_cast<std::size_t>(n));
            if (out.size() > kMaxPrivateFile) {
                *why = "the file " + path + " is too long for a password";
                ok = false;
                break;
            }
        }
    }
    close(fd);
    if (!ok) return false;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    *text = out;
    return true;
}
