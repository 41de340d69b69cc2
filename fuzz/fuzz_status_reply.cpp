// A decrypted status reply of any content, as the exchange hands it over:
// in the 1046-byte reply buffer, zero past its length, magic and end byte
// already passed. The status checks and the item table must take it without
// reading outside the buffer, and accept it only when every check holds.
#include "command_frame.h"
#include "fuzz_support.h"
#include "prompts.h"
#include "reply.h"
#include "status_query.h"
#include "status_record.h"
#include "trace.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void check_items(const std::uint8_t* rx) {
    const std::vector<StatusItem> items = status_items(rx);
    if (items.size() != static_cast<std::size_t>(kStatusItemCount)) std::abort();
    for (const StatusItem& item : items)
        if (item.label.empty() || item.value.empty() || !valid_utf8(item.value)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SilentPrompts silent;
    static const bool quiet = [] {
        set_prompts(&silent);
        set_trace_sink(nullptr);
        return true;
    }();
    (void)quiet;

    std::vector<std::uint8_t> rx(kRxBufSize, 0);
    const auto n = static_cast<std::uint32_t>(size > kRxBufSize ? kRxBufSize : size);
    if (n > 0) std::memcpy(rx.data(), data, n);
    check_items(rx.data());   // the table reads fixed offsets whatever the frame
    if (!reply_magic_and_end_ok(rx.data(), n, kRxBufSize)) return 0;

    // Once for the unit the reply names, once for another one.
    const std::uint8_t echoed = rx[kStatusOffsetUnit];
    for (const std::uint8_t unit : {echoed, static_cast<std::uint8_t>(echoed + 1)}) {
        const bool accepted = CheckStatusReply(rx.data(), n, unit);
        if (accepted != (last_status_outcome() == StatusOutcome::Accepted)) std::abort();
        if (!accepted) continue;
        if (unit != echoed || !reply_command_ok(rx.data(), kCmdStatus) || !reply_sum_ok(rx.data(), n) ||
            rx[kStatusOffsetResult] == kStatusResultMissing || rx[kStatusOffsetResult] == kStatusResultBusy)
            std::abort();
    }
    return 0;
}
