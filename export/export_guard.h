// The top of every export: whoever starts one (a button, a front-end
// command) runs it through here, so a failed automation call is reported
// with its own text and never leaves the handler, let alone the window
// system's event loop.
#pragma once

#include <functional>

// Runs `exportCall`; true when it ended without an exception. Otherwise the
// exception's text has been shown in a message box (prompts()).
bool run_export(const std::function<void()>& exportCall);
