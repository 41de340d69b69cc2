#include "site_outcome.h"

#include "test_result_record.h"
#include "site_survey.h"

#include <algorithm>

std::string LuminaireOutcome::address() const { return FormatUnitAddress(unit); }

const LuminaireOutcome* SiteOutcome::find(std::uint8_t unit) const {
    const auto it = std::lower_bound(luminaires.begin(), luminaires.end(), unit,
                                     [](const LuminaireOutcome& l, std::uint8_t u) { return l.unit < u; });
    return it != luminaires.end() && it->unit == unit ? &*it : nullptr;
}

int SiteOutcome::count(Verdict verdict) const {
    return static_cast<int>(std::count_if(luminaires.begin(), luminaires.end(),
                                          [&](const LuminaireOutcome& l) { return l.verdict == verdict; }));
}

std::vector<const LuminaireOutcome*> SiteOutcome::attention() const {
    std::vector<const LuminaireOutcome*> out;
    for (const LuminaireOutcome& l : luminaires)
        if (l.verdict != Verdict::Ok) out.push_back(&l);
    std::stable_sort(out.begin(), out.end(), [](const LuminaireOutcome* a, const LuminaireOutcome* b) {
        return verdict_style(a->verdict).rank < verdict_style(b->verdict).rank;
    });
    return out;
}

LuminaireOutcome luminaire_outcome(const SurveyedLuminaire& l) {
    LuminaireOutcome out;
    out.unit = l.unit;
    out.name = l.name;
    out.location = l.location;
    out.verdict = l.verdict();
    if (l.status_read()) {
        out.reasons = l.reasons();
        out.knownVerdict = out.verdict;
        out.knownReasons = out.reasons;
    } else {
        out.reasons = {{Verdict::NotRead, "", l.reason}};
    }
    return out;
}

SiteOutcome site_outcome(const SiteSurvey& survey, const std::string& site) {
    SiteOutcome out;
    out.site = out.key = site;
    out.gateway = survey.gateway;
    out.surveyed = survey.started;
    out.listComplete = survey.listComplete;
    out.complete = survey.complete();
    out.incompleteReason = survey.incomplete_reason();
    for (const SurveyedLuminaire& l : survey.luminaires) out.luminaires.push_back(luminaire_outcome(l));
    std::stable_sort(out.luminaires.begin(), out.luminaires.end(),
                     [](const LuminaireOutcome& a, const LuminaireOutcome& b) { return a.unit < b.unit; });
    // Nothing listed, or nothing read because the link itself failed: that
    // is the gateway out of reach, not every luminaire falling silent.
    const bool noneRead = std::none_of(survey.luminaires.begin(), survey.luminaires.end(),
                                       [](const SurveyedLuminaire& l) { return l.status_read(); });
    const bool linkLost = std::all_of(survey.luminaires.begin(), survey.luminaires.end(),
                                      [](const SurveyedLuminaire& l) { return l.state == ReadState::LinkFailed; });
    if (!survey.listComplete && survey.luminaires.empty()) {
        out.unreachableReason = survey.listReason.empty() ? "no luminaire list from the gateway" : survey.listReason;
    } else if (!survey.luminaires.empty() && noneRead && linkLost) {
        out.unreachableReason = "the link to the gateway failed: " + survey.luminaires.front().reason;
    } else {
        out.reachable = true;
    }
    return out;
}

SiteOutcome unreachable_outcome(const std::string& site, const std::string& gateway, std::time_t when,
                                const std::string& reason) {
    SiteOutcome out;
    out.site = out.key = site;
    out.gateway = gateway;
    out.surveyed = when;
    out.unreachableReason = reason;
    out.incompleteReason = reason;
    return out;
}
