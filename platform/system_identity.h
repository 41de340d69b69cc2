// Who and where this program runs, as the logbook notes it with each run and
// remark. One implementation file per platform.
#pragma once

#include <string>

// The login name of the user, for remarks and runs.
std::string system_user_name();
// This machine's name ("" when it has none to give).
std::string system_host_name();
