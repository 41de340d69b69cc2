#include "site_survey.h"

#include "command_frame.h"
#include "export_clock.h"
#include "gateway_link.h"
#include "listed_records.h"
#include "listings.h"
#include "prompts.h"
#include "selection_state.h"
#include "status_query.h"
#include "trace.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>

namespace {

// Reply offsets the survey reads from the status record.
constexpr std::size_t kOffsetNextFunctionTest = 27;   // 16 bits, hours
constexpr std::size_t kOffsetNextDurationTest = 29;   // 16 bits, hours
constexpr std::size_t kOffsetBatteryCharge = 39;      // percent
constexpr int kPauseStepMs = 10;                      // a pause looks at `cancelled` this often

std::uint8_t status_byte(const SurveyedLuminaire& l, std::size_t offset) {
    return l.status[offset - kStatusDataFirst];
}

// While the survey runs, the queries' message boxes are kept here instead
// of being shown: a survey of a hundred luminaires must not stop for each
// refusal, and what the boxes say becomes the luminaire's reason. The
// status line still reaches the window.
class QuietPrompts final : public Prompts {
public:
    QuietPrompts() : outer_(&prompts()) { set_prompts(this); }
    ~QuietPrompts() override { set_prompts(outer_); }
    QuietPrompts(const QuietPrompts&) = delete;
    QuietPrompts& operator=(const QuietPrompts&) = delete;

    void message_box(const std::string& text) override {
        std::lock_guard lock(mutex_);
        last_ = text;
    }
    void set_status_line(const std::string& text) override { outer_->set_status_line(text); }

private:
    Prompts* outer_;
    std::mutex mutex_;
    std::string last_;
};

// A listing over the link, watched. A cancelled survey sends nothing more:
// the listing ends there as incomplete. In the test-results listing every
// accepted reply names a unit in the order the gateway sent them, and an
// entry-less reply (header only) names a luminaire that has no stored test
// yet, which the listing itself shows no row for.
class WatchedExchange final : public ListingExchange {
public:
    WatchedExchange(ListingExchange& inner, const std::function<bool()>& cancelled)
        : inner_(inner), cancelled_(cancelled) {}

    ExchangeOutcome exchange(const ListingRequest& request) override {
        if (cancelled_ && cancelled_()) return ExchangeOutcome::failed(ExchangeReason::Abandoned);
        const ExchangeOutcome result = inner_.exchange(request);
        if (result.ok()) note(reply(), reply_length());
        return result;
    }
    void begin_listing() override {
        order_.clear();
        entryLess_.clear();
        inner_.begin_listing();
    }
    const std::uint8_t* reply() const override { return inner_.reply(); }
    std::uint32_t reply_length() const override { return inner_.reply_length(); }

    const std::vector<std::uint8_t>& order() const { return order_; }
    bool entry_less(std::uint8_t unit) const {
        return std::find(entryLess_.begin(), entryLess_.end(), unit) != entryLess_.end();
    }

private:
    void note(const std::uint8_t* rx, std::uint32_t n) {
        if (!reply_command_ok(rx, kCmdTestResults) || rx[kEntryOffsetStatus] == kEntryStatusEnd) return;
        if (n < kEntryHeaderOnlyLength || !reply_sum_ok(rx, n)) return;
        const std::uint8_t unit = rx[kEntryOffsetUnit];
        if (std::find(order_.begin(), order_.end(), unit) == order_.end()) order_.push_back(unit);
        if (n == kEntryHeaderOnlyLength) entryLess_.push_back(unit);
    }

    ListingExchange& inner_;
    const std::function<bool()>& cancelled_;
    std::vector<std::uint8_t> order_;
    std::vector<std::uint8_t> entryLess_;
};

class Walk {
public:
    Walk(const SurveyOptions& options, SiteSurvey& survey) : o_(options), s_(survey) {}

    void list_luminaires();
    void read_all();

private:
    bool cancelled() const { return o_.cancelled && o_.cancelled(); }
    bool pause(int ms) const;
    void progress(int done) const {
        if (o_.progress) o_.progress(done, static_cast<int>(s_.luminaires.size()));
    }
    void read_status(SurveyedLuminaire& l);
    void read_history(SurveyedLuminaire& l);
    bool reconnect();

