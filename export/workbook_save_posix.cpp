// Saving a workbook on POSIX: a temporary file beside the target, flushed,
// given the target's permissions (or those of a new file) and renamed over
// it, then the rename made durable.
#include "xlsx_file.h"

#include "xlsx_write.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The mode a new file gets from this process: 0666 less the umask, read
// without changing it (umask() would race with other threads).
mode_t new_file_mode() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(0666 & ~std::stoul(line.substr(6), nullptr, 8));
        }
    }
    return 0644;
}

bool sync_file(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

std::string failure(const std::string& path, const std::string& reason) {
    return "The workbook could not be saved as \"" + path + "\": " + reason + ".";
}

}  // namespace

std::string save_workbook_file(const WorkbookModel& book, const std::string& path,
                               std::time_t created) {
    struct stat target {};
    const bool exists = ::stat(path.c_str(), &target) == 0;
    if (exists && S_ISDIR(target.st_mode)) return failure(path, "a folder of that name is there");
    // Renaming over a file needs only the folder's permission; a file the
    // user may not write keeps its protection, as an in-place save would.
    if (exists && ::access(path.c_str(), W_OK) != 0) return failure(path, std::strerror(errno));

    std::string tempPath = folder_of(path) + "/.orvypc-save.xlsx.tmpXXXXXX";
    const int fd = ::mkstemp(tempPath.data());
    if (fd < 0) return failure(path, std::strerror(errno));
    ::close(fd);

    std::string reason = write_xlsx(book, tempPath, created);
    if (reason.empty() && !sync_file(tempPath)) reason = std::strerror(errno);
    // The new file takes the old one's permissions, or the usual ones.
    if (reason.empty() && ::chmod(tempPath.c_str(), exists ? (target.st_mode & 07777) : new_file_mode()) != 0) {
        reason = std::strerror(errno);
    }
    if (reason.empty() && ::rename(tempPath.c_str(), path.c_str()) != 0) reason = std::strerror(errno);
    if (!reason.empty()) {
        ::unlink(tempPath.c_str());
        return failure(path, reason);
    }
    // Make the rename itself durable; the file is complete either way.
    const int dir = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}
