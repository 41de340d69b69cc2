// orvypc started by posix_spawn, its output into files.
#include "run_orvypc.h"

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

int test_process_id() { return static_cast<int>(getpid()); }

void set_local_data_folder(const std::string& folder) { setenv("XDG_DATA_HOME", folder.c_str(), 1); }

Outcome run_orvypc(const std::vector<std::string>& args) {
    static std::atomic<int> counter{0};   // runs may start from several threads at once
    const std::string base = (std::filesystem::temp_directory_path() /
                              ("orvypc-run-" + std::to_string(getpid()) + "-" + std::to_string(++counter)))
                                 .string();
    const std::string outPath = base + ".out", errPath = base + ".err";

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> all{ORVYPC_EXE};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    Outcome r;
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, ORVYPC_EXE, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << ORVYPC_EXE;
        return r;
    }
    int wstatus = 0;
    for (int i = 0;; ++i) {   // at most a minute
        if (waitpid(pid, &wstatus, WNOHANG) == pid) break;
        if (i == 6000) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            ADD_FAILURE() << "orvypc did not end";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    r.out = slurp(outPath);
    r.err = slurp(errPath);
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return r;
}
