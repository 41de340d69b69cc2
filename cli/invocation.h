// One start of orvypc, read from its whole command line in one place: which
// front end runs (the commands or the window) and with which options. Every
// other part of the program takes what this found and reads no argv.
//
// The window's rule: an argument that is neither a command nor an option of
// the front end (a switch such as "/foo") is left to the window, which
// ignores it. A word that is no switch and no command ("statsu") is a
// misspelt command: a usage error.
#pragma once

#include "cli_session.h"

#include <string>
#include <vector>

// The automation-server switches of the window. Each is introduced by "/"
// or "-" and compared without regard to case; the per-user forms act as
// the plain ones.
struct CommandLineInfo {
    bool runEmbedded = false;   // "Embedding" or "Automation": no window, keep running
    bool unregister = false;    // "Unregister", "Unregserver" (and their PerUser forms)
    bool registerServer = false;  // "Register", "Regserver" (and their PerUser forms)
    bool any() const { return runEmbedded || unregister || registerServer; }
};
CommandLineInfo ParseCommandLine(const std::vector<std::string>& arguments);

enum class FrontEnd { Commands, Window };

struct Invocation {
    FrontEnd frontEnd = FrontEnd::Window;
    // The window's server switches; any of them takes the window's place.
    CommandLineInfo server;
    bool demo = false;       // --demo: the simulator on loopback, for either front end
    // The commands' options; the window takes the link and logbook ones.
    CliOptions options;
    std::string error;       // a usage error, one line; empty when none
};

// `argv[0]` is the program; the rest are read in order.
Invocation parse_invocation(int argc, char** argv);
