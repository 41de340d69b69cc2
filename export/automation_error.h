// The exceptions a failed automation call raises. The export that made the
// call does not catch them; whoever started the export reports what().
#pragma once

#include "automation_types.h"

#include <stdexcept>
#include <string>

// Common base: what() is the text to show the user.
class AutomationError : public std::runtime_error {
public:
    AutomationError(automation::Status status, const std::string& text)
        : std::runtime_error(text), status_(status) {}
    automation::Status status() const { return status_; }

private:
    automation::Status status_;
};

// The call failed with a status and nothing more to say about it.
class AutomationException : public AutomationError {
public:
    explicit AutomationException(automation::Status status);
};

// The server reported an exception (kDispException) and described it; the
// description is what the user sees.
class DispatchException : public AutomationError {
public:
    explicit DispatchException(const automation::ExcepInfo& info);
    const std::string& description() const { return info_.description; }
    const std::string& source() const { return info_.source; }
    const std::string& help_file() const { return info_.helpFile; }
    std::uint32_t help_context() const { return info_.helpContext; }

private:
    automation::ExcepInfo info_;
};

// The system's wording for a status code, with the code, e.g.
// "Type mismatch. (0x80020005)".
std::string describe_status(automation::Status status);
