// SHA-256 (FIPS 180-4), for the logbook's seals. The digest comes from the
// system's well-kept implementation: OpenSSL's libcrypto on Linux, the
// Cryptography API: Next Generation on Windows (one file per platform).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(const void* bytes, std::size_t n);
    void add(std::string_view text) { add(text.data(), text.size()); }
    // The digest of everything added, or none when the system's
    // implementation failed (it is not there, no memory); the object is
    // then used up.
    std::optional<Sha256Digest> finish();

private:
    struct State;
    std::unique_ptr<State> state_;
    bool failed_ = false;
};

std::optional<Sha256Digest> sha256_of(std::string_view bytes);
// 64 lower-case hex digits.
std::string hex_text(const Sha256Digest& digest);
