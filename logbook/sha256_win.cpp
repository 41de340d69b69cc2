// SHA-256 from Windows' own Cryptography API: Next Generation (bcrypt.dll):
// the algorithm provider is opened once, each hash has an object of its own.
#include "sha256.h"

#include <windows.h>
#include <bcrypt.h>

namespace {

bool succeeded(NTSTATUS status) { return status >= 0; }

BCRYPT_ALG_HANDLE sha256_provider() {
    static BCRYPT_ALG_HANDLE const provider = [] {
        BCRYPT_ALG_HANDLE h = nullptr;
        return succeeded(BCryptOpenAlgorithmProvider(&h, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ? h : nullptr;
    }();
    return provider;
}

}  // namespace

struct Sha256::State {
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~State() {
        if (hash != nullptr) BCryptDestroyHash(hash);
    }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    // No object buffer given: the system keeps the hash's state itself.
    const BCRYPT_ALG_HANDLE provider = sha256_provider();
    failed_ = provider == nullptr || !succeeded(BCryptCreateHash(provider, &state_->hash, nullptr, 0, nullptr, 0, 0));
}

Sha256::~Sha256() = default;

void Sha256::add(const void* bytes, std::size_t n) {
    // BCryptHashData takes a 32-bit length: large inputs go in pieces.
    constexpr std::size_t kPiece = 1u << 30;
    const auto* p = static_cast<const unsigned char*>(bytes);
    while (!failed_ && n > 0) {
        const std::size_t piece = n < kPiece ? n : kPiece;
        failed_ = !succeeded(BCryptHashData(state_->hash, const_cast<PUCHAR>(p), static_cast<ULONG>(piece), 0));
        p += piece;
        n -= piece;
    }
}

std::optional<Sha256Digest> Sha256::finish() {
    Sha256Digest out{};
    if (failed_ || !succeeded(BCryptFinishHash(state_->hash, out.data(), static_cast<ULONG>(out.size()), 0)))
        return std::nullopt;
    failed_ = true;   // used up
    return out;
}
