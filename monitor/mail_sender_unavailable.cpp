// A build without the mail library: every message is refused, saying why.
#include "mail_sender.h"

namespace {

class NoMailSender final : public MailSender {
public:
    MailResult send(const MailMessage&) override { return {false, kNoMailInThisBuild}; }
};

}  // namespace

bool mail_sending_available() { return false; }

std::unique_ptr<MailSender> make_mail_sender(const MailServer&, std::function<bool()>) {
    return std::make_unique<NoMailSender>();
}
