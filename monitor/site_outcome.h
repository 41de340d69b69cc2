// What one survey of a site came to, as plain values: the monitor compares
// two of these and keeps the newer one for the next round. Nothing here
// points into a survey, so a store can keep it as it is.
#pragma once

#include "verdict.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

struct SiteSurvey;
struct SurveyedLuminaire;

struct LuminaireOutcome {
    std::uint8_t unit = 0;            // 0..63 line A, 64..127 line B
    std::string name, location;       // UTF-8, as the gateway names it
    Verdict verdict = Verdict::NotRead;
    // Read: the verdict's reasons. Not read: one reason, why not (its key
    // is empty), and what was last known of it below.
    std::vector<VerdictReason> reasons;
    // The verdict and reasons when it was last read: equal to the above
    // when it was read this time. A luminaire that falls silent and comes
    // back unchanged is no news; one never read has Verdict::NotRead here.
    Verdict knownVerdict = Verdict::NotRead;
    std::vector<VerdictReason> knownReasons;

    std::string address() const;      // "A5"
    bool read() const { return verdict != Verdict::NotRead; }
};

struct SiteOutcome {
    std::string site;                 // the name the mail uses: the site's, else the gateway's address
    // What the monitor keeps it under: the logbook's site (its uid), which
    // keeps its rounds when the site is renamed or its gateway moves; the
    // name above when there is no logbook.
    std::string key;
    std::string gateway;              // dotted address
    std::time_t surveyed = 0;
    bool reachable = false;           // a connection was made and the gateway listed its luminaires
    std::string unreachableReason;
    // The list of luminaires was read to its end: one missing from it is
    // gone from the gateway, not merely unread.
    bool listComplete = false;
    bool complete = false;            // the whole survey, as SiteSurvey::complete()
    std::string incompleteReason;
    std::vector<LuminaireOutcome> luminaires;   // in unit order

    const LuminaireOutcome* find(std::uint8_t unit) const;
    int count(Verdict verdict) const;
    // The luminaires that need attention (fault, overdue, not read), most
    // urgent first, in unit order within a verdict.
    std::vector<const LuminaireOutcome*> attention() const;
};

LuminaireOutcome luminaire_outcome(const SurveyedLuminaire& l);
// The outcome of a survey run on a connected gateway. A survey that got no
// luminaire list at all and read nothing counts as a gateway not reached.
SiteOutcome site_outcome(const SiteSurvey& survey, const std::string& site);
// A gateway the round could not connect to.
SiteOutcome unreachable_outcome(const std::string& site, const std::string& gateway, std::time_t when,
                                const std::string& reason);
