// The status query over the program's gateway link.
#include "gateway_link.h"
#include "status_query.h"
#include "trace.h"

bool QueryStatus(std::uint8_t unitNumber) {
    trace("number:%d\n", unitNumber);
    const std::uint8_t payload[2] = {kStatusRequestTag, unitNumber};
    // A receive that brings nothing shows no message, only the link's trace.
    if (!ExchangeFrame(kCmdStatus, payload, sizeof payload, true, "tcp send fails!", nullptr)) {
        NoteStatusExchangeFailed();
        return false;
    }
    return CheckStatusReply(g_link.ucRxBuf, g_link.iRxLen, unitNumber);
}
