// orvypc-gateway-sim: a gateway on this machine for trying the program out
// and for tests. Prints the port it listens on and runs until interrupted.
#include "gateway_sim.h"
#include "sim_data.h"
#include "stop_request.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace {

const char* const kUsage =
    "usage: orvypc-gateway-sim [options]\n"
    "  --bind ADDR        address to listen on (default 127.0.0.1)\n"
    "  --port N           UDP discovery and TCP port (default 0: a free one)\n"
    "  --data FILE        luminaires from a JSON file (default: built-in demonstration set)\n"
    "  --full-site        a full site instead: 128 luminaires, 64 on each line\n"
    "faults:\n"
    "  --delay MS         wait before each reply\n"
    "  --drop             answer no request on TCP (also --silent)\n"
    "  --bad-checksum     replies with a sum off by one\n"
    "  --wrong-command    replies naming another command\n"
    "  --wrong-unit       replies naming another unit\n"
    "  --end-5f           replies ending with 0x5F\n"
    "  --split            each reply in two TCP sends\n"
    "  --cut OFFSET,...   each reply packet written in pieces cut at these byte offsets\n"
    "  --cut-pause MS     pause between the pieces of --cut (default 60)\n"
    "  --byte-at-a-time   each reply packet written one byte per send\n"
    "  --twice            each reply packet sent twice in one write\n"
    "  --garble           each reply packet's first block scrambled\n"
    "  --on-reply N       the reply faults only for the Nth reply (over all connections)\n"
    "  --close-after N    close the connection after N replies\n"
    "  --missing UNIT,... status result 1 (unit does not exist) for these units\n"
    "  --busy UNIT,...    status result 2 (DALI busy) for these units\n"
    "  --gateways N       N gateways answer discovery (127.0.0.1, 127.0.0.2, ...)\n"
    "  --oversize         replies too long for one receive (1056-byte packets)\n"
    "  --short-packet     reply packets cut to 16 bytes\n"
    "  --frame-length N   reply frames cut or padded to N bytes (at least 18)\n"
    "  --bad-magic        replies starting 5A instead of A5\n"
    "  --bad-end          replies ending with 0x00\n"
    "  --only CMD,...     reply faults only for these commands (hex: 21,10,15,ff)\n"
    "  --ignore-discovery answer no discovery datagram\n"
    "  --discovery-delay MS  wait before answering discovery\n"
    "other:\n"
    "  --verbose          print every frame received and sent\n"
    "  --commands         read luminaire changes from standard input, one JSON object a line,\n"
    "                     such as {\"address\": \"A1\", \"status\": {\"failureStatus\": 4}};\n"
    "                     each is answered \"ok A1\" or \"error: ...\" on standard output\n"
    "  --help             this text\n"
    "UNIT is a unit number (0-127) or an address such as A5 or B63.\n";

[[noreturn]] void usage_error(const std::string& text) {
    std::fprintf(stderr, "orvypc-gateway-sim: %s\n%s", text.c_str(), kUsage);
    std::exit(2);
}

long number_arg(const std::string& option, const char* text, long min, long max);

std::vector<int> offsets_arg(const std::string& option, const char* text) {
    std::vector<int> out;
    std::string item;
    const std::string all = std::string(text) + ",";
    for (const char c : all) {
        if (c != ',') {
            item += c;
            continue;
        }
        out.push_back(static_cast<int>(number_arg(option, item.c_str(), 1, 1 << 20)));
        item.clear();
    }
    return out;
}

long number_arg(const std::string& option, const char* text, long min, long max) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || v < min || v > max) {
        usage_error(option + " needs a number from " + std::to_string(min) + " to " + std::to_string(max) +
                    ", got \"" + text + "\"");
    }
    return v;
}

std::set<std::uint8_t> units_arg(const std::string& option, const std::string& text) {
    std::set<std::uint8_t> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        if (auto unit = parse_unit_address(item)) {
            out.insert(*unit);
        } else {
            out.insert(static_cast<std::uint8_t>(number_arg(option, item.c_str(), 0, 127)));
        }
        start = comma + 1;
    }
    return out;
}

std::set<std::uint8_t> commands_arg(const std::string& option, const std::string& text) {
    std::set<std::uint8_t> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        char* end = nullptr;
        const unsigned long v = std::strtoul(item.c_str(), &end, 16);
        if (item.empty() || *end != '\0' || v > 0xFF) {
            usage_error(option + " needs command codes in hexadecimal (such as 21,10), got \"" + item + "\"");
        }
        out.insert(static_cast<std::uint8_t>(v));
        start = comma + 1;
    }
    return out;
}

std::mutex g_printMutex;

