// The window's answer to what the link and the queries ask of the user: a
// modal message box with an OK button and the caption "OrvyPc", and the
// main window's status line.
//
// Called from the user-interface thread, a prompt acts at once. Called from
// the heartbeat thread, it is handed to the user-interface thread and the
// worker waits until the user has dismissed the box; shut_down() releases a
// waiting worker (and drops later boxes from workers), so that the
// heartbeat can be stopped and joined while a box of its own is pending.
#pragma once

#include "prompts.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <functional>
#include <mutex>

class COrvyPcDlg;

class QtPrompts : public QObject, public Prompts {
    Q_OBJECT
public:
    // Attaches itself to `window` (whose status line it writes, and over
    // which its boxes are modal).
    explicit QtPrompts(COrvyPcDlg* window);
    ~QtPrompts() override;

    void message_box(const std::string& text) override;
    void set_status_line(const std::string& text) override;
    bool ask_yes_no(const std::string& text) override;
    std::optional<std::size_t> ask_choice(const std::string& text, const std::vector<std::string>& options) override;

    void shut_down();

protected:
    // The modal box itself; runs on the user-interface thread.
    virtual void show_message_box(const QString& text);
    virtual bool show_question(const QString& text);
    // The index chosen, or -1 when cancelled.
    virtual int show_choice(const QString& text, const QStringList& options);

private:
    void run_on_ui_thread(std::function<void()> action);

    COrvyPcDlg* m_window;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_closing = false;
};
