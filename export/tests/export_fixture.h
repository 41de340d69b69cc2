// What the export tests share: a fixed clock, the trace and the message
// boxes captured, a scratch folder, and one log in which the dialog and the
// message boxes note when they were shown.
#pragma once

#include "class_registry.h"
#include "export_clock.h"
#include "export_guard.h"
#include "list_export.h"
#include "prompts.h"
#include "scratch_env.h"
#include "save_prompt.h"
#include "status_export.h"
#include "trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

// 2015-07-08 14:03:09 UTC.
inline constexpr std::time_t kFixedTime = 1436364189;

// The headings the tests' lists carry.
inline const ListRowTexts kTestHeadings = {"Address", "Name", "Location", "Test Date", "Type", "Time(min)", "Result"};

// A list to export: rows as inserted, read when the export asks for them.
class TestList {
public:
    void insert_row(bool atTop, const ListRowTexts& row) {
        rows_.insert(atTop ? rows_.begin() : rows_.end(), row);
    }
    operator ListReader() const {
        return [this] { return ListTable{kTestHeadings, rows_}; };
    }

private:
    std::vector<ListRowTexts> rows_;
};

// 74 status lines in the nine sections of a status record, each section as
// long as the record's.
inline std::vector<StatusLine> sample_lines() {
    const std::pair<const char*, int> sections[] = {
        {"Status", 8}, {"Test Timing", 6}, {"Default parameters", 7}, {"Member of Group(s)", 16},
        {"Features", 8}, {"Operating mode", 8}, {"Additional information", 5}, {"Emergency status", 8},
        {"Faults", 8}};
    std::vector<StatusLine> lines;
    for (const auto& [name, count] : sections) {
        for (int i = 0; i < count; ++i) {
            lines.push_back({name, std::string(name) + " item " + std::to_string(i), i % 2 ? "Yes" : "80 %"});
        }
    }
    return lines;
}

class EventLog {
public:
    std::vector<std::string> events;
};

class LoggingPrompts final : public Prompts {
public:
    explicit LoggingPrompts(EventLog& log) : log_(log) {}
    void message_box(const std::string& text) override { log_.events.push_back("message:" + text); }
    void set_status_line(const std::string&) override {}

private:
    EventLog& log_;
};

class ScriptedSavePrompt final : public SavePrompt {
public:
    ScriptedSavePrompt(EventLog& log, std::optional<std::string> answer) : log_(log), answer_(std::move(answer)) {}
    std::optional<std::string> ask_save_path(const std::string& proposedName) override {
        log_.events.push_back("dialog:" + proposedName);
        return answer_;
    }

private:
    EventLog& log_;
    std::optional<std::string> answer_;
};

class ExportFixture : public ::testing::Test {
protected:
    void SetUp() override {
        use_utc_local_time();
        set_export_clock([] { return kFixedTime; });
        set_trace_sink([this](std::string_view text) { traced += text; });
        set_prompts(&prompts_);
        dir = new_scratch_folder();
    }
    void TearDown() override {
        automation::reset_class_registry();
        set_export_clock(nullptr);
        set_trace_sink(trace_to_stdout);
        set_prompts(nullptr);
        std::filesystem::remove_all(dir);
    }

    std::string path(const std::string& name) const { return (dir / name).string(); }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
        return names;
    }
    static std::string read_file(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Runs the test results export of one row to `target` through
    // run_export: the message shown, or "" when the save succeeded.
    std::string export_to(const std::string& target) {
        TestList list;
        list.insert_row(false, {"A3", "Exit", "Door", "2015/07/08 10:00:00", "FT", "none", "OK"});
        FixedPathPrompt prompt(target);
        log.events.clear();
        const bool ok = run_export([&] { ExportTestResults(list, prompt); });
        EXPECT_EQ(ok, log.events.empty());
        return ok ? "" : log.events.back();
    }

    EventLog log;
    std::string traced;
    std::filesystem::path dir;

private:
    LoggingPrompts prompts_{log};
};
