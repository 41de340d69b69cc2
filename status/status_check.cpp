#include "command_frame.h"
#include "prompts.h"
#include "status_query.h"
#include "trace.h"

namespace {
StatusOutcome g_outcome = StatusOutcome::Accepted;

bool refuse(StatusOutcome outcome) {
    g_outcome = outcome;
    return false;
}
}  // namespace

StatusOutcome last_status_outcome() { return g_outcome; }

void NoteStatusExchangeFailed() { g_outcome = StatusOutcome::LinkFailed; }

bool CheckStatusReply(const std::uint8_t* rx, std::uint32_t n, std::uint8_t unitNumber) {
    if (!reply_command_ok(rx, kCmdStatus)) {
        trace("查询的指令不对应");
        return refuse(StatusOutcome::Refused);
    }
    trace("ucRxBuf[15] %d ucRxBuf[16]:%d", rx[kStatusOffsetResult], rx[kStatusOffsetUnit]);
    // The unit echo is judged before the sum: a reply for another unit is
    // reported as such even when its sum is wrong too.
    if (rx[kStatusOffsetUnit] != unitNumber) {
        trace("查询的地址不对应");
        prompts().message_box("Network exception, please reconnect");
        return refuse(StatusOutcome::Refused);
    }
    if (!reply_sum_ok(rx, n)) {
        trace("check fails.\n");
        return refuse(StatusOutcome::LinkFailed);
    }
    if (rx[kStatusOffsetResult] == kStatusResultBusy) {
        prompts().message_box("DALI Busy, please try again later!");
        return refuse(StatusOutcome::Refused);
    }
    if (rx[kStatusOffsetResult] == kStatusResultMissing) {
        prompts().message_box("Current ID not exist!");
        trace("receive status error!");
        return refuse(StatusOutcome::Refused);
    }

    trace(" %02x  %02x \n", rx[kStatusOffsetUnit], rx[kStatusOffsetResult]);
    for (std::size_t i = kStatusDataFirst; i <= kStatusDataLast; ++i) trace(" %02x ", rx[i]);
    trace("\n");
    g_outcome = StatusOutcome::Accepted;
    return true;
}
