#include "report_content.h"

#include "status_record.h"
#include "test_result_record.h"
#include "verdict.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <set>

namespace {

using std::chrono::days;
using std::chrono::months;
using std::chrono::sys_days;
using std::chrono::year_month;
using std::chrono::year_month_day;

// The status reply's rated duration (minutes); the snapshot holds the
// reply's data bytes from kStatusDataFirst on.
constexpr std::size_t kStatusOffsetRatedDuration = 47;
// Without the gear's own intervals the tests fall due by the calendar.
constexpr int kFunctionTestMonths = 1;
constexpr int kDurationTestMonths = 12;
constexpr std::uint8_t kTypeDuration = 1;
constexpr std::uint8_t kResultPassed = 1, kResultFailed = 0xFF;
constexpr std::uint8_t kNoMinutes = 0xFF;

bool digits(const std::string& s, std::size_t at, std::size_t n) {
    for (std::size_t i = at; i < at + n; ++i) {
        if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
    }
    return true;
}

// The day of "YYYY-MM-DD..." when it is a real one.
std::optional<year_month_day> day_of(const std::string& text) {
    if (!digits(text, 0, 4) || text.size() < 10 || text[4] != '-' || !digits(text, 5, 2) || text[7] != '-' ||
        !digits(text, 8, 2))
        return std::nullopt;
    const year_month_day d{std::chrono::year{std::stoi(text.substr(0, 4))},
                           std::chrono::month{static_cast<unsigned>(std::stoi(text.substr(5, 2)))},
                           std::chrono::day{static_cast<unsigned>(std::stoi(text.substr(8, 2)))}};
    if (!d.ok()) return std::nullopt;
    return d;
}

std::string two(unsigned n) { return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10); }

std::string text_of(const year_month_day& d) {
    return std::to_string(static_cast<int>(d.year())) + "-" + two(static_cast<unsigned>(d.month())) + "-" +
           two(static_cast<unsigned>(d.day()));
}

std::string text_of(const year_month& m) {
    return std::to_string(static_cast<int>(m.year())) + "-" + two(static_cast<unsigned>(m.month()));
}

// The same day `n` months later, or the month's last day when it has none.
year_month_day add_months(const year_month_day& d, int n) {
    const year_month m = d.year() / d.month() + months{n};
    const year_month_day last{m / std::chrono::last};
    return m / std::min(d.day(), last.day());
}

bool has_result(const LogEntry& e) { return e.result == kResultPassed || e.result == kResultFailed; }
bool is_duration(const LogEntry& e) { return e.testType == kTypeDuration; }

std::uint8_t snapshot_byte(const StatusSnapshot& s, std::size_t offset) { return s.status[offset - kStatusDataFirst]; }

// One luminaire's share of the input.
struct UnitInput {
    std::uint8_t unit = 0;
    const PeriodRead::Luminaire* known = nullptr;
    std::vector<const LogEntry*> entries;        // of the period with a real date, by time
    std::vector<const LogEntry*> undated;        // of the period, with a test time that is no date
    std::vector<const ReportRepair*> repairs;    // by time
};

std::map<std::uint8_t, UnitInput> by_unit(const ReportInput& in) {
    std::map<std::uint8_t, UnitInput> units;
    auto of = [&](std::uint8_t unit) -> UnitInput& {
        UnitInput& u = units[unit];
        u.unit = unit;
        return u;
    };
    for (const PeriodRead::Luminaire& l : in.luminaires) of(l.unit).known = &l;
    for (const LogEntry& e : in.entries) (day_of(e.testTime) ? of(e.unit).entries : of(e.unit).undated).push_back(&e);
    for (const ReportRepair& r : in.repairs) of(r.unit).repairs.push_back(&r);
    for (auto& [unit, u] : units) {
        std::stable_sort(u.entries.begin(), u.entries.end(),
                         [](const LogEntry* a, const LogEntry* b) { return a->testTime < b->testTime; });
        std::stable_sort(u.repairs.begin(), u.repairs.end(),
                         [](const ReportRepair* a, const ReportRepair* b) { return a->when < b->when; });
    }
    return units;
}

struct Period {
    year_month_day from, to;
    std::vector<year_month> months;
};

// Everything known of one luminaire that the rules below read.
class UnitFacts {
public:
    explicit UnitFacts(const UnitInput& u) : u_(u) {
        if (u.known && !u.known->firstTest.empty()) historyStart_ = day_of(u.known->firstTest);
        else if (!u.entries.empty()) historyStart_ = day_of(u.entries.front()->testTime);
        for (const LogEntry* e : u.entries) days_.push_back(sys_days{*day_of(e->testTime)});
    }

