// The records behind the rows of a listing, for the logbook: a list that
// passes every row on to the list it wraps and keeps the decoded entry the
// row was made from. A row's texts lose what the logbook needs (the first
// test-results row shows "none" for a function test's minutes, "NULL"
// stands for several result bytes); the record keeps the bytes' values.
#pragma once

#include "result_list.h"

#include <vector>

class ListedRecords final : public ResultList {
public:
    explicit ListedRecords(ResultList& shown) : shown_(shown) {}

    // A listing run again (after a retry) starts its rows anew; the records
    // of every run stay, since each was read from the gateway.
    void clear() override { shown_.clear(); }
    void insert_row(bool atTop, const RowTexts& row) override { shown_.insert_row(atTop, row); }
    void insert_entry(bool atTop, const TestResultRecord& record, MinutesColumn rule) override {
        records_.push_back(record);
        shown_.insert_entry(atTop, record, rule);
    }
    std::vector<RowTexts> rows() const override { return shown_.rows(); }

    const std::vector<TestResultRecord>& records() const { return records_; }

private:
    ResultList& shown_;
    std::vector<TestResultRecord> records_;
};
