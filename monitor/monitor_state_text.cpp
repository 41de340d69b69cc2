#include "monitor_state_text.h"

#include <nlohmann/json.hpp>

#include <array>

namespace {

using Json = nlohmann::json;

std::string str(const Json& j, const char* key);

// The verdicts by name: the enum's numbers are no file format.
constexpr std::array<std::pair<Verdict, const char*>, 4> kVerdictNames = {{
    {Verdict::Ok, "ok"}, {Verdict::Overdue, "overdue"}, {Verdict::Fault, "fault"}, {Verdict::NotRead, "not_read"}}};
constexpr std::array<std::pair<ChangeKind, const char*>, 7> kChangeNames = {{
    {ChangeKind::NewFault, "new_fault"},
    {ChangeKind::NewOverdue, "new_overdue"},
    {ChangeKind::StoppedAnswering, "stopped_answering"},
    {ChangeKind::GatewayUnreachable, "gateway_unreachable"},
    {ChangeKind::Recovered, "recovered"},
    {ChangeKind::AnswersAgain, "answers_again"},
    {ChangeKind::GatewayBack, "gateway_back"},
}};

template <typename E, std::size_t N>
const char* name_of(const std::array<std::pair<E, const char*>, N>& names, E value) {
    for (const auto& [v, n] : names)
        if (v == value) return n;
    return "";
}

// The value named, or a throw that the reader turns into "not ours".
template <typename E, std::size_t N>
E value_of(const std::array<std::pair<E, const char*>, N>& names, const Json& name) {
    for (const auto& [v, n] : names)
        if (name.get<std::string>() == n) return v;
    throw std::invalid_argument("unknown name");
}

Json reasons_json(const std::vector<VerdictReason>& reasons) {
    Json out = Json::array();
    for (const VerdictReason& r : reasons)
        out.push_back({{"verdict", name_of(kVerdictNames, r.verdict)}, {"key", r.key}, {"words", r.words}});
    return out;
}

std::vector<VerdictReason> reasons_of(const Json& j) {
    std::vector<VerdictReason> out;
    for (const Json& r : j) out.push_back({value_of(kVerdictNames, r.at("verdict")), str(r, "key"), str(r, "words")});
    return out;
}

Json luminaire_json(const LuminaireOutcome& l) {
    return {{"unit", l.unit},
            {"name", l.name},
            {"location", l.location},
            {"verdict", name_of(kVerdictNames, l.verdict)},
            {"reasons", reasons_json(l.reasons)},
            {"known_verdict", name_of(kVerdictNames, l.knownVerdict)},
            {"known_reasons", reasons_json(l.knownReasons)}};
}

LuminaireOutcome luminaire_of(const Json& j) {
    LuminaireOutcome l;
    l.unit = j.at("unit").get<std::uint8_t>();
    l.name = str(j, "name");
    l.location = str(j, "location");
    l.verdict = value_of(kVerdictNames, j.at("verdict"));
    l.reasons = reasons_of(j.at("reasons"));
    l.knownVerdict = value_of(kVerdictNames, j.at("known_verdict"));
    l.knownReasons = reasons_of(j.at("known_reasons"));
    return l;
}

Json change_json(const SiteChange& c) {
    Json fresh = Json::array();
    for (const bool f : c.fresh) fresh.push_back(f);
    return {{"kind", name_of(kChangeNames, c.kind)}, {"unit", c.unit},
            {"name", c.name},                        {"location", c.location},
            {"verdict", name_of(kVerdictNames, c.verdict)}, {"reasons", reasons_json(c.reasons)},
            {"fresh", fresh},                        {"still", reasons_json(c.still)}};
}

SiteChange change_of(const Json& j) {
    SiteChange c;
    c.kind = value_of(kChangeNames, j.at("kind"));
    c.unit = j.at("unit").get<std::uint8_t>();
    c.name = str(j, "name");
    c.location = str(j, "location");
    c.verdict = value_of(kVerdictNames, j.at("verdict"));
    c.reasons = reasons_of(j.at("reasons"));
    for (const Json& f : j.at("fresh")) c.fresh.push_back(f.get<bool>());
    c.still = reasons_of(j.at("still"));
    return c;
}

std::string str(const Json& j, const char* key) { return j.at(key).get<std::string>(); }

// Text from a gateway may be anything: written with U+FFFD, never a throw.
std::string dumped(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

template <typename T, typename Read>
std::optional<T> parsed(const std::string& text, Read&& read) {
    const Json j = Json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object()) return std::nullopt;
    try {
        return read(j);
    } catch (const std::exception&) {   // a field missing or of another type
        return std::nullopt;
    }
}

}  // namespace

