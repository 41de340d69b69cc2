// The command line of a build without the logbook (the Windows build, for
// now): the logbook's commands say that there is none, and listings are
// not recorded.
#include "cli_logbook.h"

namespace {
constexpr const char* kNoLogbook = "this build of orvypc has no logbook (it needs SQLite, which it was built without)";
}  // namespace

std::string check_history(const CliOptions& o) { return check_one_address(o); }

int run_history(Session& s) { return s.failed_always(kExitLogbook, kNoLogbook); }

std::string check_logbook(const CliOptions&) { return {}; }

int run_logbook(Session& s) { return s.failed_always(kExitLogbook, kNoLogbook); }

void record_listing(Session&, const char*, const ListedRecords&, std::optional<std::uint8_t>) {}

void record_survey(Session&, SiteSurvey&) {}
