// The orvypc-gateway-sim program as a process: its options, its messages,
// serving on the port it prints, and stopping on SIGTERM.
#include "raw_client.h"
#include "sim_responder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace {

bool wait_readable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}

// The program with its standard output and error on one pipe.
class Program {
public:
    explicit Program(std::vector<std::string> args) {
        args.insert(args.begin(), ORVYPC_SIM_PROGRAM);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int fds[2];
        if (::pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }

    // Output until it holds `text` or the program's output ends (bounded).
    std::string read_until(const std::string& text) {
        while (output_.find(text) == std::string::npos && wait_readable(out_, kWaitMs)) {
            char buf[1024];
            const ssize_t n = ::read(out_, buf, sizeof buf);
            if (n <= 0) break;
            output_.append(buf, static_cast<std::size_t>(n));
        }
        return output_;
    }

    // The exit status after the program ends by itself or on `sig`; -1 when
    // it is still running after the bounded wait.
    int wait_exit(int sig = 0) {
        if (sig) ::kill(pid_, sig);
        for (int i = 0; i < kWaitMs / 5; ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                read_until("\x01");  // the rest of the output
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return -1;
    }

    std::uint16_t listening_port() {
        const std::string out = read_until(" (UDP discovery and TCP)");
        const auto at = out.find(" port ");
        return at == std::string::npos ? 0 : static_cast<std::uint16_t>(std::atoi(out.c_str() + at + 6));
    }

    const std::string& output() const { return output_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string output_;
};

TEST(Program, HelpListsTheOptionsAndExitsCleanly) {
    Program p({"--help"});
    EXPECT_EQ(p.wait_exit(), 0);
    for (const char* option : {"--bind ADDR", "--port N", "--data FILE", "--delay MS", "--drop", "--bad-checksum",
                               "--wrong-command", "--wrong-unit", "--end-5f", "--split", "--close-after N",
                               "--missing UNIT", "--busy UNIT", "--gateways N"}) {
        EXPECT_NE(p.output().find(option), std::string::npos) << option;
    }
}

TEST(Program, RefusesBadOptionsWithAMessage) {
    const struct {
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {
        {{"--frobnicate"}, 2, "unknown option \"--frobnicate\""},
        {{"--port"}, 2, "--port needs a value"},
        {{"--port", "70000"}, 2, "--port needs a number from 0 to 65535, got \"70000\""},
        {{"--busy", "A5,C9"}, 2, "--busy needs a number from 0 to 127, got \"C9\""},
        {{"--only", "21,xyz"}, 2, "--only needs command codes in hexadecimal"},
        {{"--data", "/nonexistent/luminaires.json"}, 1, "/nonexistent/luminaires.json: cannot be opened"},
        {{"--bind", "not-an-address"}, 1, "\"not-an-address\" is not an IPv4 address"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        Program p(c.args);
        EXPECT_EQ(p.wait_exit(), c.status);
        EXPECT_NE(p.output().find(c.message), std::string::npos) << p.output();
    }
}

TEST(Program, ServesOnThePortItPrintsWithTheFaultsItIsGivenUntilTerminated) {
    aes_load_key();
    Program p({"--data", ORVYPC_SIM_DATA "/example.json", "--gateways", "2", "--busy", "A5", "--verbose"});
    const std::uint16_t port = p.listening_port();
    ASSERT_NE(port, 0) << p.output();
    EXPECT_NE(p.output().find("4 luminaires, listening on 127.0.0.1 port"), std::string::npos);

    const auto answers = discover(port, 2);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].from, "127.0.0.1");
    EXPECT_EQ(answers[1].from, "127.0.0.2");
    {
        TcpClient c(port);
        const auto busy = c.exchange(kCmdStatus, {0x41, 5});
        ASSERT_TRUE(busy);
        EXPECT_EQ((*busy)[kReplyResult], kStatusDaliBusy);
        const auto fine = c.exchange(kCmdStatus, {0x41, 1});
        ASSERT_TRUE(fine);
        EXPECT_EQ((*fine)[kReplyResult], 0);
    }
    p.read_until("rx tcp A5 6C 14 00 01 00 00 00 00 00 00 00 00 00 21 41 01");
    EXPECT_EQ(p.wait_exit(SIGTERM), 0);
    EXPECT_NE(p.output().find("rx udp A5 6C 12 00"), std::string::npos);
    EXPECT_NE(p.output().find("stopped (1 connections, 2 replies)"), std::string::npos) << p.output();
}

}  // namespace
