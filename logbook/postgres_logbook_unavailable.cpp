// The build without the team server's store (Windows): a server's URL is
// refused with the reason, never taken for a file name.
#include "logbook_stores.h"

bool team_logbook_available() { return false; }

std::unique_ptr<Logbook> open_postgres_logbook(const std::string& url, std::string* why) {
    *why = url_without_password(url) + ": " + kNoTeamLogbook;
    return nullptr;
}
