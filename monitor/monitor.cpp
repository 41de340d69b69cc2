#include "monitor.h"

#include "logbook.h"
#include "test_kill_point.h"

Monitor::Monitor(MonitorStore& store, MonitorPolicy policy) : store_(store), policy_(std::move(policy)) {}

Alert Monitor::new_alert(AlertKind kind, const SiteOutcome& outcome, std::time_t now) const {
    Alert a;
    a.uid = new_alert_uid();
    a.messageId = alert_message_id(a.uid, policy_.messageDomain);
    a.kind = kind;
    a.site = outcome.site;
    a.siteKey = outcome.key;
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
    SiteState kept;
    if (!store_.site_state(outcome.key, &kept)) {
        turn.error = "what the monitor kept of " + outcome.site + " could not be read: " + store_.error();
        return turn;
    }
    SiteComparison cmp = compare_outcomes(kept.outcome, outcome);
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
        const std::optional<std::time_t> mark = kept.digestMark;
        if (!mark) {
            round.digestMark = now;   // the digest's clock starts with the site's first round
        } else if (now - *mark >= digest_seconds(policy_.digest)) {
            const std::optional<std::vector<Alert>> setAside = store_.set_aside(outcome.key, *mark);
            if (!setAside) {
                turn.error = "the alerts set aside at " + outcome.site + " could not be read: " + store_.error();
                return turn;
            }
            Alert d = new_alert(AlertKind::Digest, cmp.baseline, now);
            d.period = digest_name(policy_.digest);
            for (const LuminaireOutcome* l : cmp.baseline.attention()) d.attention.push_back(*l);
            for (const Alert& a : *setAside) d.setAside.push_back({alert_subject(a), a.created, a.lastError});
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
    const std::optional<std::vector<Alert>> left = store_.unsent();
    if (!left) {
        r.error = "the waiting alerts could not be read: " + store_.error();
        return r;
    }
    r.waiting = static_cast<int>(left->size());
    if (!left->empty()) r.oldestWaiting = left->front().created;
    return r;
}

SendReport Monitor::send_waiting(MailSender& sender, const MailAddressing& addressing,
                                 const std::function<bool()>& stop, const std::function<std::time_t()>& now) {
    SendReport report;
    const std::optional<std::vector<Alert>> queue = store_.unsent();
    if (!queue) return waiting();
    for (const Alert& a : *queue) {
        if (stop && stop()) break;
        // Marked first: a kill after the server took it leaves the mark, and
        // the next send says it may be a copy.
        if (!store_.mark_sending(a.uid, now())) {
            report.error = "not sent, since the monitor cannot note its sending: " + store_.error();
            break;
        }
        const MailResult result = sender.send(alert_mail(a, addressing));
        if (result.accepted) {
            test_kill_point("mail-accepted");
            if (!store_.mark_sent(a.uid, now())) report.error = "sent, but not marked sent: " + store_.error();
            ++report.sent;
            continue;
        }
        report.error = result.error;
        bool setAside = false;
        const NotTaken how{now(), result.error, result.refusedForGood, result.mayHaveArrived, kRefusalsBeforeSetAside};
        if (!store_.mark_not_taken(a.uid, how, &setAside)) report.error += "; and not noted: " + store_.error();
        if (setAside) {
            Alert aside = a;
            aside.refusals += 1;
            aside.lastError = result.error;
            aside.setAsideAt = how.when;
            report.setAside.push_back(std::move(aside));
        }
        // Refused for good, this one alone is at fault: the next one goes.
        if (!result.refusedForGood) break;
    }
    const SendReport left = waiting();
    report.waiting = left.waiting;
    report.oldestWaiting = left.oldestWaiting;
    if (report.error.empty()) report.error = left.error;
    return report;
}

std::string new_alert_uid() { return new_run_uid(); }

std::string alert_message_id(const std::string& uid, const std::string& domain) {
    return "<" + uid + ".alert@" + (domain.empty() ? std::string("orvypc.localhost") : domain) + ">";
}