    const SurveyOptions& o_;
    SiteSurvey& s_;
    bool linkDown_ = false;   // a reopen failed: nothing more can be read
};

bool Walk::pause(int ms) const {
    for (int waited = 0; waited < ms; waited += kPauseStepMs) {
        if (cancelled()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kPauseStepMs, ms - waited)));
    }
    return !cancelled();
}

bool Walk::reconnect() {
    if (!linkDown_ && ReopenConnection()) return true;
    linkDown_ = true;
    return false;
}

void Walk::list_luminaires() {
    WatchedExchange watched(link_listing_exchange(), o_.cancelled);
    MemoryResultList list;
    ListedRecords listed(list);
    const ListingOutcome outcome =
        run_listing_with_retries([&] { QueryTestResults(watched, listed); }, o_.listingRetries);
    s_.listRecords = listed.records();
    s_.listComplete = outcome == ListingOutcome::Complete;
    if (cancelled()) s_.cancelled = true;
    if (!s_.listComplete) {
        s_.listReason = cancelled() ? "the survey was cancelled while listing the luminaires"
                                    : "the luminaire list is incomplete: " + last_listing_reason();
    }

    // Row i of the list belongs to cShortAddressArr[i]; entry-less units
    // have no row. Both are kept in the order the gateway sent them.
    const std::vector<RowTexts> rows = list.rows();
    for (const std::uint8_t unit : watched.order()) {
        SurveyedLuminaire l;
        l.unit = unit;
        for (int i = 0; i < iShortAddressCount && i < static_cast<int>(rows.size()); ++i) {
            if (cShortAddressArr[i] != unit) continue;
            l.latest = rows[static_cast<std::size_t>(i)];
            l.name = (*l.latest)[kColName];
            l.location = (*l.latest)[kColLocation];
        }
        // The last listing run's entry of the unit: that is the row's.
        for (auto r = s_.listRecords.rbegin(); l.latest && r != s_.listRecords.rend(); ++r) {
            if (r->unit != unit) continue;
            l.latestRecord = *r;
            break;
        }
        if (l.latest || watched.entry_less(unit)) s_.luminaires.push_back(std::move(l));
    }
}

void Walk::read_all() {
    progress(0);
    for (std::size_t i = 0; i < s_.luminaires.size(); ++i) {
        SurveyedLuminaire& l = s_.luminaires[i];
        if (cancelled()) {
            s_.cancelled = true;
            for (std::size_t j = i; j < s_.luminaires.size(); ++j) {
                s_.luminaires[j].state = ReadState::Cancelled;
                s_.luminaires[j].reason = "the survey was cancelled";
            }
            return;
        }
        read_status(l);
        if (l.state != ReadState::Cancelled && l.state != ReadState::LinkFailed) read_history(l);
        progress(static_cast<int>(i) + 1);
    }
}

// One luminaire's status: busy is asked again after a pause, a failed link
// is reopened and asked again; a missing unit is recorded at once.
void Walk::read_status(SurveyedLuminaire& l) {
    int busyLeft = o_.busyRetries;
    int linkLeft = o_.linkRetries;
    for (;;) {
        if (linkDown_) {
            l.state = ReadState::LinkFailed;
            l.reason = "the link to the gateway could not be reopened";
            return;
        }
        if (cancelled()) {
            l.state = ReadState::Cancelled;
            l.reason = "the survey was cancelled";
            return;
        }
        if (QueryStatus(l.unit)) {
            std::copy_n(g_link.ucRxBuf + kStatusDataFirst, kSurveyStatusBytes, l.status.begin());
            l.statusTime = std::time(nullptr);
            l.state = ReadState::Read;
            l.reason.clear();
            return;
        }
        const std::uint8_t* rx = g_link.ucRxBuf;
        const bool ownRefusal = last_status_outcome() == StatusOutcome::Refused &&
                                reply_command_ok(rx, kCmdStatus) && rx[kStatusOffsetUnit] == l.unit;
        if (ownRefusal && rx[kStatusOffsetResult] == kStatusResultMissing) {
            l.state = ReadState::Missing;
            l.reason = "the gateway says this luminaire does not exist";
            return;
        }
        if (ownRefusal && rx[kStatusOffsetResult] == kStatusResultBusy) {
            l.state = ReadState::Busy;
            l.reason = "the DALI line stayed busy (" + std::to_string(o_.busyRetries + 1) + " tries)";
            if (busyLeft-- <= 0) return;
            trace("survey: %s busy, asked again in %d ms\n", l.address().c_str(), o_.busyPauseMs);
            pause(o_.busyPauseMs);   // a cancellation during it is recorded at the top
            continue;
        }
        // No reply, a lost one, or one meant for another request: the link
        // is out of step, so it is reopened and the same luminaire asked again.
        l.state = ReadState::LinkFailed;
        l.reason = "no valid status reply, even on a reopened connection";
        if (linkLeft-- <= 0) return;
        trace("survey: %s no valid status reply, reopening the connection\n", l.address().c_str());
        reconnect();   // a failed reopen is recorded at the top
    }
}

