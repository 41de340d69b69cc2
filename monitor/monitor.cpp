#include "monitor.h"

#include "logbook.h"

Monitor::Monitor(MonitorStore& store, MonitorPolicy policy) : store_(store), policy_(std::move(policy)) {}

Alert Monitor::new_alert(AlertKind kind, const SiteOutcome& outcome, std::time_t now) const {
    Alert a;
    a.uid = new_alert_uid();
    a.messageId = alert_message_id(a.uid, policy_.messageDomain);
    a.kind = kind;
    a.site = outcome.site;
    a.gateway = outcome.gateway;
    a.created = now;
    a.surveyed = outcome.surveyed;
    a.reachable = outcome.reachable;
    for (const Verdict v : {Verdict::Ok, Verdict::Overdue, Verdict::Fault, Verdict::NotRead})
        a.counts[static_cast<std::size_t>(v)] = outcome.count(v);
    return a;
}

SiteTurn Monitor::take_site(const SiteOutcome& outcome, std::time_t now, const WorkbookMaker& workbook,
                            const std::string& surveyRunUid) {
    SiteTurn turn;
    turn.outcome = outcome;
    SiteComparison cmp = compare_outcomes(store_.previous(outcome.site), outcome);
    turn.changes = cmp.changes;
    turn.firstRound = cmp.firstRound;

    SiteRound round;
    round.surveyRunUid = surveyRunUid;
    if (!cmp.changes.empty()) {
        Alert a = new_alert(AlertKind::Changes, cmp.baseline, now);
        a.firstRound = cmp.firstRound;
        a.changes = cmp.changes;
        round.alerts.push_back(std::move(a));
    }
    if (policy_.digest != DigestPeriod::None) {
        const std::optional<std::time_t> mark = store_.digest_mark(outcome.site);
        if (!mark) {
            round.digestMark = now;   // the digest's clock starts with the site's first round
        } else if (now - *mark >= digest_seconds(policy_.digest)) {
            Alert d = new_alert(AlertKind::Digest, cmp.baseline, now);
            d.period = digest_name(policy_.digest);
            for (const LuminaireOutcome* l : cmp.baseline.attention()) d.attention.push_back(*l);
            round.alerts.push_back(std::move(d));
            round.digestMark = now;
        }
    }
    if (policy_.attach && outcome.reachable && !round.alerts.empty() && workbook) {
        if (const std::optional<MailAttachment> book = workbook())
            for (Alert& a : round.alerts) a.workbook = book;
    }
    round.outcome = std::move(cmp.baseline);
    turn.alertsQueued = static_cast<int>(round.alerts.size());
    turn.committed = store_.commit(round);
    if (!turn.committed) {
        turn.error = store_.error();
        turn.alertsQueued = 0;
    }
    return turn;
}

SendReport Monitor::waiting() {
    SendReport r;
    const std::vector<Alert> left = store_.unsent();
    r.waiting = static_cast<int>(left.size());
    if (!left.empty()) r.oldestWaiting = left.front().created;
    return r;
}

SendReport Monitor::send_waiting(MailSender& sender, const MailAddressing& addressing,
                                 const std::function<bool()>& stop, const std::function<std::time_t()>& now) {
    SendReport report;
    for (const Alert& a : store_.unsent()) {
        if (stop && stop()) break;
        const MailResult result = sender.send(alert_mail(a, addressing));
        if (!result.accepted) {
            report.error = result.error;
            break;
        }
        if (!store_.mark_sent(a.uid, now())) report.error = "sent, but not marked sent: " + store_.error();
        ++report.sent;
    }
    const SendReport left = waiting();
    report.waiting = left.waiting;
    report.oldestWaiting = left.oldestWaiting;
    return report;
}

std::string new_alert_uid() { return new_run_uid(); }

std::string alert_message_id(const std::string& uid, const std::string& domain) {
    return "<" + uid + ".alert@" + (domain.empty() ? std::string("orvypc.localhost") : domain) + ">";
}
