// The records behind the rows of a listing, for the logbook: a list that
// passes every row on to the list it wraps and keeps the decoded entry the
// row was made from. A row's texts lose what the logbook needs (the first
// test-results row shows "none" for a function test's minutes, "NULL"
// stands for several result bytes); the record keeps the bytes' values.
#pragma once

#include "listing_exchange.h"
#include "result_list.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

class ListedRecords final : public ResultList {
public:
    ListedRecords(ResultList& shown, const ListingExchange& exchange) : shown_(shown), exchange_(exchange) {}

    // A listing run again (after a retry) starts its rows anew; the records
    // of every run stay, since each was read from the gateway.
    void clear() override { shown_.clear(); }
    void insert_row(bool atTop, const RowTexts& row) override {
        // A row is made from the reply that has just come in; should that
        // ever not hold, the row's own texts are kept instead.
        TestResultRecord r = DecodeTestResultRecord(exchange_.reply(), exchange_.reply_length());
        const RowTexts again = result_row_texts(r);
        if (again[kColAddress] != row[kColAddress] || again[kColTestDate] != row[kColTestDate]) r = record_of_row(row);
        records_.push_back(r);
        shown_.insert_row(atTop, row);
    }
    std::vector<RowTexts> rows() const override { return shown_.rows(); }

    const std::vector<TestResultRecord>& records() const { return records_; }

    // The entry a row shows, as far as its texts tell.
    static TestResultRecord record_of_row(const RowTexts& row) {
        TestResultRecord r;
        const std::string& a = row[kColAddress];
        const int number = a.size() > 1 ? std::atoi(a.c_str() + 1) : 0;
        r.unit = static_cast<std::uint8_t>((a.empty() || a[0] == 'A' ? 0 : 64) + number);
        r.name = row[kColName];
        r.location = row[kColLocation];
        unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
        std::sscanf(row[kColTestDate].c_str(), "%u/%u/%u %u:%u:%u", &y, &mo, &d, &h, &mi, &s);
        r.year = static_cast<std::uint16_t>(y);
        r.month = static_cast<std::uint8_t>(mo);
        r.day = static_cast<std::uint8_t>(d);
        r.hour = static_cast<std::uint8_t>(h);
        r.minute = static_cast<std::uint8_t>(mi);
        r.second = static_cast<std::uint8_t>(s);
        r.testType = row[kColType] == "DT" ? kTestTypeDuration : 0;
        r.minutes = row[kColMinutes] == "none" ? kMinutesNone : static_cast<std::uint8_t>(std::atoi(row[kColMinutes].c_str()));
        r.result = row[kColResult] == "OK" ? kTestResultPassed : row[kColResult] == "FAIL" ? kTestResultFailed : 0;
        return r;
    }

private:
    ResultList& shown_;
    const ListingExchange& exchange_;
    std::vector<TestResultRecord> records_;
};
