// The Windows build sends no mail, so it keeps no password file: one named
// is refused rather than read without the check the POSIX build makes.
#include "private_file.h"

bool read_private_file(const std::string& path, std::string*, std::string* why) {
    *why = "the file " + path + " is not read: the Windows build keeps no password file (it cannot send e-mail)";
    return false;
}
