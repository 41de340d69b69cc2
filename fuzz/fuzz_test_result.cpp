// Decrypted test-entry replies of any content. The input is one or more
// reply frames separated by the bytes "|NEXT|". The first frame goes
// through the entry decoder and its row texts directly; then all of them are
// played, one per request, to both listings, as the link would hand them
// over (magic and end byte passed, or dropped). Rows must stay valid UTF-8,
// the texts within their 32 characters, the unit list within its 128 units.
#include "command_frame.h"
#include "listing_exchange.h"
#include "listings.h"
#include "fuzz_support.h"
#include "prompts.h"
#include "reply.h"
#include "result_list.h"
#include "selection_state.h"
#include "test_result_record.h"
#include "trace.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

void check_row(const RowTexts& row) {
    for (const std::string& text : row)
        if (!valid_utf8(text)) std::abort();
    // 32 UTF-16 code units are at most 96 bytes of UTF-8.
    if (row[kColName].size() > 3 * kEntryTextMaxChars || row[kColLocation].size() > 3 * kEntryTextMaxChars)
        std::abort();
    if (row[kColAddress].empty() || (row[kColAddress][0] != 'A' && row[kColAddress][0] != 'B')) std::abort();
}

// A frame in a reply buffer as the link leaves it: zero past its length.
struct Frame {
    std::vector<std::uint8_t> rx = std::vector<std::uint8_t>(kRxBufSize, 0);
    std::uint32_t n = 0;
};

Frame frame_of(std::string_view bytes) {
    Frame f;
    f.n = static_cast<std::uint32_t>(std::min(bytes.size(), kRxBufSize));
    if (f.n > 0) std::memcpy(f.rx.data(), bytes.data(), f.n);
    return f;
}

class ScriptedExchange final : public ListingExchange {
public:
    explicit ScriptedExchange(const std::vector<Frame>& frames) : frames_(frames) {}
    ExchangeOutcome exchange(const ListingRequest&) override {
        if (next_ >= frames_.size()) return ExchangeOutcome::failed(ExchangeReason::TimedOut);
        current_ = &frames_[next_++];
        return reply_magic_and_end_ok(current_->rx.data(), current_->n, kRxBufSize)
                   ? ExchangeOutcome::reply()
                   : ExchangeOutcome::dropped(ExchangeReason::BadMagic);
    }
    const std::uint8_t* reply() const override { return current_->rx.data(); }
    std::uint32_t reply_length() const override { return current_->n; }

private:
    const std::vector<Frame>& frames_;
    std::size_t next_ = 0;
    const Frame* current_ = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SilentPrompts silent;
    static const bool quiet = [] {
        set_prompts(&silent);
        set_trace_sink(nullptr);
        set_listing_limits({4, 64});
        return true;
    }();
    (void)quiet;

    constexpr std::string_view kSeparator = "|NEXT|";
    std::vector<Frame> frames;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (frames.size() < 200) {
        const std::size_t at = rest.find(kSeparator);
        frames.push_back(frame_of(rest.substr(0, at)));
        if (at == std::string_view::npos) break;
        rest.remove_prefix(at + kSeparator.size());
    }

    const Frame& first = frames.front();
    const TestResultRecord record = DecodeTestResultRecord(first.rx.data(), first.n);
    check_row(result_row_texts(record, MinutesColumn::Always));
    check_row(result_row_texts(record, MinutesColumn::DurationTestsOnly));

    MemoryResultList list;
    {
        ScriptedExchange ex(frames);
        QueryTestResults(ex, list);
    }
    if (iShortAddressCount < 0 || iShortAddressCount > kShortAddressArrSize) std::abort();
    if (list.rows().size() > frames.size()) std::abort();
    for (const RowTexts& row : list.rows()) check_row(row);
    {
        ScriptedExchange ex(frames);
        QueryDetails(ex, list, first.rx[kEntryOffsetUnit]);
    }
    if (list.rows().size() > frames.size()) std::abort();
    for (const RowTexts& row : list.rows()) check_row(row);
    return 0;
}