    bool ever_tested() const {
        return !u_.entries.empty() || (u_.known && !u_.known->firstTest.empty()) || !u_.undated.empty();
    }
    const std::optional<year_month_day>& history_start() const { return historyStart_; }
    const std::vector<const LogEntry*>& entries() const { return u_.entries; }
    // The day of each entry, in the same order.
    const std::vector<sys_days>& days() const { return days_; }

    // The newest entry of the period or before it.
    const LogEntry* newest() const {
        if (!u_.entries.empty()) return u_.entries.back();
        const LogEntry* best = nullptr;
        for (const auto* e : before()) {
            if (e && (!best || e->testTime > best->testTime)) best = e;
        }
        return best;
    }
    // The newest test of the type up to the period's end (any result in the
    // period, as the survey counts them; one with a result before it).
    const LogEntry* last_of(bool duration) const {
        for (auto e = u_.entries.rbegin(); e != u_.entries.rend(); ++e) {
            if (is_duration(**e) == duration) return *e;
        }
        return before_of(duration);
    }
    // The newest test of the type with a result from before the period.
    const LogEntry* before_of(bool duration) const {
        if (!u_.known) return nullptr;
        const auto& before = duration ? u_.known->durationBefore : u_.known->functionBefore;
        return before ? &*before : nullptr;
    }
    const StatusSnapshot* snapshot() const { return u_.known && u_.known->snapshot ? &*u_.known->snapshot : nullptr; }

private:
    std::array<const LogEntry*, 2> before() const {
        if (!u_.known) return {nullptr, nullptr};
        return {u_.known->functionBefore ? &*u_.known->functionBefore : nullptr,
                u_.known->durationBefore ? &*u_.known->durationBefore : nullptr};
    }
    const UnitInput& u_;
    std::optional<year_month_day> historyStart_;
    std::vector<sys_days> days_;
};

// The failures of the period with their repairs and re-tests, oldest first;
// the repairs they took go into `linked`.
std::vector<DefectValue> defects_of(const UnitInput& u, const ReportLuminaire& l,
                                    std::set<const ReportRepair*>& linked) {
    std::vector<DefectValue> out;
    const auto& entries = u.entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const LogEntry& failed = *entries[i];
        if (failed.result != kResultFailed) continue;
        DefectValue d;
        d.address = l.address;
        d.name = l.name;
        d.when = failed.testTime;
        d.durationTest = is_duration(failed);
        if (failed.minutes != kNoMinutes) d.minutes = failed.minutes;
        const LogEntry* retest = nullptr;
        for (std::size_t j = i + 1; j < entries.size() && !retest; ++j) {
            const LogEntry& next = *entries[j];
            if (next.testTime > failed.testTime && has_result(next) && (!d.durationTest || is_duration(next)))
                retest = &next;
        }
        if (retest) {
            d.retestWhen = retest->testTime;
            d.retestPassed = retest->result == kResultPassed;
        }
        for (const ReportRepair* r : u.repairs) {
            if (r->when > failed.testTime && (!retest || r->when < retest->testTime)) {
                d.repairs.push_back({r->when, r->part, r->text, r->author});
                linked.insert(r);
            }
        }
        out.push_back(std::move(d));
    }
    return out;
}

MonthMark month_mark(const UnitFacts& facts, const std::vector<DefectValue>& defects, const Period& p,
                     const year_month& m) {
    const year_month_day first = m / 1, last = m / std::chrono::last;
    const sys_days coveredFrom = std::max(sys_days{first}, sys_days{p.from});
    const sys_days coveredTo = std::min(sys_days{last}, sys_days{p.to});
    const bool whole = sys_days{first} >= sys_days{p.from} && sys_days{last} <= sys_days{p.to};
    if (!facts.history_start() || sys_days{*facts.history_start()} > coveredTo) return MonthMark::NoRecord;
    bool passed = false, failed = false, repaired = false, any = false;
    const std::vector<sys_days>& days = facts.days();
    // The entries are in time order: those of the month lie together.
    const auto inMonth = std::lower_bound(days.begin(), days.end(), coveredFrom);
    for (auto d = inMonth; d != days.end() && *d <= coveredTo; ++d) {
        const LogEntry* e = facts.entries()[static_cast<std::size_t>(d - days.begin())];
        any = true;
        passed |= e->result == kResultPassed;
        if (e->result != kResultFailed) continue;
        failed = true;
        for (const DefectValue& d : defects) repaired |= d.when == e->testTime && !d.repairs.empty();
    }
    if (failed) return repaired ? MonthMark::Repaired : MonthMark::Failed;
    if (passed) return MonthMark::Passed;
    if (any) return MonthMark::NoResult;
    return whole ? MonthMark::NotTested : MonthMark::Partial;
}

