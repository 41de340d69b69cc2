#include "qt_prompts.h"

#include "main_window.h"
#include "page_support.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include <memory>

QtPrompts::QtPrompts(COrvyPcDlg* window) : m_window(window)
{
    if (m_window != nullptr) m_window->SetPrompts(this);
}

QtPrompts::~QtPrompts()
{
    shut_down();
    if (m_window != nullptr) m_window->SetPrompts(nullptr);
}

void QtPrompts::shut_down()
{
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_done.notify_all();
}

void QtPrompts::message_box(const std::string& text)
{
    const QString message = QString::fromStdString(text);
    run_on_ui_thread([this, message] { show_message_box(message); });
}

void QtPrompts::set_status_line(const std::string& text)
{
    const QString line = QString::fromStdString(text);
    run_on_ui_thread([this, line] {
        if (m_window != nullptr) m_window->SetStatusLine(line);
    });
}

bool QtPrompts::ask_yes_no(const std::string& text)
{
    bool yes = false;
    const QString question = QString::fromStdString(text);
    run_on_ui_thread([this, question, &yes] { yes = show_question(question); });
    return yes;
}

std::optional<std::size_t> QtPrompts::ask_choice(const std::string& text, const std::vector<std::string>& options)
{
    const QString question = QString::fromStdString(text);
    QStringList items;
    for (const std::string& o : options) items << QString::fromStdString(o);
    // Shared: a worker let go by shut_down() no longer waits for it.
    auto chosen = std::make_shared<int>(-1);
    run_on_ui_thread([this, question, items, chosen] {
        const int answer = show_choice(question, items);
        std::lock_guard lock(m_mutex);
        *chosen = answer;
    });
    std::lock_guard lock(m_mutex);
    if (*chosen < 0 || *chosen >= items.size()) return std::nullopt;
    return static_cast<std::size_t>(*chosen);
}

int QtPrompts::show_choice(const QString& text, const QStringList& options)
{
    QInputDialog box(m_window);
    box.setWindowTitle(QStringLiteral("OrvyPc"));
    box.setLabelText(text);
    box.setComboBoxItems(options);
    box.setComboBoxEditable(false);
    ArrowWhileAsking arrow;
    if (box.exec() != QDialog::Accepted) return -1;
    return int(options.indexOf(box.textValue()));
}

bool QtPrompts::show_question(const QString& text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("OrvyPc"), text, QMessageBox::Yes | QMessageBox::No,
                    m_window);
    box.setDefaultButton(QMessageBox::No);
    ArrowWhileAsking arrow;
    return box.exec() == QMessageBox::Yes;
}

void QtPrompts::show_message_box(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("OrvyPc"), text, QMessageBox::Ok, m_window);
    ArrowWhileAsking arrow;  // a query or export may have set the busy cursor
    box.exec();
}

void QtPrompts::run_on_ui_thread(std::function<void()> action)
{
    if (QThread::currentThread() == thread()) {
        action();
        return;
    }
    // A worker: hand the prompt over and wait until it has been answered,
    // or until the program shuts down (then nobody will answer it).
    struct Pending {
        bool finished = false;
    };
    auto pending = std::make_shared<Pending>();
    {
        std::lock_guard lock(m_mutex);
        if (m_closing) return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, pending, action = std::move(action)] {
            bool closing;
            {
                std::lock_guard lock(m_mutex);
                closing = m_closing;
            }
            if (!closing) action();
            {
                std::lock_guard lock(m_mutex);
                pending->finished = true;
            }
            m_done.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [&] { return pending->finished || m_closing; });
}