const char* alert_kind_text(AlertKind kind) { return kind == AlertKind::Digest ? "digest" : "changes"; }

std::string outcome_text(const SiteOutcome& o) {
    Json lums = Json::array();
    for (const LuminaireOutcome& l : o.luminaires) lums.push_back(luminaire_json(l));
    return dumped({{"site", o.site},
                   {"gateway", o.gateway},
                   {"surveyed", o.surveyed},
                   {"reachable", o.reachable},
                   {"unreachable_reason", o.unreachableReason},
                   {"list_complete", o.listComplete},
                   {"complete", o.complete},
                   {"incomplete_reason", o.incompleteReason},
                   {"luminaires", lums}});
}

std::optional<SiteOutcome> outcome_from_text(const std::string& text) {
    return parsed<SiteOutcome>(text, [](const Json& j) {
        SiteOutcome o;
        o.site = str(j, "site");
        o.gateway = str(j, "gateway");
        o.surveyed = j.at("surveyed").get<std::time_t>();
        o.reachable = j.at("reachable").get<bool>();
        o.unreachableReason = str(j, "unreachable_reason");
        o.listComplete = j.at("list_complete").get<bool>();
        o.complete = j.at("complete").get<bool>();
        o.incompleteReason = str(j, "incomplete_reason");
        for (const Json& l : j.at("luminaires")) o.luminaires.push_back(luminaire_of(l));
        return o;
    });
}

std::string alert_text(const Alert& a) {
    Json changes = Json::array(), attention = Json::array(), setAside = Json::array();
    for (const SiteChange& c : a.changes) changes.push_back(change_json(c));
    for (const LuminaireOutcome& l : a.attention) attention.push_back(luminaire_json(l));
    for (const Alert::SetAside& s : a.setAside)
        setAside.push_back({{"subject", s.subject}, {"created", s.created}, {"why", s.why}});
    Json j = {{"uid", a.uid},
              {"message_id", a.messageId},
              {"kind", alert_kind_text(a.kind)},
              {"site", a.site},
              {"gateway", a.gateway},
              {"created", a.created},
              {"surveyed", a.surveyed},
              {"first_round", a.firstRound},
              {"changes", changes},
              {"period", a.period},
              {"reachable", a.reachable},
              {"counts", a.counts},
              {"attention", attention},
              {"set_aside", setAside}};
    if (a.workbook) j["workbook"] = {{"file_name", a.workbook->fileName}, {"content_type", a.workbook->contentType}};
    return dumped(j);
}

std::optional<Alert> alert_from_text(const std::string& text) {
    return parsed<Alert>(text, [](const Json& j) {
        Alert a;
        a.uid = str(j, "uid");
        a.messageId = str(j, "message_id");
        const std::string kind = str(j, "kind");
        if (kind != "changes" && kind != "digest") throw std::invalid_argument("unknown kind");
        a.kind = kind == "digest" ? AlertKind::Digest : AlertKind::Changes;
        a.site = str(j, "site");
        a.gateway = str(j, "gateway");
        a.created = j.at("created").get<std::time_t>();
        a.surveyed = j.at("surveyed").get<std::time_t>();
        a.firstRound = j.at("first_round").get<bool>();
        for (const Json& c : j.at("changes")) a.changes.push_back(change_of(c));
        a.period = str(j, "period");
        a.reachable = j.at("reachable").get<bool>();
        a.counts = j.at("counts").get<std::array<int, 4>>();
        for (const Json& l : j.at("attention")) a.attention.push_back(luminaire_of(l));
        for (const Json& s : j.at("set_aside")) a.setAside.push_back({str(s, "subject"), s.at("created").get<std::time_t>(), str(s, "why")});
        if (j.contains("workbook"))
            a.workbook = MailAttachment{str(j["workbook"], "file_name"), str(j["workbook"], "content_type"), {}};
        return a;
    });
}
