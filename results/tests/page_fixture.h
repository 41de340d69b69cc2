// What the page tests share: the gateway simulator on loopback with the
// luminaires a test chooses, the link connected to it directly (no
// broadcast) with short time-outs and no heartbeat, the prompts recorded
// instead of shown, and the workbook checker run on a file a page wrote.
#pragma once

#include "gateway_link.h"
#include "gateway_sim.h"
#include "link_settings.h"
#include "prompts.h"
#include "save_prompt.h"
#include "trace.h"

#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The cursor the application shows now: its override shape, or -1 for none.
inline int shown_cursor()
{
    const QCursor* c = QGuiApplication::overrideCursor();
    return c != nullptr ? int(c->shape()) : -1;
}

class RecordingPrompts final : public Prompts {
public:
    void message_box(const std::string& text) override
    {
        boxes.push_back(text);
        cursors.push_back(shown_cursor());
    }
    void set_status_line(const std::string&) override {}
    bool ask_yes_no(const std::string& text) override
    {
        questions.push_back(text);
        return answerYes;
    }
    std::vector<std::string> boxes;
    std::vector<std::string> questions;
    bool answerYes = false;
    std::vector<int> cursors;  // the cursor while each box was asked for
};

// A save dialog answered with a folder, noting the cursor while it was asked.
class FolderSavePrompt final : public SavePrompt {
public:
    explicit FolderSavePrompt(std::string folder) : m_answer(folder + "/") {}
    std::optional<std::string> ask_save_path(const std::string& proposedName) override
    {
        cursors.push_back(shown_cursor());
        return m_answer.ask_save_path(proposedName);
    }
    const std::vector<std::string>& proposed() const { return m_answer.proposed(); }
    std::vector<int> cursors;

private:
    FixedPathPrompt m_answer;
};

// A luminaire with a name, a location, and `entries` test entries (oldest
// first, one a month), each telling its place by its minute.
inline SimLuminaire page_luminaire(std::uint8_t unit, int entries, const std::u16string& name = u"Stair")
{
    SimLuminaire l;
    l.unit = unit;
    l.name = name;
    l.location = u"Level 1";
    for (std::size_t i = 0; i < l.status.size(); ++i) l.status[i] = std::uint8_t(unit + 3 * i);
    for (int i = 0; i < entries; ++i) {
        SimTestEntry e;
        e.type = std::uint8_t(i % 2);
        e.year = 2026;
        e.month = std::uint8_t(1 + i);
        e.day = 2;
        e.hour = 3;
        e.minute = std::uint8_t(10 + i);
        e.second = 5;
        e.result = 1;
        e.minutes = std::uint8_t(i % 2 ? 180 : 1);
        e.offset = std::uint16_t(i);
        l.entries.push_back(e);
    }
    return l;
}

class PageGateway {
public:
    explicit PageGateway(std::vector<SimLuminaire> luminaires)
    {
        aes_load_key();
        ResetLink();
        SimConfig config;
        config.luminaires = std::move(luminaires);
        m_sim = std::make_unique<GatewaySim>(config);
        m_started = m_sim->start();
        LinkSettings s;
        s.gatewayAddress = "127.0.0.1";
        s.broadcastAddress = "127.255.255.255";
        s.port = m_sim->port();
        s.heartbeatPeriodMs = 600000;  // no heartbeat during a test
        s.sendTimeoutMs = 1000;
        s.recvTimeoutMs = 1000;
        set_link_settings(s);
        set_prompts(&prompts);
        set_trace_sink([this](std::string_view t) { traced += t; });
        if (m_started) ScanGateway();
        m_sim->clear_received_frames();
        traced.clear();
    }
    ~PageGateway()
    {
        ResetLink();
        m_sim.reset();
        set_prompts(nullptr);
        set_trace_sink(trace_to_stdout);
    }
    bool connected() const { return m_started && g_link.bConnected.load() == 1; }
    GatewaySim& sim() { return *m_sim; }

    // The payloads of the requests of one command, in order.
    std::vector<std::vector<std::uint8_t>> payloads_of(std::uint8_t cmd) const
    {
        std::vector<std::vector<std::uint8_t>> out;
        for (const auto& f : m_sim->received_frames()) {
            if (f.size() < 18 || f[14] != cmd) continue;
            const std::size_t total = std::size_t(f[2]) | std::size_t(f[3]) << 8;  // magic .. end byte
            if (total < 18 || total > f.size()) continue;
            out.emplace_back(f.begin() + 15, f.begin() + std::ptrdiff_t(total) - 3);
        }
        return out;
    }

    RecordingPrompts prompts;
    std::string traced;

private:
    std::unique_ptr<GatewaySim> m_sim;
    bool m_started = false;
};

// Runs the export tests' reader on a workbook a page wrote:
// check_workbooks.py --check <kind> <file> <what to expect ...>. Empty when
// the reader accepts it, else what it said. Under Wine a Windows program
// cannot wait for a Linux one or learn its exit status: there only the
// file's being a whole zip archive is checked here, and the reader checks
// the Windows build's workbooks through orvypc.exe (tests/windows).
inline QString check_workbook(const QStringList& arguments)
{
#ifdef _WIN32
    QFile book(arguments.value(1));
    if (!book.open(QIODevice::ReadOnly)) return QStringLiteral("no workbook ") + arguments.value(1);
    const QByteArray bytes = book.readAll();
    // A local file header first, the end of the central directory (22
    // bytes and a comment) last.
    const qsizetype end = bytes.lastIndexOf("PK\x05\x06");
    if (!bytes.startsWith("PK\x03\x04") || end < 0 || end + 22 > bytes.size())
        return QStringLiteral("not a whole zip archive: ") + arguments.value(1);
    return {};
#else
    QProcess reader;
    reader.setProcessChannelMode(QProcess::MergedChannels);
    reader.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral(ORVYPC_CHECK_WORKBOOKS), QStringLiteral("--check")} + arguments);
    if (!reader.waitForFinished(120000)) {
        reader.kill();
        reader.waitForFinished();
        return QStringLiteral("the reader did not finish");
    }
    if (reader.exitStatus() == QProcess::NormalExit && reader.exitCode() == 0) return {};
    return QString::fromUtf8(reader.readAll());
#endif
}
