// How the monitor writes a site's outcome and an alert for a store that
// outlives it (the logbook), and reads them back: JSON text, every field
// by name, so what a round kept reads the same after a restart, a newer
// program can read an older one's, and a person can read it in the logbook.
// Read back is exactly what was written (the tests check the round trip);
// text that is no UTF-8 is written with U+FFFD in its place.
#pragma once

#include "alert.h"
#include "site_outcome.h"

#include <optional>
#include <string>

std::string outcome_text(const SiteOutcome& outcome);
// None when the text is not an outcome this program wrote.
std::optional<SiteOutcome> outcome_from_text(const std::string& text);

// What the alert says (everything but its workbook's bytes, which a store
// keeps apart, and how it stands in the store).
std::string alert_text(const Alert& alert);
std::optional<Alert> alert_from_text(const std::string& text);

// "changes" or "digest", as a store's kind column holds it.
const char* alert_kind_text(AlertKind kind);
