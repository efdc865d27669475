#include "eval/sha256.h"

#include <gtest/gtest.h>

#include <string>

static std::string Hex(const u8 digest[32]) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (int i = 0; i < 32; ++i) {
    text += digits[digest[i] >> 4];
    text += digits[digest[i] & 15];
  }
  return text;
}

// FIPS 180-4 example vectors (NIST CSRC examples and the SHA-256 test vectors).
TEST(Sha256, PublishedVectors) {
  struct Case {
    std::string message;
    const char* digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlm"
       "nopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases) {
    u8 digest[32];
    Sha256Digest(reinterpret_cast<const u8*>(c.message.data()), c.message.size(), digest);
    EXPECT_EQ(Hex(digest), c.digest) << "message of " << c.message.size() << " bytes";
  }
}

// Lengths around the padding boundary (55, 56, 63, 64 bytes) fed in uneven pieces must give
// the one-shot digest.
TEST(Sha256, PiecewiseUpdatesMatchOneShot) {
  std::string data;
  for (int i = 0; i < 300; ++i) data += static_cast<char>(i * 7 + 3);
  for (std::size_t length : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 300}) {
    u8 expected[32];
    const u8* bytes = reinterpret_cast<const u8*>(data.data());
    Sha256Digest(bytes, length, expected);
    Sha256 ctx;
    Sha256Init(&ctx);
    std::size_t done = 0, piece = 1;
    while (done < length) {
      const std::size_t take = std::min(piece, length - done);
      Sha256Update(&ctx, bytes + done, take);
      done += take;
      piece = piece * 3 + 1;
    }
    u8 digest[32];
    Sha256Final(&ctx, digest);
    EXPECT_EQ(Hex(digest), Hex(expected)) << "length " << length;
  }
}