// "2026-03, 2026-07 (no result)": the whole months without a test with a result.
std::string months_not_tested(const ReportLuminaire& l, const Period& p) {
    std::string list;
    for (std::size_t i = 0; i < l.months.size(); ++i) {
        const MonthMark mark = l.months[i];
        const year_month& m = p.months[i];
        const bool whole = sys_days{m / 1} >= sys_days{p.from} && sys_days{m / std::chrono::last} <= sys_days{p.to};
        if (!whole || (mark != MonthMark::NotTested && mark != MonthMark::NoResult)) continue;
        if (!list.empty()) list += ", ";
        list += text_of(m);
        if (mark == MonthMark::NoResult) list += " (tested, no result)";
    }
    return list;
}

// The stretches of the period without a duration test within twelve months
// of the one before, in words.
std::vector<std::string> duration_gaps(const UnitFacts& facts, const Period& p) {
    std::vector<std::string> out;
    std::optional<year_month_day> prev;
    bool prevIsTest = false;
    if (const LogEntry* before = facts.before_of(true); before && day_of(before->testTime)) {
        prev = day_of(before->testTime);
        prevIsTest = true;
    }
    // Without a test before the period, the year runs from the first entry.
    if (!prev) prev = facts.history_start();
    if (!prev) return out;
    auto since = [&](const year_month_day& start, bool test) {
        return test ? "the last before was on " + text_of(start) : "its history in the logbook began on " + text_of(start);
    };
    for (const LogEntry* e : facts.entries()) {
        if (!is_duration(*e) || !has_result(*e)) continue;
        const year_month_day day = *day_of(e->testTime);
        const year_month_day due = add_months(*prev, kDurationTestMonths);
        if (sys_days{day} > sys_days{due} && sys_days{due} < sys_days{p.to} && sys_days{day} > sys_days{p.from})
            out.push_back("no duration test from " + text_of(due) + " until " + text_of(day) + " (" +
                          since(*prev, prevIsTest) + ")");
        prev = day;
        prevIsTest = true;
    }
    const year_month_day due = add_months(*prev, kDurationTestMonths);
    if (sys_days{due} < sys_days{p.to})
        out.push_back("no duration test within twelve months since " + text_of(due) + " (" + since(*prev, prevIsTest) +
                      ")");
    return out;
}

struct Due {
    std::string date;
    bool overdue = false;
};

// When the next test of the type falls due after `last`, by the gear's
// interval (days) or, unknown, by the calendar.
Due due_after(const LogEntry* last, int intervalDays, int calendarMonths, const Period& p) {
    if (!last) return {};
    const std::optional<year_month_day> day = day_of(last->testTime);
    if (!day) return {};
    const year_month_day due =
        intervalDays > 0 ? year_month_day{sys_days{*day} + days{intervalDays}} : add_months(*day, calendarMonths);
    return {text_of(due), sys_days{due} < sys_days{p.to}};
}

std::string day_part(const LogEntry* e) { return e ? e->testTime.substr(0, 10) : std::string(); }

