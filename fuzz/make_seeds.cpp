// Writes the seed corpus of the fuzz targets from the protocol's real frames:
// the simulator's replies to discovery, heartbeat, status and both listings
// over its demonstration luminaires, clean and with each frame fault, and the
// cell references the workbooks use.
//
//   orvypc-fuzz-seeds DIR      (writes DIR/<target>/<name>)
#include "packet_cipher.h"
#include "sim_data.h"
#include "sim_responder.h"
#include "sim_wire.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

void write(const fs::path& dir, const std::string& name, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> text(const std::string& s) { return {s.begin(), s.end()}; }

struct Named {
    std::string name;
    SimFrame frame;
    bool entry;   // a test-results or details reply
    bool status;  // a status reply
};

// The faults that change a frame's bytes (the others change timing or the
// connection).
std::vector<std::pair<std::string, SimFaults>> frame_faults() {
    std::vector<std::pair<std::string, SimFaults>> v;
    SimFaults f;
    f.badChecksum = true;
    v.emplace_back("sum", f);
    f = {};
    f.wrongCommandEcho = true;
    v.emplace_back("cmd", f);
    f = {};
    f.wrongUnitEcho = true;
    v.emplace_back("unit", f);
    f = {};
    f.endByte5F = true;
    v.emplace_back("end5f", f);
    f = {};
    f.badEndByte = true;
    v.emplace_back("end00", f);
    f = {};
    f.badMagic = true;
    v.emplace_back("magic", f);
    f = {};
    f.replyFrameLength = 40;
    v.emplace_back("cut40", f);
    f = {};
    f.oversizeReply = true;
    v.emplace_back("oversize", f);
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: orvypc-fuzz-seeds DIR\n");
        return 1;
    }
    const fs::path out = argv[1];
    if (aes_load_key() != 0) return 1;

    const std::vector<SimLuminaire> lums = demo_luminaires();
    std::vector<Named> frames;
    frames.push_back({"discovery", discovery_reply(1), false, false});
    frames.push_back({"heartbeat", heartbeat_reply(), false, false});
    for (std::size_t i = 0; i < lums.size(); i += 5) {
        const SimLuminaire& l = lums[i];
        const std::string u = std::to_string(l.unit);
        frames.push_back({"status-" + u, status_reply(l.unit, 0, l.status), false, true});
        if (i == 0) {
            frames.push_back({"status-missing-" + u, status_reply(l.unit, kStatusUnitMissing, l.status), false, true});
            frames.push_back({"status-busy-" + u, status_reply(l.unit, kStatusDaliBusy, l.status), false, true});
        }
        if (!l.entries.empty()) {
            frames.push_back({"results-" + u, entry_reply(0x10, l, l.entries.back()), true, false});
            frames.push_back({"details-" + u, entry_reply(0x15, l, l.entries.front()), true, false});
        }
        frames.push_back({"bare-" + u, bare_listing_reply(0x10, 0, l.unit), true, false});
    }
    frames.push_back({"end-results", bare_listing_reply(0x10, kListingEnd, 0), true, false});
    frames.push_back({"end-details", bare_listing_reply(0x15, kListingEnd, 0), true, false});

    // A status and a listing reply with each frame fault.
    const Named status = frames[2];
    Named listing;
    for (const Named& n : frames)
        if (n.name.rfind("results-", 0) == 0) listing = n;
    std::vector<Named> faulty;
    for (const auto& [faultName, faults] : frame_faults())
        for (const Named& n : {status, listing})
            faulty.push_back({n.name + "-" + faultName, apply_frame_faults(n.frame, faults, true), n.entry, n.status});
    frames.insert(frames.end(), faulty.begin(), faulty.end());

    for (const Named& n : frames) {
        write(out / "reply", n.name + ".bin", sim_encrypt(n.frame));
        if (n.status) write(out / "status_reply", n.name + ".bin", n.frame);
        if (n.entry) write(out / "test_result", n.name + ".bin", n.frame);
    }
    // Whole listings: every reply of a luminaire's details, then the end.
    for (std::size_t i = 0; i < lums.size(); i += 7) {
        const SimLuminaire& l = lums[i];
        std::vector<std::uint8_t> listing;
        for (const SimTestEntry& e : l.entries) {
            const SimFrame f = entry_reply(0x15, l, e);
            listing.insert(listing.end(), f.begin(), f.end());
            const std::string sep = "|NEXT|";
            listing.insert(listing.end(), sep.begin(), sep.end());
        }
        const SimFrame end = bare_listing_reply(0x15, kListingEnd, l.unit);
        listing.insert(listing.end(), end.begin(), end.end());
        write(out / "test_result", "listing-" + std::to_string(l.unit) + ".bin", listing);
    }

    // The references the workbooks and the wrappers use, and their forms.
    const char* refs[] = {"A1", "B2", "$B$2", "A1:G1", "A2:G129", "a1:c3", "A:C", "1:3", " B2 ", "XFD1048576",
                          "A1:XFD1048576", "$A$1:$D$75", "G129", "C3:A1", "AA10"};
    int k = 0;
    for (const char* r : refs) write(out / "cell_reference", "ref-" + std::to_string(++k) + ".txt", text(r));
    return 0;
}
