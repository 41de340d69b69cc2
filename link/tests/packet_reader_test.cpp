// The reply reader against a scripted byte stream: a packet comes whole
// however it is cut into reads, a cut-short packet is never taken for one,
// bytes after it stay behind, and a first block that names no frame length
// is refused without waiting for more.
#include "command_frame.h"
#include "packet_reader.h"
#include "sim_responder.h"
#include "sim_wire.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Hands out the scripted pieces, one per read (split when the reader asks
// for less); nothing more when they are used up.
class ScriptedSource final : public StreamSource {
public:
    explicit ScriptedSource(std::deque<Bytes> pieces) : pieces_(std::move(pieces)) {}
    Got read_some(std::uint8_t* buf, std::size_t len, int, bool, std::size_t* count) override {
        ++reads;
        if (pieces_.empty()) return Got::TimedOut;
        Bytes& piece = pieces_.front();
        const std::size_t n = std::min(len, piece.size());
        std::copy(piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n), buf);
        piece.erase(piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n));
        if (piece.empty()) pieces_.pop_front();
        *count = n;
        return Got::Bytes;
    }
    int reads = 0;

private:
    std::deque<Bytes> pieces_;
};

PacketReadResult read_all(std::deque<Bytes> pieces, Bytes* buf) {
    ScriptedSource source(std::move(pieces));
    buf->assign(kLinkRecvBufSize, 0);
    // The scripted stream never waits, so a past deadline still reads what
    // is there and then times out.
    return read_packet(source, buf->data(), buf->size(), PacketClock::now());
}

struct Kind {
    const char* name;
    SimFrame frame;
};

std::vector<Kind> reply_kinds() {
    SimLuminaire lum;
    lum.unit = 5;
    lum.name = u"Stair 2 exit";
    lum.location = u"Level 3 east";
    SimTestEntry entry;
    entry.type = 1;
    entry.minutes = 180;
    SimFrame largest = make_reply_frame(kCmdTestDetails, std::vector<std::uint8_t>(kMaxReplyFrameLength - 18, 0x33));
    return {
        {"heartbeat", heartbeat_reply()},
        {"status", status_reply(5, 0, lum.status)},
        {"entry", entry_reply(kCmdTestDetails, lum, entry)},
        {"end of listing", bare_listing_reply(kCmdTestResults, 0xFF, 0)},
        {"largest frame", largest},
    };
}

class PacketReader : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(aes_load_key(), 0); }
};

TEST_F(PacketReader, ComesWholeHoweverTheStreamCutsIt) {
    for (const Kind& kind : reply_kinds()) {
        const SimPacket packet = sim_encrypt(kind.frame);
        ASSERT_EQ(packet.size(), packet_length_for(static_cast<std::uint32_t>(kind.frame.size()))) << kind.name;
        std::vector<std::deque<Bytes>> scripts;
        std::deque<Bytes> bytewise;
        for (std::uint8_t b : packet) bytewise.push_back({b});
        scripts.push_back(bytewise);
        for (std::size_t cut = 1; cut < packet.size(); ++cut) {
            scripts.push_back({Bytes(packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(cut)),
                               Bytes(packet.begin() + static_cast<std::ptrdiff_t>(cut), packet.end())});
        }
        for (std::size_t i = 0; i < scripts.size(); ++i) {
            Bytes buf;
            const PacketReadResult r = read_all(scripts[i], &buf);
            ASSERT_EQ(r.status, PacketRead::Whole) << kind.name << " script " << i;
            ASSERT_EQ(r.length, packet.size()) << kind.name << " script " << i;
            ASSERT_EQ(r.have, packet.size()) << kind.name << " script " << i;
            ASSERT_TRUE(std::equal(packet.begin(), packet.end(), buf.begin())) << kind.name << " script " << i;
        }
    }
}

TEST_F(PacketReader, EveryCutShortPacketTimesOutAndIsNeverWhole) {
    for (const Kind& kind : reply_kinds()) {
        const SimPacket packet = sim_encrypt(kind.frame);
        for (std::size_t len = 0; len < packet.size(); ++len) {
            Bytes buf;
            std::deque<Bytes> script;
            if (len > 0) script.push_back(Bytes(packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(len)));
            const PacketReadResult r = read_all(script, &buf);
            ASSERT_EQ(r.status, PacketRead::TimedOut) << kind.name << " cut to " << len;
            ASSERT_EQ(r.have, len) << kind.name;
        }
    }
}

TEST_F(PacketReader, BytesAfterThePacketStayBehindIt) {
    const SimPacket packet = sim_encrypt(heartbeat_reply());
    const SimPacket next = sim_encrypt(status_reply(1, 0, {}));
    Bytes both = packet;
    both.insert(both.end(), next.begin(), next.end());
    Bytes buf;
    const PacketReadResult r = read_all({both}, &buf);
    ASSERT_EQ(r.status, PacketRead::Whole);
    EXPECT_EQ(r.length, packet.size());
    EXPECT_EQ(r.have, both.size());
    // Read on from what is left: the second packet, whole.
    ScriptedSource empty({});
    const PacketReadResult second =
        read_packet(empty, buf.data() + r.length, buf.size() - r.length, PacketClock::now(), nullptr, r.have - r.length);
    EXPECT_EQ(second.status, PacketRead::Whole);
    EXPECT_EQ(second.length, next.size());
}

TEST_F(PacketReader, AFirstBlockNamingNoFrameLengthIsGarbledAtOnce) {
    SimPacket packet = sim_encrypt(status_reply(1, 0, {}));
    // Lengths below the smallest frame and above the reply buffer.
    for (const std::uint32_t badLength : {0u, 17u, static_cast<std::uint32_t>(kMaxReplyFrameLength + 1), 0xFFFFu}) {
        SimFrame frame = status_reply(1, 0, {});
        frame[2] = static_cast<std::uint8_t>(badLength & 0xFF);
        frame[3] = static_cast<std::uint8_t>(badLength >> 8);
        const SimPacket bad = sim_encrypt(frame);
        ScriptedSource source({Bytes(bad.begin(), bad.begin() + 16)});
        Bytes buf(kLinkRecvBufSize);
        const PacketReadResult r = read_packet(source, buf.data(), buf.size(), PacketClock::now());
        EXPECT_EQ(r.status, PacketRead::Garbled) << badLength;
        EXPECT_EQ(source.reads, 1) << "waited for more after a garbled first block";
    }
}

}  // namespace
