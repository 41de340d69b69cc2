// Sending mail, behind one small interface: the monitor hands over a
// message and learns whether the server accepted it. The real sender talks
// SMTP through the mail library (mail_sender_curl.cpp); a build without it
// has one that says so (mail_sender_unavailable.cpp); tests count what was
// sent with one of their own.
#pragma once

#include "mail_message.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct MailResult {
    bool accepted = false;
    std::string error;                // why not, in words
    // Not accepted: the server refused this message for good (a 5xx reply
    // to the message itself), so it would refuse it again as it is.
    bool refusedForGood = false;
    // Not accepted as far as we know, but the whole message had gone when
    // the exchange broke off: the server may have taken it.
    bool mayHaveArrived = false;
};

class MailSender {
public:
    virtual ~MailSender() = default;
    // Accepted means the server took the message for every recipient.
    virtual MailResult send(const MailMessage& message) = 0;
};

// Where and how the mail goes.
inline constexpr int kSubmissionPort = 587;   // SMTP submission, STARTTLS
inline constexpr int kImplicitTlsPort = 465;  // SMTP over TLS from the first byte

struct MailServer {
    std::string host;
    int port = kSubmissionPort;
    std::string user;                 // empty: no login
    // The password: empty to let the library take it from ~/.netrc (the
    // entry for this host and user).
    std::string password;
    std::string caFile;               // PEM certificates to trust instead of the system's; empty: the system's
};

// Whether this build can send mail at all; when not, why in words.
bool mail_sending_available();
inline constexpr const char* kNoMailInThisBuild =
    "this build of orvypc cannot send e-mail (the Windows build has no mail library): the changes are only printed, "
    "in each round's line";

// The sender for `server`. `stop` is asked while a message is on its way:
// true ends the exchange within a tenth of a second (not accepted).
std::unique_ptr<MailSender> make_mail_sender(const MailServer& server, std::function<bool()> stop);