ReportLuminaire luminaire_of(const UnitInput& u, const UnitFacts& facts, const Period& p) {
    ReportLuminaire l;
    l.unit = u.unit;
    l.address = FormatUnitAddress(u.unit);
    if (const LogEntry* newest = facts.newest()) {
        l.name = newest->name;
        l.location = newest->location;
    }
    if (const LogEntry* dt = facts.last_of(true)) {
        DurationTestValue v;
        v.date = day_part(dt);
        v.result = dt->result;
        if (dt->minutes != kNoMinutes) v.minutes = dt->minutes;
        l.lastDuration = v;
    }
    TestIntervals intervals;
    std::uint8_t failureBits = 0;
    if (const StatusSnapshot* s = facts.snapshot()) {
        l.ratedMinutes = snapshot_byte(*s, kStatusOffsetRatedDuration);
        intervals = {snapshot_byte(*s, kStatusOffsetFunctionTestInterval),
                     snapshot_byte(*s, kStatusOffsetDurationTestInterval)};
        failureBits = snapshot_byte(*s, kStatusOffsetFailureStatus);
    }
    const LogEntry* lastFunction = facts.last_of(false);
    const LogEntry* lastDuration = facts.last_of(true);
    const Due function = due_after(lastFunction, intervals.functionDays, kFunctionTestMonths, p);
    const Due duration = due_after(lastDuration, intervals.durationWeeks * kDaysPerWeek, kDurationTestMonths, p);
    l.nextFunctionDue = function.date;
    l.nextDurationDue = duration.date;
    l.functionOverdue = function.overdue;
    l.durationOverdue = duration.overdue;
    HistoryOverdue overdue{function.overdue, duration.overdue, function.overdue ? day_part(lastFunction) : "",
                           duration.overdue ? day_part(lastDuration) : ""};
    const LogEntry* newest = facts.newest();
    const bool latestFailed = newest && newest->result == kResultFailed;
    const Verdict verdict = judge_luminaire(failureBits, latestFailed, overdue);
    l.why = failure_words(failureBits, latestFailed, overdue);
    if (verdict == Verdict::Fault) l.standing = Standing::Fault;
    else if (!facts.ever_tested()) l.standing = Standing::NeverTested;
    else l.standing = verdict == Verdict::Overdue ? Standing::Overdue : Standing::Ok;
    return l;
}

void add_deviations(const UnitInput& u, const UnitFacts& facts, const ReportLuminaire& l, const Period& p,
                    std::vector<DeviationValue>& out) {
    auto add = [&](DeviationKind kind, const std::string& text) { out.push_back({l.address, l.name, kind, text}); };
    if (!facts.ever_tested()) {
        add(DeviationKind::NeverTested, "never tested: no test of it in the logbook");
        return;
    }
    if (facts.history_start() && sys_days{*facts.history_start()} > sys_days{p.from})
        add(DeviationKind::HistoryStartsLate, "its history in the logbook begins on " + text_of(*facts.history_start()) +
                                                  ": the logbook cannot show the months before");
    if (const std::string months = months_not_tested(l, p); !months.empty())
        add(DeviationKind::MonthsNotTested, "no function test in " + months);
    for (const std::string& gap : duration_gaps(facts, p)) add(DeviationKind::NoDurationTest, gap);
    for (const LogEntry* e : u.undated)
        add(DeviationKind::ImpossibleDate, "a test whose time \"" + e->testTime + "\" is no date; it is left out");
    if (!facts.snapshot())
        add(DeviationKind::StatusNeverRead, "its status was never read into the logbook: its faults and rated "
                                            "duration are not known");
}

std::string count_words(int n, const char* what) {
    return std::to_string(n) + (n == 1 ? " luminaire " : " luminaires ") + what;
}

void summarise(ReportContent& out) {
    if (out.luminaires.empty()) {
        out.summary = "The logbook holds no luminaire of this site up to " + out.to + ".";
        return;
    }
    std::map<DeviationKind, std::set<std::string>> who;
    for (const DeviationValue& d : out.deviations) who[d.kind].insert(d.address);
    const std::pair<DeviationKind, const char*> kinds[] = {
        {DeviationKind::MonthsNotTested, "without a function test in some month"},
        {DeviationKind::NoDurationTest, "without a duration test within twelve months"},
        {DeviationKind::NeverTested, "never tested"},
        {DeviationKind::HistoryStartsLate, "whose history in the logbook starts after the period begins"},
        {DeviationKind::ImpossibleDate, "with a test whose date is no date"},
    };
    std::vector<std::string> parts;
    for (const auto& [kind, words] : kinds) {
        if (!who[kind].empty()) parts.push_back(count_words(static_cast<int>(who[kind].size()), words));
    }
    out.asRequired = parts.empty();
    if (out.asRequired) {
        out.summary = "Every luminaire had a function test in every month of the period and a duration test "
                      "within twelve months.";
        return;
    }
    out.summary = "Not every luminaire was tested as required: ";
    for (std::size_t i = 0; i < parts.size(); ++i)
        out.summary += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    out.summary += ". The deviations are listed below.";
}

