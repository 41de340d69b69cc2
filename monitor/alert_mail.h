// How an alert reads as an e-mail: a subject that counts what changed ("OrvyPc:
// 2 new faults at Hospital West"), the changes as plain text, and the same
// as an HTML table with the survey's verdict colours; the workbook attached
// when the alert holds one.
#pragma once

#include "alert.h"
#include "mail_message.h"

#include <string>
#include <vector>

struct MailAddressing {
    std::string from;
    std::vector<std::string> to;
    std::string host;                 // the machine the monitor runs on, for the footer
};

// A time on this machine's clock, as the mails and the round lines write
// it: "2026-12-09 22:03:46" by default.
inline constexpr const char* kLocalTimeFormat = "%Y-%m-%d %H:%M:%S";
inline constexpr const char* kLocalIsoFormat = "%Y-%m-%dT%H:%M:%S";
std::string local_time_text(std::time_t when, const char* format = kLocalTimeFormat);

std::string alert_subject(const Alert& alert);
MailMessage alert_mail(const Alert& alert, const MailAddressing& addressing);

// The message `orvypc monitor --test-mail` sends.
MailMessage test_mail(const MailAddressing& addressing, const std::string& server, std::time_t now,
                      const std::string& messageId);
