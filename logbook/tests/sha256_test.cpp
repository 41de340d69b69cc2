// SHA-256 of the system's library (libcrypto on Linux, CNG on Windows)
// against the examples of FIPS 180-4 (NIST's published example values).
#include "sha256.h"

#include <gtest/gtest.h>

namespace {

struct Vector {
    const char* what;
    std::string message;
    const char* digest;
};

TEST(Sha256, GivesTheFipsExampleDigests) {
    const std::vector<Vector> vectors = {
        {"one block, \"abc\"", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"two blocks, 448 bits", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"a million 'a'", std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {"nothing", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    };
    for (const Vector& v : vectors) {
        const auto whole = sha256_of(v.message);
        ASSERT_TRUE(whole) << v.what;
        EXPECT_EQ(hex_text(*whole), v.digest) << v.what;
        // The same message in uneven pieces.
        Sha256 pieces;
        for (std::size_t at = 0, n = 1; at < v.message.size(); at += n, n = n * 3 % 1000 + 1)
            pieces.add(std::string_view(v.message).substr(at, n));
        const auto joined = pieces.finish();
        ASSERT_TRUE(joined) << v.what;
        EXPECT_EQ(*joined, *whole) << v.what;
    }
}

}  // namespace
