// The request exchange of every page query: build, encrypt, send once,
// receive once, decrypt, judge magic and end byte.
#include "gateway_link.h"
#include "link_connection.h"
#include "prompts.h"
#include "trace.h"

namespace {

// Exchange lock held. `box` receives the message to show once the lock is
// released, if any.
bool exchange_locked(std::uint8_t cmd, const std::uint8_t* payload, std::uint16_t payloadLen, bool setTimeouts,
                     const char* sendFailMessage, const char* recvFailMessage, const char** box) {
    if (payloadLen > kFrameMaxPayload) {
        trace("payload too long:%u\n", static_cast<unsigned>(payloadLen));
        return false;
    }
    const std::uint16_t frameLen = build_cmd_frame(g_link.ucTxBuf, cmd, payload, payloadLen);
    std::uint32_t packetLen = 0;
    if (udp_aes_encrypt_entry(g_link.ucTxBuf, frameLen, g_link.slots.packet, &packetLen) != 0) {
        trace("udp_aes_encrypt_entry fails\n");
        return false;
    }
    int count = 0;
    switch (transfer_locked(g_link.slots.packet.data(), packetLen, g_link.ucRecvBuf, setTimeouts, &count)) {
    case TransferResult::SendFailed:
        *box = sendFailMessage;
        return false;
    case TransferResult::RecvFailed:
        *box = recvFailMessage;
        return false;
    case TransferResult::Received:
        break;
    }
    // One receive is the whole reply. A reply that does not decrypt, or fails
    // magic or end byte, is dropped without a word.
    return open_reply(g_link.ucRecvBuf, static_cast<std::uint32_t>(count), g_link.slots.plaintext, g_link.ucRxBuf,
                      &g_link.iRxLen);
}

}  // namespace

bool ExchangeFrame(std::uint8_t cmd, const std::uint8_t* payload, std::uint16_t payloadLen, bool setTimeouts,
                   const char* sendFailMessage, const char* recvFailMessage) {
    const char* box = nullptr;
    bool ok = false;
    {
        auto lock = lock_exchange();
        ok = exchange_locked(cmd, payload, payloadLen, setTimeouts, sendFailMessage, recvFailMessage, &box);
    }
    if (box != nullptr) prompts().message_box(box);
    return ok;
}
