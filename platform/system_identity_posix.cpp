// The user from the password database, the machine from gethostname().
#include "system_identity.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

std::string system_user_name() {
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_name != nullptr) return pw->pw_name;
    const char* user = std::getenv("USER");
    return user ? user : "unknown";
}

std::string system_host_name() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) return {};
    return host;
}
