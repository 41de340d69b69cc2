#include "sim_responder.h"

#include "command_frame.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace {

void put_u16le(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t v) {
    out[at] = static_cast<std::uint8_t>(v & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// A text of UTF-16 code units written low byte first, then its 0 character.
void put_utf16le(std::vector<std::uint8_t>& out, std::size_t at, const std::u16string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        out[at + 2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
        out[at + 2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
}

std::size_t payload_length(const SimFrame& request) {
    return request.size() - kFrameOverhead;
}

}  // namespace

SimFrame make_reply_frame(std::uint8_t cmd, const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> buf(kFrameBufSize);
    const std::uint16_t len = build_cmd_frame(buf.data(), cmd, payload.empty() ? nullptr : payload.data(),
                                              static_cast<std::uint16_t>(payload.size()));
    buf.resize(len);
    return buf;
}

SimFrame discovery_reply(int gatewayNumber) {
    char name[16];
    const int n = std::snprintf(name, sizeof name, "SIM GW %d", gatewayNumber);
    return make_reply_frame(kCmdDiscovery, std::vector<std::uint8_t>(name, name + n));
}

SimFrame heartbeat_reply() {
    return make_reply_frame(kCmdHeartbeat, std::vector<std::uint8_t>(4, 0));
}

SimFrame status_reply(std::uint8_t unit, std::uint8_t result,
                      const std::array<std::uint8_t, kSimStatusBytes>& data) {
    std::vector<std::uint8_t> payload(kStatusReplyLength - kFrameOverhead, 0);
    payload[kReplyResult - kFrameOffsetPayload] = result;
    payload[kReplyUnit - kFrameOffsetPayload] = unit;
    std::copy(data.begin(), data.end(), payload.begin() + (kReplyStatusData - kFrameOffsetPayload));
    return make_reply_frame(kCmdStatus, payload);
}

SimFrame entry_reply(std::uint8_t cmd, const SimLuminaire& lum, const SimTestEntry& e) {
    // Payload laid out at frame offsets, then shifted down to start at 15.
    const std::u16string name = lum.name.substr(0, kSimNameMaxChars);
    const std::u16string location = lum.location.substr(0, kSimLocationMaxChars);
    std::vector<std::uint8_t> f(kReplyEntryLocation + 2 * (location.size() + 1), 0);
    f[kReplyResult] = 0;
    f[kReplyUnit] = lum.unit;
    put_u16le(f, kReplyEntryOffset, e.offset);
    f[kReplyEntryType] = e.type;
    put_u16le(f, kReplyEntryYear, e.year);
    f[kReplyEntryYear + 2] = e.month;
    f[kReplyEntryYear + 3] = e.day;
    f[kReplyEntryYear + 4] = e.hour;
    f[kReplyEntryYear + 5] = e.minute;
    f[kReplyEntryYear + 6] = e.second;
    f[kReplyEntryResult] = e.result;
    f[kReplyEntryMinutes] = e.minutes;
    put_utf16le(f, kReplyEntryName, name);
    put_utf16le(f, kReplyEntryLocation, location);
    return make_reply_frame(cmd, std::vector<std::uint8_t>(f.begin() + kFrameOffsetPayload, f.end()));
}

SimFrame bare_listing_reply(std::uint8_t cmd, std::uint8_t status, std::uint8_t unit) {
    return make_reply_frame(cmd, {status, unit, 0, 0});
}

std::size_t latest_entry_index(const SimLuminaire& lum) {
    auto key = [](const SimTestEntry& e) {
        return std::make_tuple(e.year, e.month, e.day, e.hour, e.minute, e.second);
    };
    std::size_t best = 0;
    for (std::size_t i = 1; i < lum.entries.size(); ++i) {
        if (key(lum.entries[i]) >= key(lum.entries[best])) best = i;
    }
    return best;
}

SimResponder::SimResponder(std::vector<SimLuminaire> luminaires) : luminaires_(std::move(luminaires)) {
    std::stable_sort(luminaires_.begin(), luminaires_.end(),
                     [](const SimLuminaire& a, const SimLuminaire& b) { return a.unit < b.unit; });
}

bool SimResponder::change(std::uint8_t unit, const std::function<void(SimLuminaire&)>& edit) {
    for (SimLuminaire& l : luminaires_) {
        if (l.unit != unit) continue;
        edit(l);
        l.unit = unit;
        return true;
    }
    return false;
}

void SimResponder::reset_cursors() {
    resultsNext_ = SIZE_MAX;
    detailsUnit_ = -1;
    detailsNext_ = 0;
}

const SimLuminaire* SimResponder::find(std::uint8_t unit) const {
    for (const auto& lum : luminaires_) {
        if (lum.unit == unit) return &lum;
    }
    return nullptr;
}

std::optional<SimFrame> SimResponder::reply_to(const SimFrame& request, const SimFaults& faults) {
    if (request.size() < kFrameOverhead) return std::nullopt;
    const std::uint8_t* payload = request.data() + kFrameOffsetPayload;
    const std::size_t plen = payload_length(request);
    switch (request[kFrameOffsetCommand]) {
    case kCmdHeartbeat:  // the discovery frame over TCP gets the same answer
        return heartbeat_reply();
    case kCmdStatus:
        return status(request, faults);
    case kCmdTestResults:
        return test_results(plen == 0);
    case kCmdTestDetails:
        if (plen == 0) return std::nullopt;
        // First request: the unit alone; follow-up: 00 unit 00 00.
        return details(plen == 1, plen == 1 ? payload[0] : payload[1]);
    default:
        return std::nullopt;
    }
}

std::optional<SimFrame> SimResponder::status(const SimFrame& request, const SimFaults& faults) const {
    if (payload_length(request) < 2) return std::nullopt;
    const std::uint8_t unit = request[kFrameOffsetPayload + 1];
    const SimLuminaire* lum = find(unit);
    if (faults.unitsBusy.count(unit)) return status_reply(unit, kStatusDaliBusy, {});
    if (const auto every = faults.unitsBusyEvery.find(unit); every != faults.unitsBusyEvery.end() && every->second > 0) {
        if (statusAsks_[unit]++ % every->second == 0) return status_reply(unit, kStatusDaliBusy, {});
    }
    if (faults.unitsMissing.count(unit) || lum == nullptr) return status_reply(unit, kStatusUnitMissing, {});
    return status_reply(unit, 0, lum->status);
}

SimFrame SimResponder::test_results(bool first) {
    // First request: the first luminaire that has an entry; every follow-up
    // moves on by one luminaire. A luminaire without entries gets a reply
    // without test data.
    if (first) {
        resultsNext_ = luminaires_.size();
        for (std::size_t i = 0; i < luminaires_.size(); ++i) {
            if (!luminaires_[i].entries.empty()) {
                resultsNext_ = i;
                break;
            }
        }
    }
    if (resultsNext_ >= luminaires_.size()) {
        resultsNext_ = SIZE_MAX;
        return bare_listing_reply(kCmdTestResults, kListingEnd, 0);
    }
    const SimLuminaire& lum = luminaires_[resultsNext_++];
    if (lum.entries.empty()) return bare_listing_reply(kCmdTestResults, 0, lum.unit);
    return entry_reply(kCmdTestResults, lum, lum.entries[latest_entry_index(lum)]);
}

SimFrame SimResponder::details(bool first, std::uint8_t unit) {
    if (first) {
        detailsUnit_ = unit;
        detailsNext_ = 0;
    }
    const SimLuminaire* lum = find(unit);
    if (lum == nullptr || detailsUnit_ != unit || detailsNext_ >= lum->entries.size()) {
        detailsUnit_ = -1;
        return bare_listing_reply(kCmdTestDetails, kListingEnd, unit);
    }
    return entry_reply(kCmdTestDetails, *lum, lum->entries[detailsNext_++]);
}
