// The real sender: SMTP through libcurl. STARTTLS is required (a server that
// does not offer it gets nothing, the login least of all), or TLS from the
// first byte on port 465; the certificate is checked against the system's
// authorities or the configured file. The message goes as compose_mail()
// wrote it: libcurl adds nothing to it but the dot-stuffing of SMTP's DATA,
// which our quoted-printable makes moot anyway (no line starts with a dot).
#include "mail_sender.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>

namespace {

constexpr long kConnectTimeoutMs = 15000;
// Every reply of the server within this time, and the whole message within
// the longer one (a workbook of a few hundred kilobytes on a slow line).
constexpr long kServerResponseTimeoutS = 60;
constexpr long kTransferTimeoutMs = 300000;
constexpr int kStopCheckMs = 100;
// SMTP reply codes: 4xx a passing failure, 5xx a permanent one. A 5xx to
// the message itself (after its last line), or 552 for its size (at MAIL
// FROM, when the server gives its limit), refuses this message and not the
// others; one at the greeting, the login or a recipient is the set-up's.
constexpr long kFirstTransientReply = 400;
constexpr long kFirstPermanentReply = 500;
constexpr long kPastPermanentReplies = 600;
constexpr long kMessageTooBig = 552;

struct Upload {
    std::string bytes;
    std::size_t sent = 0;
};

std::size_t read_upload(char* buffer, std::size_t size, std::size_t count, void* user) {
    auto* up = static_cast<Upload*>(user);
    const std::size_t n = std::min(size * count, up->bytes.size() - up->sent);
    std::memcpy(buffer, up->bytes.data() + up->sent, n);
    up->sent += n;
    return n;
}

// A user name as the user part of a URL: every byte but letters and digits
// escaped, so '@' and ':' in it stay its own.
std::string url_escaped(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u)) {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

class CurlMailSender final : public MailSender {
public:
    CurlMailSender(MailServer server, std::function<bool()> stop) : server_(std::move(server)), stop_(std::move(stop)) {
        static std::once_flag once;
        std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    }

    MailResult send(const MailMessage& message) override;

private:
    MailServer server_;
    std::function<bool()> stop_;
};

MailResult CurlMailSender::send(const MailMessage& message) {
    CURL* easy = curl_easy_init();
    CURLM* multi = curl_multi_init();
    if (easy == nullptr || multi == nullptr) {
        if (easy) curl_easy_cleanup(easy);
        if (multi) curl_multi_cleanup(multi);
        return {false, "the mail library could not start"};
    }
    const bool implicitTls = server_.port == kImplicitTlsPort;
    // Without a password of ours the user goes into the address: that is
    // how libcurl looks up its password in ~/.netrc (a user set as an
    // option would go with an empty one).
    const bool fromNetrc = server_.password.empty();
    const std::string url = std::string(implicitTls ? "smtps://" : "smtp://") +
                            (fromNetrc && !server_.user.empty() ? url_escaped(server_.user) + "@" : "") + server_.host +
                            ":" + std::to_string(server_.port);
    const std::string from = "<" + message.from + ">";
    curl_slist* recipients = nullptr;
    for (const std::string& to : message.to) recipients = curl_slist_append(recipients, ("<" + to + ">").c_str());
    Upload upload{compose_mail(message), 0};
    char errorText[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(easy, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    if (!server_.caFile.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, server_.caFile.c_str());
    if (fromNetrc) {
        curl_easy_setopt(easy, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_OPTIONAL));
    } else {
        curl_easy_setopt(easy, CURLOPT_USERNAME, server_.user.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, server_.password.c_str());
    }
    curl_easy_setopt(easy, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(easy, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(easy, CURLOPT_READFUNCTION, read_upload);
    curl_easy_setopt(easy, CURLOPT_READDATA, &upload);
    curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(upload.bytes.size()));
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, kServerResponseTimeoutS);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, kTransferTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);

    // The multi interface, so that a stop is seen while the server is slow.
    curl_multi_add_handle(multi, easy);
    MailResult result;
    bool stopped = false;
    for (int running = 1; running > 0;) {
        if (curl_multi_perform(multi, &running) != CURLM_OK) break;
        if (running == 0) break;
        if (stop_ && stop_()) {
            stopped = true;
            break;
        }
        curl_multi_poll(multi, nullptr, 0, kStopCheckMs, nullptr);
    }
    CURLcode code = CURLE_FAILED_INIT;
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &left))
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) code = msg->data.result;
    long reply = 0;   // the server's last reply code
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply);
    const bool wholeMessageWent = upload.sent == upload.bytes.size();
    if (stopped) {
        result.error = "stopped before the mail server took the message";
        result.mayHaveArrived = wholeMessageWent;
    } else if (code == CURLE_OK) {
        result.accepted = true;
    } else {
        result.error = "the mail server " + server_.host + ":" + std::to_string(server_.port) +
                       " did not take the message: " + (errorText[0] ? errorText : curl_easy_strerror(code));
        if (reply != 0) result.error += " (its reply: " + std::to_string(reply) + ")";
        const bool refused = reply >= kFirstTransientReply && reply < kPastPermanentReplies;
        result.refusedForGood = refused && reply >= kFirstPermanentReply && (wholeMessageWent || reply == kMessageTooBig);
        result.mayHaveArrived = wholeMessageWent && !refused;
    }
    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
    curl_multi_cleanup(multi);
    curl_slist_free_all(recipients);
    return result;
}

}  // namespace

bool mail_sending_available() { return true; }

std::unique_ptr<MailSender> make_mail_sender(const MailServer& server, std::function<bool()> stop) {
    return std::make_unique<CurlMailSender>(server, std::move(stop));
}
