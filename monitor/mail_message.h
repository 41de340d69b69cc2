// An e-mail as this program writes it, and its text on the wire: the
// headers (Date, Message-ID, From, To, Subject, MIME), a plain-text body
// and an HTML one as alternatives, and attachments. Composed here, not by
// the mail library, so every byte is ours to test:
//  - every line ends with CRLF and none is longer than 78 characters;
//  - a subject that is not plain ASCII is written in RFC 2047 encoded
//    words (UTF-8, base64), split between whole characters;
//  - the texts go quoted-printable in UTF-8, the attachments base64;
//  - no line starts with a dot (quoted-printable writes a leading dot as
//    =2E), so the message never depends on the transport's dot-stuffing;
//  - text that is not valid UTF-8, and control characters in it, become
//    U+FFFD: nothing from a gateway can add a header or break a line.
#pragma once

#include <ctime>
#include <string>
#include <vector>

struct MailAttachment {
    std::string fileName;             // plain ASCII (others become '_')
    std::string contentType;
    std::string bytes;
};

struct MailMessage {
    std::string fromName = "OrvyPc";
    std::string from;                 // the sender's address, user@domain
    std::vector<std::string> to;      // the recipients' addresses
    std::string subject;              // UTF-8
    std::time_t date = 0;
    std::string messageId;            // "<id@domain>"
    std::string text;                 // UTF-8, lines ended by '\n'
    std::string html;                 // UTF-8; empty: the text alone
    std::vector<MailAttachment> attachments;
};

// The whole message as it goes to the mail server.
std::string compose_mail(const MailMessage& message);

// Whether `address` is a plain address (local@domain, no blanks, no
// angle brackets, quotes, commas or control characters) that can go into
// a header and the SMTP envelope as it is.
bool plain_mail_address(const std::string& address);

// The pieces, for the tests and the alerts' texts.
std::string rfc2047_header_text(const std::string& utf8, std::size_t firstLineUsed);
std::string quoted_printable(const std::string& utf8);
std::string base64_lines(const std::string& bytes);
// "Tue, 03 Nov 2026 01:09:21 +0100": the date in the local zone.
std::string rfc5322_date(std::time_t when);
// Invalid UTF-8 and control characters other than line feed and tab made
// U+FFFD; a carriage return dropped.
std::string mail_safe_text(const std::string& text);
// & < > " made entities, after mail_safe_text.
std::string html_escape(const std::string& text);
