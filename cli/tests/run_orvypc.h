// orvypc run as a process, as a technician or a script runs it: standard
// output, standard error and exit status. Output goes through files so
// nothing can block; the bound only keeps a broken build from hanging a
// suite. ORVYPC_EXE names the program; starting it is the platform's
// (run_orvypc_posix.cpp, run_orvypc_win.cpp).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

struct Outcome {
    int status = -1;
    std::string out, err;
    std::vector<std::string> lines() const {
        std::vector<std::string> v;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) v.push_back(line);
        return v;
    }
};

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs the program with `args`, at most a minute.
Outcome run_orvypc(const std::vector<std::string>& args);

// This test process's number, for names no other run uses.
int test_process_id();

// The local data folder (user_local_data_folder(): the logbook's) of the
// programs this test starts from now on.
void set_local_data_folder(const std::string& folder);
