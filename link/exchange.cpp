// The request exchange of every page query: build, encrypt, send, read one
// whole reply, decrypt, judge magic and end byte.
#include "gateway_link.h"
#include "link_connection.h"
#include "prompts.h"
#include "trace.h"

namespace {

// Exchange lock held. `box` receives the message to show once the lock is
// released, if any.
ExchangeOutcome exchange_locked(const ExchangeRequest& request, const char** box, LinkNotices* notices) {
    if (request.payloadLen > kFrameMaxPayload) {
        trace("payload too long:%u\n", static_cast<unsigned>(request.payloadLen));
        return ExchangeOutcome::failed(ExchangeReason::NotEncrypted);
    }
    const std::uint16_t frameLen = build_cmd_frame(g_link.ucTxBuf, request.cmd, request.payload, request.payloadLen);
    std::uint32_t packetLen = 0;
    if (udp_aes_encrypt_entry(g_link.ucTxBuf, frameLen, g_link.slots.packet, &packetLen) != 0) {
        trace("udp_aes_encrypt_entry fails\n");
        return ExchangeOutcome::failed(ExchangeReason::NotEncrypted);
    }
    Transfer transfer;
    transfer.packet = g_link.slots.packet.data();
    transfer.packetLen = packetLen;
    transfer.cmd = request.cmd;
    transfer.setTimeouts = request.setTimeouts;
    transfer.connectTimeoutMs = link_settings().sendTimeoutMs;
    const ReplyTarget target{g_link.ucRecvBuf, &g_link.slots.plaintext, g_link.ucRxBuf, &g_link.iRxLen};
    const ExchangeOutcome outcome = transfer_locked(transfer, target, notices);
    if (outcome.status == ExchangeStatus::Failed) {
        *box = outcome.reason == ExchangeReason::SendFailed ? request.sendFailMessage : request.recvFailMessage;
    }
    return outcome;
}

}  // namespace

ExchangeOutcome ExchangeFrame(const ExchangeRequest& request) {
    const char* box = nullptr;
    LinkNotices notices;
    ExchangeOutcome outcome;
    {
        UserLock lock;
        outcome = exchange_locked(request, &box, &notices);
    }
    announce_link_notices(notices);
    if (box != nullptr) prompts().message_box(box);
    return outcome;
}

ExchangeOutcome ExchangeFrame(std::uint8_t cmd, const std::uint8_t* payload, std::uint16_t payloadLen,
                              bool setTimeouts, const char* sendFailMessage, const char* recvFailMessage) {
    return ExchangeFrame(ExchangeRequest{cmd, payload, payloadLen, setTimeouts, sendFailMessage, recvFailMessage});
}
