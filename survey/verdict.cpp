#include "verdict.h"

#include <cstdio>
#include <optional>

namespace {

constexpr std::size_t kDateChars = 10;   // "YYYY-MM-DD"

// Days since 1970-01-01 of a real date "YYYY-MM-DD..." (the civil-calendar
// count: March-based years, so February's length falls at a year's end).
std::optional<long> day_number(const std::string& text) {
    if (text.size() < kDateChars || text[4] != '-' || text[7] != '-') return std::nullopt;
    int y = 0, m = 0, d = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d", &y, &m, &d) != 3 || m < 1 || m > 12 || d < 1) return std::nullopt;
    static constexpr int kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > kMonthDays[m - 1] || (m == 2 && d == 29 && !leap)) return std::nullopt;
    y -= m <= 2 ? 1 : 0;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Whether the last test lies more than `intervalDays` before today.
bool overdue(int intervalDays, const std::string& last, const std::string& today) {
    if (intervalDays == 0) return false;
    const std::optional<long> from = day_number(last), to = day_number(today);
    return from && to && *to - *from > intervalDays;
}

std::string history_words(const char* heading, const std::string& last) {
    return std::string(heading) + " (" + kLastInLogbookWords + " " + last + ")";
}

}  // namespace

const VerdictStyle& verdict_style(Verdict verdict) {
    for (const VerdictStyle& style : kVerdictStyles) {
        if (style.verdict == verdict) return style;
    }
    return kVerdictStyles.back();
}

HistoryOverdue overdue_by_history(const TestIntervals& intervals, const LastTests& last, const std::string& today) {
    HistoryOverdue out;
    out.function = overdue(intervals.functionDays, last.functionTest, today);
    out.duration = overdue(intervals.durationWeeks * kDaysPerWeek, last.durationTest, today);
    if (out.function) out.functionLast = last.functionTest.substr(0, kDateChars);
    if (out.duration) out.durationLast = last.durationTest.substr(0, kDateChars);
    return out;
}

Verdict judge_luminaire(std::uint8_t failureBits, bool latestTestFailed, const HistoryOverdue& history) {
    Verdict worst = latestTestFailed ? kLatestTestFailedVerdict : Verdict::Ok;
    for (const FailureBitRule& rule : kFailureBitRules) {
        if ((failureBits >> rule.bit & 1U) == 0) continue;
        if (rule.verdict == Verdict::Fault || worst == Verdict::Ok) worst = rule.verdict;
    }
    if (worst == Verdict::Ok && history.any()) worst = Verdict::Overdue;
    return worst;
}

std::vector<VerdictReason> failure_reasons(std::uint8_t failureBits, bool latestTestFailed,
                                           const HistoryOverdue& history) {
    std::vector<VerdictReason> out;
    for (const FailureBitRule& rule : kFailureBitRules) {
        if (rule.bit == kFunctionOverdueBit && history.function)
            out.push_back({rule.verdict, rule.heading, history_words(rule.heading, history.functionLast)});
        else if (rule.bit == kDurationOverdueBit && history.duration)
            out.push_back({rule.verdict, rule.heading, history_words(rule.heading, history.durationLast)});
        else if (failureBits >> rule.bit & 1U)
            out.push_back({rule.verdict, rule.heading, rule.heading});
    }
    if (latestTestFailed) out.push_back({kLatestTestFailedVerdict, kLatestTestFailedWords, kLatestTestFailedWords});
    return out;
}

std::string failure_words(std::uint8_t failureBits, bool latestTestFailed, const HistoryOverdue& history) {
    std::string words;
    for (const VerdictReason& reason : failure_reasons(failureBits, latestTestFailed, history))
        words += (words.empty() ? "" : "; ") + reason.words;
    return words;
}
