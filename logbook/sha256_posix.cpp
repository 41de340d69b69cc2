// SHA-256 from OpenSSL's libcrypto: the digest is fetched once, each hash
// has a context of its own.
#include "sha256.h"

#include <openssl/evp.h>

namespace {

const EVP_MD* sha256_method() {
    // Fetched once for the program; freed with the library at exit.
    static EVP_MD* const method = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    return method;
}

}  // namespace

struct Sha256::State {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    const EVP_MD* method = sha256_method();
    failed_ = method == nullptr || state_->context == nullptr ||
              EVP_DigestInit_ex2(state_->context, method, nullptr) != 1;
}

Sha256::~Sha256() = default;

void Sha256::add(const void* bytes, std::size_t n) {
    if (!failed_ && n != 0) failed_ = EVP_DigestUpdate(state_->context, bytes, n) != 1;
}

std::optional<Sha256Digest> Sha256::finish() {
    Sha256Digest out{};
    unsigned int size = 0;
    if (failed_ || EVP_DigestFinal_ex(state_->context, out.data(), &size) != 1 || size != out.size()) return std::nullopt;
    failed_ = true;   // used up
    return out;
}
