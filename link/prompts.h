// What the link and the queries ask of the window: a modal message box and
// the status line. The desktop program answers with widgets, the
// command-line front end with standard error, tests with a recorder.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class Prompts {
public:
    virtual ~Prompts() = default;

    // A modal message box with an OK button and the caption "OrvyPc"; returns
    // when the user has dismissed it. Called from the user-interface thread
    // and from the heartbeat thread, never while the link holds a lock.
    virtual void message_box(const std::string& text) = 0;

    // A modal question with Yes and No buttons and the caption "OrvyPc";
    // true for Yes. Asked on the user-interface thread only. Where nobody
    // can answer, the answer is No.
    virtual bool ask_yes_no(const std::string& text) {
        (void)text;
        return false;
    }

    // A modal choice of one of `options` (a list, the first chosen at
    // first) with OK and Cancel and the caption "OrvyPc": the index of the
    // one chosen, none when cancelled. Asked on the user-interface thread
    // or a worker (which waits for the answer). Where nobody can answer,
    // none.
    virtual std::optional<std::size_t> ask_choice(const std::string& text, const std::vector<std::string>& options) {
        (void)text;
        (void)options;
        return std::nullopt;
    }

    // The main window's status line (control 1016) gets a new text. Its
    // colour follows bConnected: black when connected, red when not.
    virtual void set_status_line(const std::string& text) = 0;
};

// The program-wide prompts. Until one is installed, message boxes and the
// status line go to standard error.
void set_prompts(Prompts* prompts);
Prompts& prompts();
