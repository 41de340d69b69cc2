// Where a finished listing's entries go besides the page: the program sets
// a hook (the logbook's recording); the pages call listing_read() after each
// listing. Without a hook nothing happens, so the pages run the same in
// their tests.
#pragma once

#include "test_result_record.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// `kind`: "results" or "details"; `unit`: the luminaire of a details listing.
// The listing's outcome is last_listing_outcome() at the time of the call.
using ListingReadHook =
    std::function<void(const char* kind, const std::vector<TestResultRecord>& records, std::optional<std::uint8_t> unit)>;

void set_listing_read_hook(ListingReadHook hook);   // empty: none
void listing_read(const char* kind, const std::vector<TestResultRecord>& records, std::optional<std::uint8_t> unit);