void print_line(const std::string& line) {
    std::lock_guard lock(g_printMutex);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// Luminaire changes read from standard input while the simulator runs, one
// JSON object a line, each answered on standard output. Ends at the end of
// the input; once the program stops, a line read after that is ignored.
// The reading thread shares its state, so it may outlive main's frame.
class CommandReader {
public:
    explicit CommandReader(GatewaySim& sim) : state_(std::make_shared<State>()) {
        state_->sim = &sim;
        std::thread([state = state_] { read(*state); }).detach();
    }
    // After this no change reaches the simulator.
    void close() {
        std::lock_guard lock(state_->mu);
        state_->sim = nullptr;
    }

private:
    struct State {
        std::mutex mu;
        GatewaySim* sim = nullptr;
    };
    static void read(State& state) {
        for (std::string line; std::getline(std::cin, line);) {
            if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
            std::lock_guard lock(state.mu);
            if (state.sim == nullptr) return;
            print_line(apply(*state.sim, line));
        }
    }
    static std::string apply(GatewaySim& sim, const std::string& line) {
        try {
            const SimLuminaireChange change = parse_luminaire_change(line, "command");
            const std::string address = (change.unit < 64 ? "A" : "B") + std::to_string(change.unit % 64);
            if (!sim.change_luminaire(change.unit, [&](SimLuminaire& l) { change.apply(l); }))
                return "error: command: no luminaire " + address;
            return "ok " + address;
        } catch (const std::exception& e) {
            return std::string("error: ") + e.what();
        }
    }

    std::shared_ptr<State> state_;
};

}  // namespace

int main(int argc, char** argv) {
    SimConfig config;
    std::string dataFile;
    bool fullSite = false;
    bool commands = false;
    SimFaults& f = config.faults;
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) usage_error(opt + " needs a value");
            return argv[++i];
        };
        if (opt == "--help" || opt == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (opt == "--bind") config.bindAddress = value();
        else if (opt == "--port") config.port = static_cast<std::uint16_t>(number_arg(opt, value(), 0, 65535));
        else if (opt == "--data") dataFile = value();
        else if (opt == "--full-site") fullSite = true;
        else if (opt == "--delay") f.replyDelayMs = static_cast<int>(number_arg(opt, value(), 0, 600000));
        else if (opt == "--drop") f.dropReplies = true;
        else if (opt == "--silent") f.silent = true;
        else if (opt == "--bad-checksum") f.badChecksum = true;
        else if (opt == "--wrong-command") f.wrongCommandEcho = true;
        else if (opt == "--wrong-unit") f.wrongUnitEcho = true;
        else if (opt == "--end-5f") f.endByte5F = true;
        else if (opt == "--split") f.splitReplies = true;
        else if (opt == "--cut") f.cutOffsets = offsets_arg(opt, value());
        else if (opt == "--cut-pause") f.cutPauseMs = static_cast<int>(number_arg(opt, value(), 0, 600000));
        else if (opt == "--byte-at-a-time") f.byteAtATime = true;
        else if (opt == "--twice") f.replyTwice = true;
        else if (opt == "--garble") f.garbleReply = true;
        else if (opt == "--on-reply") f.onReply = static_cast<int>(number_arg(opt, value(), 1, 1000000));
        else if (opt == "--close-after") f.closeAfterReplies = static_cast<int>(number_arg(opt, value(), 0, 1000000));
        else if (opt == "--missing") f.unitsMissing = units_arg(opt, value());
        else if (opt == "--busy") f.unitsBusy = units_arg(opt, value());
        else if (opt == "--gateways") f.extraGateways = static_cast<int>(number_arg(opt, value(), 1, 200)) - 1;
        else if (opt == "--oversize") f.oversizeReply = true;
        else if (opt == "--short-packet") f.shortPacket = true;
        else if (opt == "--frame-length") f.replyFrameLength = static_cast<int>(number_arg(opt, value(), 18, 1048));
        else if (opt == "--bad-magic") f.badMagic = true;
        else if (opt == "--bad-end") f.badEndByte = true;
        else if (opt == "--only") f.onlyCommands = commands_arg(opt, value());
        else if (opt == "--ignore-discovery") f.ignoreDiscovery = true;
        else if (opt == "--discovery-delay") f.discoveryDelayMs = static_cast<int>(number_arg(opt, value(), 0, 600000));
        else if (opt == "--commands") commands = true;
        else if (opt == "--verbose") {
            config.frameLog = [](const std::string& line) { print_line(line); };
        }
        else usage_error("unknown option \"" + opt + "\"");
    }
    try {
        config.luminaires = fullSite ? full_site_luminaires()
                            : dataFile.empty() ? demo_luminaires() : load_luminaires_json(dataFile);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orvypc-gateway-sim: %s\n", e.what());
        return 1;
    }

    prepare_for_stop();  // before the threads start, so that the request arrives here

    const std::size_t count = config.luminaires.size();
    const std::string bind = config.bindAddress;
    GatewaySim sim(std::move(config));
    if (!sim.start()) return 1;
    {
        std::lock_guard lock(g_printMutex);
        std::printf("orvypc-gateway-sim: %zu luminaires, listening on %s port %u (UDP discovery and TCP)\n",
                    count, bind.c_str(), static_cast<unsigned>(sim.port()));
        std::fflush(stdout);
    }
    std::optional<CommandReader> reader;
    if (commands) reader.emplace(sim);

    wait_for_stop();
    if (reader) reader->close();
    sim.stop();
    std::printf("orvypc-gateway-sim: stopped (%d connections, %d replies)\n", sim.connections_accepted(),
                sim.replies_sent());
    return 0;
}