void count_and_find_next(ReportContent& out) {
    for (const ReportLuminaire& l : out.luminaires) {
        ++(l.unit < 64 ? out.lineA : out.lineB);
        switch (l.standing) {
        case Standing::Ok: ++out.counts.ok; break;
        case Standing::Fault: ++out.counts.fault; break;
        case Standing::Overdue: ++out.counts.overdue; break;
        case Standing::NeverTested: ++out.counts.neverTested; break;
        }
        const std::pair<const std::string*, const char*> dues[] = {{&l.nextFunctionDue, "function test"},
                                                                    {&l.nextDurationDue, "duration test"}};
        for (const auto& [due, what] : dues) {
            if (due->empty() || (!out.nextDue.empty() && *due >= out.nextDue)) continue;
            out.nextDue = *due;
            out.nextDueWhat = l.address + (l.name.empty() ? "" : " " + l.name) + ", " + what;
        }
    }
    if (!out.nextDue.empty() && out.nextDue < out.to) out.nextDueWhat += ", overdue";
}

}  // namespace

ReportContent compute_report(const ReportInput& in) {
    ReportContent out;
    out.site = in.site.name;
    out.gateways = in.site.gateways;
    out.from = in.from;
    out.to = in.to;
    out.madeBy = in.madeBy;
    out.machine = in.machine;
    out.madeAt = in.madeAt;
    out.incomplete = in.incomplete;
    out.seal = in.seal;
    out.endsToday = in.madeAt.substr(0, 10) <= in.to;
    const std::optional<year_month_day> from = day_of(in.from), to = day_of(in.to);
    if (!from || !to || sys_days{*to} < sys_days{*from}) {
        out.summary = "The period " + in.from + " to " + in.to + " is no period.";
        return out;
    }
    Period p{*from, *to, {}};
    for (year_month m = from->year() / from->month(); m <= to->year() / to->month(); m += months{1}) {
        out.months.push_back({static_cast<int>(m.year()), static_cast<int>(static_cast<unsigned>(m.month()))});
        p.months.push_back(m);
    }
    std::set<const ReportRepair*> linked;
    for (const auto& [unit, u] : by_unit(in)) {
        const UnitFacts facts(u);
        ReportLuminaire l = luminaire_of(u, facts, p);
        std::vector<DefectValue> defects = defects_of(u, l, linked);
        for (const year_month& m : p.months) l.months.push_back(month_mark(facts, defects, p, m));
        add_deviations(u, facts, l, p, out.deviations);
        out.defects.insert(out.defects.end(), defects.begin(), defects.end());
        out.luminaires.push_back(std::move(l));
    }
    std::stable_sort(out.defects.begin(), out.defects.end(),
                     [](const DefectValue& a, const DefectValue& b) { return a.when < b.when; });
    for (const Remark& r : in.remarks) out.remarks.push_back({r.written, FormatUnitAddress(r.unit), r.author, r.text});
    // A repair that follows no failure of the period (one made before a
    // failure, or after one before the period) is a remark of its own.
    for (const ReportRepair& r : in.repairs) {
        if (linked.count(&r) == 0)
            out.remarks.push_back({r.when, FormatUnitAddress(r.unit), r.author,
                                   "Repair" + (r.part.empty() ? std::string() : " (" + r.part + ")") + ": " + r.text});
    }
    std::stable_sort(out.remarks.begin(), out.remarks.end(),
                     [](const RemarkValue& a, const RemarkValue& b) { return a.when < b.when; });
    count_and_find_next(out);
    summarise(out);
    return out;
}

std::string check_report_period(const std::string& from, const std::string& to, const std::string& today) {
    const std::optional<year_month_day> f = day_of(from), t = day_of(to), now = day_of(today);
    if (!f || from.size() != 10) return "'" + from + "' is not a date YYYY-MM-DD";
    if (!t || to.size() != 10) return "'" + to + "' is not a date YYYY-MM-DD";
    if (sys_days{*t} < sys_days{*f}) return "the period ends (" + to + ") before it begins (" + from + ")";
    if (now && sys_days{*t} > sys_days{*now}) return "the period ends after today (" + today + ")";
    if (sys_days{add_months(*f, kMaxReportMonths)} <= sys_days{*t})
        return "a report covers at most " + std::to_string(kMaxReportMonths / 12) + " years";
    return {};
}

std::string default_report_from(const std::string& today) {
    const std::optional<year_month_day> t = day_of(today);
    if (!t) return {};
    const year_month first = t->year() / t->month() - months{11};
    return text_of(year_month_day{first / 1});
}

std::string day_after(const std::string& date) {
    const std::optional<year_month_day> d = day_of(date);
    return d ? text_of(year_month_day{sys_days{*d} + days{1}}) : date;
}
