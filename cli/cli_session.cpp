#include "cli_session.h"

#include "cli.h"
#include "export_guard.h"
#include "gateway_link.h"
#include "trace.h"

#include <filesystem>
#include <iostream>

void CliPrompts::message_box(const std::string& text) {
    std::cerr << text << '\n';
    ++shown;
}

std::string tsv_field(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    return out;
}

void print_line(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += '\t';
        line += tsv_field(fields[i]);
    }
    std::cout << line << '\n';
}

Session::Session(const CliOptions& o) : options_(o) {
    set_prompts(&prompts_);
    if (o.trace) set_trace_sink(trace_to_stdout);
    else set_trace_sink(nullptr);
}

Session::~Session() {
    ResetLink();
    std::cout.flush();
    set_prompts(nullptr);
    set_trace_sink(trace_to_stdout);
}

bool Session::connect() {
    if (aes_load_key() != 0) {
        std::cerr << "orvypc: the cipher key could not be loaded\n";
        return false;
    }
    set_link_settings(options_.link);
    ScanGateway();
    if (g_link.bConnected.load() != 1) {
        if (!prompts_.statusLine.empty()) std::cerr << prompts_.statusLine << '\n';
        else std::cerr << "orvypc: no gateway found\n";
        return false;
    }
    return g_link.tcp_sock != kInvalidSocket;   // a failed connect has shown its message
}

int Session::failed(int code, const std::string& why) {
    if (prompts_.shown == 0) std::cerr << "orvypc: " << why << '\n';
    return code;
}

int Session::failed_always(int code, const std::string& why) {
    std::cerr << "orvypc: " << why << '\n';
    return code;
}

int Session::write_workbook(const std::function<void(SavePrompt&)>& exportCall) {
    FixedPathPrompt prompt(options_.output);
    const int shownBefore = prompts_.shown;
    const bool ran = run_export([&] { exportCall(prompt); });
    std::string path = options_.output;
    if (!path.empty() && path.back() == '/' && !prompt.proposed().empty()) path += prompt.proposed().back();
    std::error_code ec;
    // The name is UTF-8 on every platform; a u8string says so to filesystem.
    const std::filesystem::path written(std::u8string(path.begin(), path.end()));
    if (ran && prompts_.shown == shownBefore && std::filesystem::is_regular_file(written, ec)) return kExitOk;
    return failed(kExitExport, "the workbook was not written");
}
