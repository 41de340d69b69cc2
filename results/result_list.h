// What a page's list view does for the listings: the desktop pages implement
// it with their list controls, the command line and the tests with a vector.
#pragma once

#include "test_result_record.h"

#include <vector>

class ResultList {
public:
    virtual ~ResultList() = default;
    virtual void clear() = 0;
    // A new row with all seven column texts, after the last row or as row 0.
    virtual void insert_row(bool atTop, const RowTexts& row) = 0;
    virtual std::vector<RowTexts> rows() const = 0;   // as shown, top to bottom

    // A listing adds each entry through here: the list may keep the decoded
    // record (the command line's JSON does), and gets the row texts.
    virtual void insert_entry(bool atTop, const TestResultRecord& record, MinutesColumn rule) {
        on_record(atTop, record);
        insert_row(atTop, result_row_texts(record, rule));
    }

protected:
    virtual void on_record(bool /*atTop*/, const TestResultRecord& /*record*/) {}
};

// A list without a window.
class MemoryResultList final : public ResultList {
public:
    void clear() override {
        rows_.clear();
        records_.clear();
    }
    void insert_row(bool atTop, const RowTexts& row) override {
        if (atTop) rows_.insert(rows_.begin(), row);
        else rows_.push_back(row);
    }
    std::vector<RowTexts> rows() const override { return rows_; }
    // The records of the rows added through insert_entry, in row order.
    const std::vector<TestResultRecord>& records() const { return records_; }

protected:
    void on_record(bool atTop, const TestResultRecord& record) override {
        if (atTop) records_.insert(records_.begin(), record);
        else records_.push_back(record);
    }

private:
    std::vector<RowTexts> rows_;
    std::vector<TestResultRecord> records_;
};
