#include "listing_read_hook.h"

namespace {
ListingReadHook g_hook;   // user-interface thread only
}

void set_listing_read_hook(ListingReadHook hook) { g_hook = std::move(hook); }

void listing_read(const char* kind, const std::vector<TestResultRecord>& records, std::optional<std::uint8_t> unit) {
    if (g_hook) g_hook(kind, records, unit);
}
