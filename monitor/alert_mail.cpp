#include "alert_mail.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

constexpr const char* kWorkbookAttached = "The survey workbook is attached.";
// At the top of an alert sent again after the monitor stopped between the
// mail server's acceptance and its note of it: the same message, perhaps
// delivered before.
constexpr const char* kMaybeCopy =
    "This message may be a second copy: the monitor stopped before it could note that the mail server had taken "
    "the first. It is the same message (the same Message-ID and date).";

std::string plural(int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string join(const std::vector<std::string>& parts, const char* sep) {
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : sep) + p;
    return out;
}

std::string site_words(const Alert& a) {
    return a.site == a.gateway ? "gateway " + a.gateway : a.site + " (gateway " + a.gateway + ")";
}

std::string counts_words(const Alert& a) {
    const auto n = [&](Verdict v) { return a.counts[static_cast<std::size_t>(v)]; };
    const int total = n(Verdict::Ok) + n(Verdict::Overdue) + n(Verdict::Fault) + n(Verdict::NotRead);
    std::string out = plural(total, "luminaire", "luminaires") + ":";
    const char* sep = " ";
    for (const Verdict v : {Verdict::Ok, Verdict::Overdue, Verdict::Fault, Verdict::NotRead}) {
        out += sep + std::to_string(n(v)) + " " + verdict_style(v).text;
        sep = ", ";
    }
    return out;
}

std::string reasons_words(const std::vector<VerdictReason>& reasons, const std::vector<bool>& fresh = {}) {
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < reasons.size(); ++i)
        parts.push_back(reasons[i].words + (i < fresh.size() && fresh[i] ? " (new)" : ""));
    return join(parts, "; ");
}

// What changed for one luminaire. In the first round every reason is new:
// none is marked so.
std::string change_reasons(const SiteChange& c, bool firstRound) {
    if (c.kind == ChangeKind::Recovered) {
        std::string out = "no longer: " + reasons_words(c.reasons);
        if (!c.still.empty()) out += "; still: " + reasons_words(c.still);
        return out;
    }
    if (c.kind == ChangeKind::GatewayBack) return "answers again";
    return reasons_words(c.reasons, firstRound ? std::vector<bool>() : c.fresh);
}

std::string luminaire_words(const std::string& address, const std::string& name, const std::string& location) {
    std::string out = address;
    if (!name.empty() || !location.empty()) out += "  " + join({name, location}, ", ");
    return out;
}

std::string colour(Verdict v) {
    char out[16];
    std::snprintf(out, sizeof out, "#%06X", verdict_style(v).rgb & 0xFFFFFFU);
    return out;
}

// One row of the HTML table.
struct Row {
    std::string address, name, location, change;
    Verdict verdict;
    std::string reasons;
};

std::string html_table(const std::vector<Row>& rows, bool withChange) {
    std::string out = "<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\" style=\"border-collapse:collapse\">\n<tr>"
                      "<th>Luminaire</th><th>Name</th><th>Location</th>";
    if (withChange) out += "<th>Change</th>";
    out += "<th>Verdict</th><th>Reasons</th></tr>\n";
    for (const Row& r : rows) {
        out += "<tr><td>" + html_escape(r.address) + "</td><td>" + html_escape(r.name) + "</td><td>" +
               html_escape(r.location) + "</td>";
        if (withChange) out += "<td>" + html_escape(r.change) + "</td>";
        out += "<td style=\"background-color:" + colour(r.verdict) + "\">" + verdict_style(r.verdict).text +
               "</td><td>" + html_escape(r.reasons) + "</td></tr>\n";
    }
    return out + "</table>\n";
}

std::string html_page(const std::string& title, const std::vector<std::string>& before, const std::string& table,
                      const std::vector<std::string>& after) {
    std::string out = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + html_escape(title) +
                      "</title></head>\n<body style=\"font-family:sans-serif\">\n";
    for (const std::string& p : before) out += "<p>" + html_escape(p) + "</p>\n";
    out += table;
    for (const std::string& p : after) out += "<p>" + html_escape(p) + "</p>\n";
    return out + "</body></html>\n";
}

std::string footer(const MailAddressing& to) {
    return "Sent by orvypc monitor" + (to.host.empty() ? std::string() : " on " + to.host) + ".";
}

MailMessage envelope(const Alert& a, const MailAddressing& to) {
    MailMessage m;
    m.from = to.from;
    m.to = to.to;
    m.subject = alert_subject(a);
    m.date = a.created;
    m.messageId = a.messageId;
    if (a.workbook) m.attachments.push_back(*a.workbook);
    return m;
}