void Walk::read_history(SurveyedLuminaire& l) {
    if (linkDown_ || cancelled()) {
        l.historyReason = cancelled() ? "the survey was cancelled" : "the link to the gateway could not be reopened";
        return;
    }
    WatchedExchange watched(link_listing_exchange(), o_.cancelled);
    MemoryResultList list;
    ListedRecords listed(list);
    const ListingOutcome outcome =
        run_listing_with_retries([&] { QueryDetails(watched, listed, l.unit); }, o_.listingRetries);
    l.history = list.rows();
    l.historyRecords = listed.records();
    l.historyComplete = outcome == ListingOutcome::Complete;
    if (!l.historyComplete) {
        l.historyReason = cancelled() ? "the survey was cancelled" : "its history is incomplete: " + last_listing_reason();
    }
}

}  // namespace

const char* read_state_text(ReadState state) {
    switch (state) {
    case ReadState::Read: return "read";
    case ReadState::Busy: return "busy";
    case ReadState::Missing: return "does not exist";
    case ReadState::LinkFailed: return "link failed";
    case ReadState::Cancelled: return "cancelled";
    }
    return "unknown";
}

std::string SurveyedLuminaire::address() const { return FormatUnitAddress(unit); }

std::uint8_t SurveyedLuminaire::failure_bits() const { return status_byte(*this, kStatusOffsetFailureStatus); }

std::uint8_t SurveyedLuminaire::emergency_status() const {
    return status_byte(*this, kStatusOffsetEmergencyStatus);
}

std::uint8_t SurveyedLuminaire::battery_charge() const { return status_byte(*this, kOffsetBatteryCharge); }

std::uint16_t SurveyedLuminaire::hours_to_function_test() const {
    return static_cast<std::uint16_t>(status_byte(*this, kOffsetNextFunctionTest) |
                                      status_byte(*this, kOffsetNextFunctionTest + 1) << 8);
}

std::uint16_t SurveyedLuminaire::hours_to_duration_test() const {
    return static_cast<std::uint16_t>(status_byte(*this, kOffsetNextDurationTest) |
                                      status_byte(*this, kOffsetNextDurationTest + 1) << 8);
}

bool SurveyedLuminaire::latest_failed() const { return latest && (*latest)[kColResult] == "FAIL"; }

TestIntervals SurveyedLuminaire::intervals() const {
    return {status_byte(*this, kStatusOffsetFunctionTestInterval), status_byte(*this, kStatusOffsetDurationTestInterval)};
}

Verdict SurveyedLuminaire::verdict() const {
    return status_read() ? judge_luminaire(failure_bits(), latest_failed(), overdue) : Verdict::NotRead;
}

std::string SurveyedLuminaire::why() const {
    return status_read() ? failure_words(failure_bits(), latest_failed(), overdue) : reason;
}

std::vector<VerdictReason> SurveyedLuminaire::reasons() const {
    if (!status_read()) return {};
    return failure_reasons(failure_bits(), latest_failed(), overdue);
}

std::vector<StatusItem> SurveyedLuminaire::status_items() const {
    if (!status_read()) return {};
    std::vector<std::uint8_t> reply(kRxBufSize, 0);
    reply[kStatusOffsetUnit] = unit;
    std::copy(status.begin(), status.end(), reply.begin() + kStatusDataFirst);
    return ::status_items(reply.data());
}

int SiteSurvey::count(Verdict verdict) const {
    return static_cast<int>(std::count_if(luminaires.begin(), luminaires.end(),
                                          [&](const SurveyedLuminaire& l) { return l.verdict() == verdict; }));
}

int SiteSurvey::not_read() const { return count(Verdict::NotRead); }

int SiteSurvey::histories_incomplete() const {
    return static_cast<int>(std::count_if(luminaires.begin(), luminaires.end(), [](const SurveyedLuminaire& l) {
        return l.state != ReadState::LinkFailed && l.state != ReadState::Cancelled && !l.historyComplete;
    }));
}

