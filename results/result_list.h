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
};

// A list without a window.
class MemoryResultList final : public ResultList {
public:
    void clear() override { rows_.clear(); }
    void insert_row(bool atTop, const RowTexts& row) override {
        if (atTop) rows_.insert(rows_.begin(), row);
        else rows_.push_back(row);
    }
    std::vector<RowTexts> rows() const override { return rows_; }

private:
    std::vector<RowTexts> rows_;
};