MailMessage changes_mail(const Alert& a, const MailAddressing& to) {
    MailMessage m = envelope(a, to);
    std::vector<std::string> intro{"What changed at " + site_words(a) + " since the monitor's last round, from the survey of " +
                                   local_time_text(a.surveyed) + "."};
    if (a.maybeCopy) intro.insert(intro.begin(), kMaybeCopy);
    if (a.firstRound)
        intro.push_back("This is the monitor's first survey of this site: every luminaire that needs attention is listed.");
    std::vector<std::string> after{"The site now: " + counts_words(a) + "."};
    if (!a.reachable) after.back() = "The site as last read: " + counts_words(a) + ".";
    if (a.workbook) after.push_back(kWorkbookAttached);

    std::string text = join(intro, "\n") + "\n\n";
    std::vector<Row> rows;
    const char* heading = nullptr;
    for (const SiteChange& c : a.changes) {
        if (heading != change_kind_text(c.kind)) {
            heading = change_kind_text(c.kind);
            text += std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(heading[0])))) +
                    (heading + 1) + ":\n";
        }
        const std::string who = c.about_gateway() ? "gateway " + a.gateway : luminaire_words(c.address(), c.name, c.location);
        text += "  " + who + ": " + change_reasons(c, a.firstRound) + "\n";
        rows.push_back({c.about_gateway() ? "gateway " + a.gateway : c.address(), c.name, c.location, heading,
                        c.about_gateway() ? (c.kind == ChangeKind::GatewayBack ? Verdict::Ok : Verdict::NotRead)
                                          : c.verdict,
                        change_reasons(c, a.firstRound)});
    }
    text += "\n" + join(after, "\n") + "\n\n-- \n" + footer(to) + "\n";
    m.text = text;
    after.push_back(footer(to));
    m.html = html_page(m.subject, intro, html_table(rows, true), after);
    return m;
}

MailMessage digest_mail(const Alert& a, const MailAddressing& to) {
    MailMessage m = envelope(a, to);
    std::vector<std::string> intro{"The " + a.period + " digest of " + site_words(a) + ", from the survey of " +
                                   local_time_text(a.surveyed) + "."};
    if (a.maybeCopy) intro.insert(intro.begin(), kMaybeCopy);
    if (!a.reachable) intro.push_back("The gateway could not be reached at that survey: this is the site as last read.");
    intro.push_back(a.attention.empty() ? "Nothing needs attention."
                                        : plural(static_cast<int>(a.attention.size()), "luminaire needs", "luminaires need") +
                                              " attention:");
    std::vector<std::string> after{"The site: " + counts_words(a) + "."};
    if (!a.setAside.empty()) {
        after.push_back(plural(static_cast<int>(a.setAside.size()), "alert", "alerts") +
                        " the mail server refused, set aside since the last digest:");
        for (const Alert::SetAside& s : a.setAside)
            after.push_back("  " + local_time_text(s.created) + " \"" + s.subject + "\": " + s.why);
    }
    if (a.workbook) after.push_back(kWorkbookAttached);
    std::string text = join(intro, "\n") + "\n";
    std::vector<Row> rows;
    for (const LuminaireOutcome& l : a.attention) {
        const std::string why = reasons_words(l.reasons);
        text += "  " + luminaire_words(l.address(), l.name, l.location) + ": " + verdict_style(l.verdict).text +
                (why.empty() ? "" : ": " + why) + "\n";
        rows.push_back({l.address(), l.name, l.location, "", l.verdict, why});
    }
    text += "\n" + join(after, "\n") + "\n\n-- \n" + footer(to) + "\n";
    m.text = text;
    after.push_back(footer(to));
    m.html = html_page(m.subject, intro, a.attention.empty() ? std::string() : html_table(rows, false), after);
    return m;
}

}  // namespace

std::string local_time_text(std::time_t when, const char* format) {
    std::tm t{};
    localtime_r(&when, &t);
    char out[40];
    std::strftime(out, sizeof out, format, &t);
    return out;
}

std::string alert_subject(const Alert& a) {
    if (a.kind == AlertKind::Digest) {
        const int n = static_cast<int>(a.attention.size());
        return "OrvyPc: " + a.period + " digest for " + a.site + ": " +
               (n == 0 ? std::string("nothing needs attention") : plural(n, "luminaire needs", "luminaires need") + " attention");
    }
    std::vector<std::string> parts;
    const auto count = [&](ChangeKind kind) {
        return static_cast<int>(std::count_if(a.changes.begin(), a.changes.end(),
                                              [&](const SiteChange& c) { return c.kind == kind; }));
    };
    if (const int n = count(ChangeKind::NewFault)) parts.push_back(plural(n, "new fault", "new faults"));
    if (const int n = count(ChangeKind::NewOverdue)) parts.push_back(std::to_string(n) + " newly overdue");
    if (const int n = count(ChangeKind::StoppedAnswering)) parts.push_back(std::to_string(n) + " stopped answering");
    if (count(ChangeKind::GatewayUnreachable)) parts.push_back("gateway unreachable");
    if (const int n = count(ChangeKind::Recovered)) parts.push_back(std::to_string(n) + " recovered");
    if (const int n = count(ChangeKind::AnswersAgain)) parts.push_back(std::to_string(n) + " answering again");
    if (count(ChangeKind::GatewayBack)) parts.push_back("gateway back");
    return "OrvyPc: " + join(parts, ", ") + " at " + a.site;
}

MailMessage alert_mail(const Alert& alert, const MailAddressing& addressing) {
    return alert.kind == AlertKind::Digest ? digest_mail(alert, addressing) : changes_mail(alert, addressing);
}

MailMessage test_mail(const MailAddressing& addressing, const std::string& server, std::time_t now,
                      const std::string& messageId) {
    MailMessage m;
    m.from = addressing.from;
    m.to = addressing.to;
    m.subject = "OrvyPc: test message";
    m.date = now;
    m.messageId = messageId;
    m.text = "This message shows that orvypc monitor can send its alerts through " + server + " to " +
             join(addressing.to, ", ") + ".\n\n-- \n" + footer(addressing) + "\n";
    return m;
}
