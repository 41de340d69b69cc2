// The site survey: every luminaire the gateway lists, with its status, its
// latest test entry and all its stored entries, read over the one link one
// exchange at a time, and a verdict for each.
//
// The survey learns the luminaires from the test-results listing (an
// entry-less reply names a luminaire without stored tests: it is included),
// then asks each for its status and its details listing. It never stops for
// one luminaire: a busy line is retried after a pause, a luminaire that does
// not exist is recorded, a failed link is reopened and the survey goes on
// from the luminaire where it stopped. Whatever was not read is said so.
#pragma once

#include "result_list.h"
#include "status_record.h"
#include "survey_history.h"
#include "verdict.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A luminaire the gateway reports busy is asked again this many more times,
// this long after each refusal, before it is recorded as busy.
inline constexpr int kSurveyBusyRetries = 3;
inline constexpr int kSurveyBusyPauseMs = 300;
// A status exchange that fails on the link is tried again on a reopened
// connection this many more times.
inline constexpr int kSurveyLinkRetries = 2;
// A listing that ends incomplete is run again this many more times.
inline constexpr int kSurveyListingRetries = 2;

struct SurveyOptions {
    int busyRetries = kSurveyBusyRetries;
    int busyPauseMs = kSurveyBusyPauseMs;
    int linkRetries = kSurveyLinkRetries;
    int listingRetries = kSurveyListingRetries;
    // Called after the luminaire list and after each luminaire (done of
    // total), on the thread that runs the survey.
    std::function<void(int done, int total)> progress;
    // Asked before every exchange and during every pause; true ends the
    // survey there (what was read is kept, the rest is "not read").
    std::function<bool()> cancelled;
};

// How reading one luminaire's status went.
enum class ReadState : std::uint8_t {
    Read,
    Busy,         // the gateway kept answering "DALI Busy"
    Missing,      // the gateway says the unit does not exist
    LinkFailed,   // no valid reply, even on a reopened connection
    Cancelled,    // the survey was cancelled before this luminaire
};
const char* read_state_text(ReadState state);

inline constexpr std::size_t kSurveyStatusBytes = kStatusDataLast - kStatusDataFirst + 1;  // 40

struct SurveyedLuminaire {
    std::uint8_t unit = 0;
    std::string name, location;            // from its latest entry, UTF-8
    ReadState state = ReadState::Cancelled;
    std::string reason;                    // why not read, in words; empty when read
    std::array<std::uint8_t, kSurveyStatusBytes> status{};  // status reply bytes 17..56
    std::time_t statusTime = 0;            // when the status was read
    std::optional<RowTexts> latest;        // its test-results row; none for a luminaire without tests
    std::vector<RowTexts> history;         // every stored entry, newest first
    bool historyComplete = false;
    std::string historyReason;             // why the history is incomplete
    // The decoded entries behind the rows, for the logbook: the latest one,
    // and every entry its details listings read (a retried listing's too).
    std::optional<TestResultRecord> latestRecord;
    std::vector<TestResultRecord> historyRecords;
    // What the logbook holds (use_logbook_history): the whole history,
    // newest first, and the tests overdue by it. None without a logbook.
    std::optional<std::vector<LoggedLine>> logged;
    HistoryOverdue overdue;

    std::string address() const;           // "A5"
    bool status_read() const { return state == ReadState::Read; }
    std::uint8_t failure_bits() const;
    std::uint8_t emergency_status() const;
    std::uint8_t battery_charge() const;   // percent
    std::uint16_t hours_to_function_test() const;
    std::uint16_t hours_to_duration_test() const;
    bool latest_failed() const;
    TestIntervals intervals() const;       // from the status
    Verdict verdict() const;               // NotRead unless the status was read
    // The verdict's reasons in words: the failures and overdue tests, or why
    // the status was not read.
    std::string why() const;
    // The verdict's reasons as values; empty when the status was not read.
    std::vector<VerdictReason> reasons() const;
    // The 74 status items, as the status workbook shows them; empty when
    // the status was not read.
    std::vector<StatusItem> status_items() const;
};

struct SiteSurvey {
    std::string gateway;                   // dotted address
    std::time_t started = 0;
    std::vector<SurveyedLuminaire> luminaires;   // in the gateway's order
    std::vector<TestResultRecord> listRecords;   // every entry the luminaire list read
    bool listComplete = false;             // the luminaire list itself
    std::string listReason;
    bool cancelled = false;

    int count(Verdict verdict) const;
    int not_read() const;                  // luminaires whose status was not read
    int histories_incomplete() const;      // read, but their history is not whole
    // True only when the list, every status and every history was read.
    bool complete() const;
    // What is missing, in words (empty when complete): "3 of 20 luminaires
    // not read (2 busy, 1 link failed); ...".
    std::string incomplete_reason() const;
};

// Runs the survey on the connected gateway (g_link). Message boxes of the
// queries are not shown while it runs: what they say becomes the reasons.
SiteSurvey run_site_survey(const SurveyOptions& options);

// Hands in each luminaire's history from the logbook (after this survey
// was recorded there; a luminaire the map lacks has none) and judges the
// read luminaires' tests overdue by it at the survey's date: the newest of
// the logbook's and the gateway's entries counts.
void use_logbook_history(SiteSurvey& survey, const std::map<std::uint8_t, std::vector<LoggedLine>>& histories);
// The newest function and duration test among a luminaire's entries: the
// logbook's, its details listing's and its latest one.
LastTests last_tests(const SurveyedLuminaire& l);

// Counts per verdict for line A (units 0..63), line B and the whole site.
struct VerdictCounts {
    std::array<int, 4> lineA{}, lineB{}, site{};   // indexed by Verdict
};
VerdictCounts count_verdicts(const SiteSurvey& survey);
// The luminaires that need attention (fault, overdue, not read), most
// urgent first (verdict rank), in the gateway's order within a verdict.
std::vector<const SurveyedLuminaire*> attention_list(const SiteSurvey& survey);
