#include "trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

std::mutex g_traceMutex;
TraceSink g_traceSink = trace_to_stdout;
// Without a sink a trace line is not even formatted: the listings trace the
// whole unit list before every details follow-up, which would otherwise cost
// as much as the exchange itself.
std::atomic<bool> g_traceOn{true};

}  // namespace

void trace_to_stdout(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void set_trace_sink(TraceSink sink) {
    std::lock_guard lock(g_traceMutex);
    g_traceSink = std::move(sink);
    g_traceOn = static_cast<bool>(g_traceSink);
}

void trace(const char* format, ...) {
    if (!g_traceOn.load(std::memory_order_relaxed)) return;
    char small[256];
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);

    std::string text;
    if (needed >= 0 && static_cast<std::size_t>(needed) < sizeof small) {
        text.assign(small, static_cast<std::size_t>(needed));
    } else if (needed >= 0) {
        text.resize(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<std::size_t>(needed));
    }
    va_end(again);

    std::lock_guard lock(g_traceMutex);
    if (g_traceSink) g_traceSink(text);
}
