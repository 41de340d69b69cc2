// A gateway named on the command line by host name: its IPv4 address. One
// implementation file per platform.
#pragma once

#include <string>

// The dotted-decimal IPv4 address `name` resolves to (the first one), or
// false when it resolves to none.
bool resolve_ipv4_host(const std::string& name, std::string* dotted);
