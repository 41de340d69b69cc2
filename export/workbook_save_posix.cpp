// Saving a workbook on POSIX: a temporary file beside the target (through
// a symbolic link: beside the file it points to), flushed, given the
// target's permissions (or those of a new file) and renamed over it, then
// the rename made durable.
#include "xlsx_file.h"

#include "xlsx_write.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool writable_folder(const char* path) {
    struct stat st {};
    return path != nullptr && path[0] == '/' && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(path, W_OK | X_OK) == 0;
}

// libxlsxwriter assembles each part of the file in a temporary file of its
// own before zipping it; in a RAM-backed folder that costs no disk work.
// The user's runtime folder when there is one, else the shared-memory
// folder, else the library's default (the system's temporary folder).
const char* scratch_folder() {
    static const std::string folder = [] {
        const char* candidates[] = {std::getenv("XDG_RUNTIME_DIR"), "/dev/shm"};
        for (const char* candidate : candidates) {
            if (writable_folder(candidate)) return std::string(candidate);
        }
        return std::string();
    }();
    return folder.empty() ? nullptr : folder.c_str();
}

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

// Saving onto a symbolic link saves into the file it points to and keeps
// the link: the path the save works on is the end of the chain of links
// (relative links read from the folder of the link). A chain too long to
// be anything but a loop is left for the save to report.
std::string link_target(const std::string& path) {
    constexpr int kMaxLinkHops = 40;  // the system's own limit (ELOOP)
    std::string target = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) return target;
        link.resize(static_cast<std::size_t>(n));
        target = link.front() == '/' ? link : folder_of(target) + "/" + link;
    }
    return path;
}

std::string failure(const std::string& path, const std::string& reason) {
    return "The workbook could not be saved as \"" + path + "\": " + reason + ".";
}

void keep_heap_for_saves() {
#if defined(__GLIBC__)
    static const bool kept = [] {
        mallopt(M_TRIM_THRESHOLD, kSaveHeapKeptBytes);
        mallopt(M_MMAP_THRESHOLD, kSaveMmapThresholdBytes);
        return true;
    }();
    (void)kept;
#endif
}

}  // namespace

std::string save_workbook_file(const WorkbookModel& book, const std::string& path,
                               std::time_t created) {
    keep_heap_for_saves();
    const std::string file = link_target(path);
    struct stat target {};
    const bool exists = ::stat(file.c_str(), &target) == 0;
    if (exists && S_ISDIR(target.st_mode)) return failure(path, "a folder of that name is there");
    // Renaming over a file needs only the folder's permission; a file the
    // user may not write keeps its protection, as an in-place save would.
    if (exists && ::access(file.c_str(), W_OK) != 0) return failure(path, std::strerror(errno));

    std::string tempPath = folder_of(file) + "/.orvypc-save.xlsx.tmpXXXXXX";
    const int fd = ::mkstemp(tempPath.data());
    if (fd < 0) return failure(path, std::strerror(errno));
    ::close(fd);

    std::string reason = write_xlsx(book, tempPath, created, scratch_folder());
    if (reason.empty() && !sync_file(tempPath)) reason = std::strerror(errno);
    // The new file takes the old one's permissions, or the usual ones.
    if (reason.empty() && ::chmod(tempPath.c_str(), exists ? (target.st_mode & 07777) : new_file_mode()) != 0) {
        reason = std::strerror(errno);
    }
    if (reason.empty() && ::rename(tempPath.c_str(), file.c_str()) != 0) reason = std::strerror(errno);
    if (!reason.empty()) {
        ::unlink(tempPath.c_str());
        return failure(path, reason);
    }
    // Make the rename itself durable; the file is complete either way.
    const int dir = ::open(folder_of(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}
