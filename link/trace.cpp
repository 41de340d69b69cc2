#include "trace.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

std::mutex g_traceMutex;
TraceSink g_traceSink = trace_to_stdout;

}  // namespace

void trace_to_stdout(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void set_trace_sink(TraceSink sink) {
    std::lock_guard lock(g_traceMutex);
    g_traceSink = std::move(sink);
}

void trace(const char* format, ...) {
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
