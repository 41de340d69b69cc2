// Trace lines: the program's diagnostics, printf-style, on one sink.
// By default they go to standard output; the command-line front end turns
// them off unless asked, tests capture them.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#if defined(__MINGW32__)
// The C99 printf of mingw-w64 (__USE_MINGW_ANSI_STDIO), not the system one.
#define ORVYPC_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define ORVYPC_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define ORVYPC_PRINTF(fmt, args)
#endif

// Writes one formatted trace text exactly as given (no line end is added).
void trace(const char* format, ...) ORVYPC_PRINTF(1, 2);

// Where trace texts go. An empty function silences them. Safe to call from
// any thread; the sink itself is called under a lock, one text at a time.
using TraceSink = std::function<void(std::string_view)>;
void set_trace_sink(TraceSink sink);
// The default sink: standard output, flushed after each text.
void trace_to_stdout(std::string_view text);
