#include "mail_message.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kMaxLine = 78;              // the recommended limit of a mail line
constexpr std::size_t kQpLine = 76;               // quoted-printable's limit, the soft break's '=' included
constexpr std::size_t kBase64Line = 76;
constexpr std::size_t kEncodedWordBytes = 39;     // UTF-8 bytes per encoded word: 52 base64 characters
constexpr const char* kReplacement = "\xEF\xBF\xBD";   // U+FFFD
constexpr const char* kCrlf = "\r\n";

// The length of the UTF-8 sequence at `i`, or 0 when it is not a valid one
// (overlong forms, surrogates and values past U+10FFFF included).
std::size_t utf8_length(const std::string& s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80) return 1;
    std::size_t n = 0;
    unsigned min = 0;
    unsigned value = 0;
    if (c >= 0xC2 && c <= 0xDF) n = 2, min = 0x80, value = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, min = 0x800, value = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, min = 0x10000, value = c & 0x07;
    else return 0;
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        value = value << 6 | (b(i + k) & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    // C1 control characters count as invalid here too.
    if (value >= 0x80 && value <= 0x9F) return 0;
    return n;
}

std::string hex_escape(unsigned char c) {
    char out[4];
    std::snprintf(out, sizeof out, "=%02X", c);
    return out;
}

// A header's text on one logical line: line feeds and tabs become blanks.
std::string header_safe(const std::string& text) {
    std::string out = mail_safe_text(text);
    for (char& c : out)
        if (c == '\n' || c == '\t') c = ' ';
    return out;
}

bool plain_ascii_header(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return text.find("=?") == std::string::npos;
}

// Plain words folded at blanks so that no line passes kMaxLine.
std::string fold_words(const std::string& text, std::size_t used) {
    std::string out;
    std::size_t col = used;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        if (start > 0) {
            if (col + 1 + word.size() > kMaxLine) {
                out += kCrlf;
                col = 0;
            }
            out += ' ';
            ++col;
        }
        out += word;
        col += word.size();
        start = end + 1;
    }
    return out;
}

std::string file_name_ascii(const std::string& name) {
    std::string out;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        out += u >= 0x20 && u < 0x7F && c != '"' && c != '\\' ? c : '_';
    }
    return out.empty() ? "attachment" : out;
}

// A boundary no encoded part can contain: quoted-printable writes '=' as
// =3D and base64 has no '_', so "=_" cannot occur in them.
std::string boundary(const MailMessage& m, const char* what) {
    std::string id;
    for (const char c : m.messageId)
        if (std::isalnum(static_cast<unsigned char>(c)) && id.size() < 32) id += c;
    return std::string("=_OrvyPc_") + what + "_" + id;
}

std::string text_part(const char* subtype, const std::string& text) {
    return std::string("Content-Type: text/") + subtype + "; charset=UTF-8" + kCrlf +
           "Content-Transfer-Encoding: quoted-printable" + kCrlf + kCrlf + quoted_printable(text);
}

std::string attachment_part(const MailAttachment& a) {
    const std::string name = file_name_ascii(a.fileName);
    // The type on a line of its own: a long one still fits.
    return "Content-Type:" + std::string(kCrlf) + " " + a.contentType + ";" + kCrlf + " name=\"" + name + "\"" + kCrlf +
           "Content-Disposition: attachment;" + kCrlf + " filename=\"" + name + "\"" + kCrlf +
           "Content-Transfer-Encoding: base64" + kCrlf + kCrlf + base64_lines(a.bytes);
}

std::string multipart(const char* subtype, const std::string& mark, const std::vector<std::string>& parts) {
    std::string out = std::string("Content-Type: multipart/") + subtype + ";" + kCrlf + " boundary=\"" + mark + "\"" +
                      kCrlf + kCrlf;
    // The line end before a delimiter belongs to the delimiter: one more
    // keeps each part's own last line end.
    for (const std::string& p : parts) out += "--" + mark + kCrlf + p + kCrlf;
    return out + "--" + mark + "--" + kCrlf;
}

long days_from_civil(int y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

}  // namespace

std::string mail_safe_text(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            ++i;
            continue;
        }
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) {
            out += kReplacement;
            ++i;
            continue;
        }
        const std::size_t n = utf8_length(text, i);
        if (n == 0) {
            out += kReplacement;
            ++i;
            continue;
        }
        out.append(text, i, n);
        i += n;
    }
    return out;
}

