// The save-file dialog, behind an interface: the desktop program shows the
// real dialog, the command-line front end and the tests answer with a path.
#pragma once

#include <optional>
#include <string>
#include <vector>

class SavePrompt {
public:
    virtual ~SavePrompt() = default;
    // Proposed file name in, chosen full path out; std::nullopt when the user
    // cancels. The dialog is modal, in save mode, opens in "./", asks before
    // it overwrites a file and adds no extension of its own.
    virtual std::optional<std::string> ask_save_path(const std::string& proposedName) = 0;
};

// The dialog's filter: one entry whose patterns are the four extensions.
// The status export's text differs from the lists' in its blanks only.
inline constexpr const char* kListSaveFilter = "file (*.doc; *.ppt; *.xls;*.xlsx)|*.doc;*.ppt;*.xls;*.xlsx||";
inline constexpr const char* kStatusSaveFilter = "file (*.doc; *.ppt;*.xls; *.xlsx)|*.doc;*.ppt;*.xls;*.xlsx||";

// Answers every question with one path chosen beforehand (the front end's
// output option), or cancels when given none. A path ending in '/' names a
// folder: the answer is that folder plus the proposed name.
class FixedPathPrompt final : public SavePrompt {
public:
    explicit FixedPathPrompt(std::optional<std::string> path) : path_(std::move(path)) {}

    std::optional<std::string> ask_save_path(const std::string& proposedName) override {
        proposed_.push_back(proposedName);
        if (path_ && !path_->empty() && path_->back() == '/') return *path_ + proposedName;
        return path_;
    }

    // The names proposed so far, in order.
    const std::vector<std::string>& proposed() const { return proposed_; }

private:
    std::optional<std::string> path_;
    std::vector<std::string> proposed_;
};
