#include "processes.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

constexpr std::chrono::milliseconds kPoll{20};

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

bool eventually(const std::function<bool()>& done, std::chrono::milliseconds patience) {
    const auto until = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(kPoll);
    }
}

Process::Process(std::vector<std::string> argv, const std::filesystem::path& folder, bool input) {
    static int counter = 0;
    const std::string base = std::filesystem::path(argv[0]).filename().string() + "-" + std::to_string(++counter);
    out_ = folder / (base + ".out");
    err_ = folder / (base + ".err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeFds[2] = {-1, -1};
    if (input && pipe2(pipeFds, O_CLOEXEC) == 0) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
        input_ = pipeFds[1];
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (pipeFds[0] >= 0) close(pipeFds[0]);
}

Process::~Process() {
    if (input_ >= 0) close(input_);
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::vector<std::string> Process::out_lines() const {
    std::vector<std::string> lines;
    std::istringstream in(slurp(out_));
    // A line still being written (no line end yet) is not taken.
    for (std::string line; std::getline(in, line);)
        if (!in.eof()) lines.push_back(line);
    return lines;
}

std::string Process::err() const { return slurp(err_); }

int Process::wait_for_line(const std::function<bool(const std::string&)>& match, std::size_t from,
                           std::chrono::milliseconds patience) {
    int found = -1;
    eventually(
        [&] {
            const std::vector<std::string> lines = out_lines();
            for (std::size_t i = from; i < lines.size(); ++i)
                if (match(lines[i])) return found = static_cast<int>(i), true;
            return !running();
        },
        patience);
    return found;
}

void Process::write_line(const std::string& line) {
    const std::string text = line + "\n";
    if (input_ < 0) return;
    [[maybe_unused]] const ssize_t n = write(input_, text.data(), text.size());
}

void Process::signal(int sig) {
    if (pid_ > 0) kill(pid_, sig);
}

bool Process::running() {
    if (pid_ <= 0 || status_ >= 0) return false;
    int w = 0;
    if (waitpid(pid_, &w, WNOHANG) != pid_) return true;
    status_ = WIFEXITED(w) ? WEXITSTATUS(w) : 128 + WTERMSIG(w);
    return false;
}

int Process::wait_exit(std::chrono::milliseconds patience) {
    eventually([&] { return !running(); }, patience);
    return status_;
}

MailServerProcess::MailServerProcess(const std::filesystem::path& folder, int port, const std::string& mechanisms,
                                     const std::string& refuse)
    : folder_(folder),
      process_({"/usr/bin/python3", ORVYPC_SMTP_SERVER, "--dir", folder.string(), "--user", kMailUser, "--password",
                kMailPassword, "--port", std::to_string(port), "--mechanisms", mechanisms, "--refuse", refuse},
               folder) {
    const int line = process_.wait_for_line([](const std::string& l) { return l.rfind("PORT ", 0) == 0; });
    if (line >= 0) port_ = std::stoi(process_.out_lines()[static_cast<std::size_t>(line)].substr(5));
}

std::vector<nlohmann::json> MailServerProcess::messages() const {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder_))
        if (entry.path().extension() == ".json") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<nlohmann::json> out;
    for (const auto& f : files) out.push_back(nlohmann::json::parse(slurp(f), nullptr, false));
    return out;
}

void MailServerProcess::stop() {
    process_.signal(SIGTERM);
    process_.wait_exit();
}