bool SiteSurvey::complete() const { return listComplete && !cancelled && not_read() == 0 && histories_incomplete() == 0; }

std::string SiteSurvey::incomplete_reason() const {
    std::vector<std::string> parts;
    if (!listComplete) parts.push_back(listReason);
    if (const int n = not_read(); n > 0) {
        std::string words;
        for (const ReadState state : {ReadState::Busy, ReadState::Missing, ReadState::LinkFailed, ReadState::Cancelled}) {
            const auto k = std::count_if(luminaires.begin(), luminaires.end(),
                                         [&](const SurveyedLuminaire& l) { return l.state == state; });
            if (k == 0) continue;
            words += (words.empty() ? "" : ", ") + std::to_string(k) + " " + read_state_text(state);
        }
        parts.push_back(std::to_string(n) + " of " + std::to_string(luminaires.size()) + " luminaires not read (" +
                        words + ")");
    }
    if (const int n = histories_incomplete(); n > 0)
        parts.push_back(std::to_string(n) + " histories incomplete");
    if (cancelled) parts.push_back("the survey was cancelled");
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : "; ") + p;
    return out;
}

SiteSurvey run_site_survey(const SurveyOptions& options) {
    QuietPrompts quiet;
    SiteSurvey survey;
    survey.gateway = g_link.pucDestIpBuf;
    survey.started = std::time(nullptr);
    Walk walk(options, survey);
    walk.list_luminaires();
    walk.read_all();
    trace("survey: %zu luminaires, %d not read\n", survey.luminaires.size(), survey.not_read());
    return survey;
}

namespace {

// "YYYY-MM-DD HH:MM:SS", as the logbook writes a test time: such texts sort
// as their times do.
std::string test_time_text(const TestResultRecord& r) {
    char out[32];
    std::snprintf(out, sizeof out, "%04u-%02u-%02u %02u:%02u:%02u", r.year, r.month, r.day, r.hour, r.minute, r.second);
    return out;
}

void note_test(LastTests& last, const TestResultRecord& r) {
    std::string& newest = r.testType == kTestTypeDuration ? last.durationTest : last.functionTest;
    newest = std::max(newest, test_time_text(r));
}

// The survey's date on this machine's clock, which the gateway's test
// times are taken to share.
std::string local_date_text(std::time_t when) {
    const std::tm t = export_local_time(when);
    char out[16];
    std::strftime(out, sizeof out, "%Y-%m-%d", &t);
    return out;
}

}  // namespace

LastTests last_tests(const SurveyedLuminaire& l) {
    LastTests last;
    if (l.logged) {
        for (const LoggedLine& line : *l.logged) {
            if (line.entry) note_test(last, *line.entry);
        }
    }
    for (const TestResultRecord& r : l.historyRecords) note_test(last, r);
    if (l.latestRecord) note_test(last, *l.latestRecord);
    return last;
}

void use_logbook_history(SiteSurvey& survey, const std::map<std::uint8_t, std::vector<LoggedLine>>& histories) {
    const std::string today = local_date_text(survey.started);
    for (SurveyedLuminaire& l : survey.luminaires) {
        const auto found = histories.find(l.unit);
        l.logged = found == histories.end() ? std::vector<LoggedLine>{} : found->second;
        l.overdue = l.status_read() ? overdue_by_history(l.intervals(), last_tests(l), today) : HistoryOverdue{};
    }
}

VerdictCounts count_verdicts(const SiteSurvey& survey) {
    VerdictCounts counts;
    for (const SurveyedLuminaire& l : survey.luminaires) {
        const auto v = static_cast<std::size_t>(l.verdict());
        ++(l.unit < 64 ? counts.lineA : counts.lineB)[v];
        ++counts.site[v];
    }
    return counts;
}

std::vector<const SurveyedLuminaire*> attention_list(const SiteSurvey& survey) {
    std::vector<const SurveyedLuminaire*> out;
    for (const SurveyedLuminaire& l : survey.luminaires) {
        if (verdict_style(l.verdict()).rank > 0) out.push_back(&l);
    }
    std::stable_sort(out.begin(), out.end(), [](const SurveyedLuminaire* a, const SurveyedLuminaire* b) {
        return verdict_style(a->verdict()).rank < verdict_style(b->verdict()).rank;
    });
    return out;
}