std::string html_escape(const std::string& text) {
    std::string out;
    for (const char c : mail_safe_text(text)) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

bool plain_mail_address(const std::string& address) {
    const std::size_t at = address.find('@');
    if (at == 0 || at == std::string::npos || at + 1 >= address.size() || address.size() > 254) return false;
    if (address.find('@', at + 1) != std::string::npos) return false;
    for (std::size_t i = 0; i < address.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(address[i]);
        if (i == at) continue;
        const bool local = i < at;
        if (std::isalnum(c) || c == '.' || c == '-') continue;
        if (local && std::strchr("!#$%&'*+/=?^_`{|}~", c) != nullptr && c != 0) continue;
        return false;
    }
    return address[at + 1] != '.' && address.back() != '.' && address.front() != '.';
}

std::string rfc2047_header_text(const std::string& utf8, std::size_t firstLineUsed) {
    const std::string text = header_safe(utf8);
    if (plain_ascii_header(text)) return fold_words(text, firstLineUsed);
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t end = i;
        while (end < text.size()) {
            const std::size_t n = std::max<std::size_t>(1, utf8_length(text, end));
            if (end + n - i > kEncodedWordBytes) break;
            end += n;
        }
        if (!out.empty()) out += std::string(kCrlf) + " ";
        out += "=?UTF-8?B?" + base64_lines(text.substr(i, end - i));
        out.resize(out.size() - 2);   // the line end base64_lines adds
        out += "?=";
        i = end;
    }
    return out;
}

std::string quoted_printable(const std::string& utf8) {
    const std::string text = mail_safe_text(utf8);
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::size_t col = 0;
        for (std::size_t i = start; i < end; ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            const bool last = i + 1 == end;
            auto token_for = [&](std::size_t at) {
                const bool encode = c == '=' || c >= 0x80 || (c < 0x20 && c != '\t') ||
                                    ((c == ' ' || c == '\t') && last) || (at == 0 && c == '.') ||
                                    (at == 0 && c == 'F' && text.compare(i, 5, "From ") == 0);
                return encode ? hex_escape(c) : std::string(1, static_cast<char>(c));
            };
            std::string token = token_for(col);
            // Room for the soft break's '=' after the last token of a line.
            if (col + token.size() > kQpLine - 1) {
                out += "=";
                out += kCrlf;
                col = 0;
                token = token_for(col);
            }
            out += token;
            col += token.size();
        }
        out += kCrlf;
        start = end + 1;
    }
    return out;
}

std::string base64_lines(const std::string& bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t col = 0;
    auto put = [&](char c) {
        out += c;
        if (++col == kBase64Line) {
            out += kCrlf;
            col = 0;
        }
    };
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 3; ++k)
            v = v << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0U);
        put(kAlphabet[v >> 18 & 63]);
        put(kAlphabet[v >> 12 & 63]);
        put(n > 1 ? kAlphabet[v >> 6 & 63] : '=');
        put(n > 2 ? kAlphabet[v & 63] : '=');
    }
    if (col != 0 || out.empty()) out += kCrlf;
    return out;
}

std::string rfc5322_date(std::time_t when) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm t{};
    localtime_r(&when, &t);
    const long localSeconds = days_from_civil(t.tm_year + 1900, static_cast<unsigned>(t.tm_mon + 1),
                                              static_cast<unsigned>(t.tm_mday)) * 86400L +
                              t.tm_hour * 3600L + t.tm_min * 60L + t.tm_sec;
    const long offsetMinutes = (localSeconds - static_cast<long>(when)) / 60;
    const long absolute = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char out[64];
    std::snprintf(out, sizeof out, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", kDays[t.tm_wday % 7], t.tm_mday,
                  kMonths[t.tm_mon % 12], t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec,
                  offsetMinutes < 0 ? '-' : '+', absolute / 60, absolute % 60);
    return out;
}

std::string compose_mail(const MailMessage& m) {
    std::string out = "Date: " + rfc5322_date(m.date) + kCrlf;
    out += "From: " + rfc2047_header_text(m.fromName, std::strlen("From: ")) + " <" + m.from + ">" + kCrlf;
    out += "To: ";
    for (std::size_t i = 0; i < m.to.size(); ++i) out += (i ? std::string(",") + kCrlf + " " : "") + m.to[i];
    out += kCrlf;
    out += "Subject: " + rfc2047_header_text(m.subject, std::strlen("Subject: ")) + kCrlf;
    out += "Message-ID: " + m.messageId + kCrlf;
    // Written by a program: vacation responders leave it alone.
    out += std::string("Auto-Submitted: auto-generated") + kCrlf;
    out += std::string("MIME-Version: 1.0") + kCrlf;

    const std::string body = m.html.empty() ? text_part("plain", m.text)
                                            : multipart("alternative", boundary(m, "alt"),
                                                        {text_part("plain", m.text), text_part("html", m.html)});
    if (m.attachments.empty()) return out + body;
    std::vector<std::string> parts{body};
    for (const MailAttachment& a : m.attachments) parts.push_back(attachment_part(a));
    return out + multipart("mixed", boundary(m, "mix"), parts);
}
