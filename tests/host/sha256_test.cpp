#include "hash/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Each engine in turn: the portable one forced, and the fastest, which is
// the SHA instructions only where the processor has them (qemu-i386 does
// not); elsewhere it would be the portable one again.
class Sha256Engines : public ::testing::TestWithParam<Sha256Engine> {
 protected:
  void SetUp() override {
    if (GetParam() == Sha256Engine::Fastest && !sha256InstructionsAvailable()) {
      GTEST_SKIP() << "this processor has no SHA instructions";
    }
  }
};

std::string sha256Of(Sha256Engine engine, const void* data, std::size_t length,
                     std::size_t pieceSize = 0) {
  Sha256Context context(engine);
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (pieceSize == 0) pieceSize = length + 1;
  for (std::size_t at = 0; at < length; at += pieceSize) {
    context.sha256Update(bytes + at, static_cast<std::uint32_t>(std::min(pieceSize, length - at)));
  }
  char hex[SHA256_HEX_DIGEST_SIZE];
  return context.sha256HexDigest(hex);
}

TEST_P(Sha256Engines, NistVectors) {
  const struct {
    std::string message;
    const char* digest;
  } vectors[] = {
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
  for (const auto& v : vectors) {
    SCOPED_TRACE(v.message.size());
    EXPECT_EQ(sha256Of(GetParam(), v.message.data(), v.message.size()), v.digest);
    EXPECT_EQ(sha256Of(GetParam(), v.message.data(), v.message.size(), 1), v.digest);
    EXPECT_EQ(sha256Of(GetParam(), v.message.data(), v.message.size(), 131072), v.digest);
  }
}

// Against the portable engine, which the vectors pin down: lengths around
// the 64-byte block and the digest pass's 128 KiB chunk, fed at once, in
// random pieces and from an unaligned address.
TEST_P(Sha256Engines, AgreesWithThePortableEngineAroundBlockAndChunkEdges) {
  std::uint32_t x = 0x9e3779b9;
  const auto next = [&x] {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
  };
  std::vector<unsigned char> data(3 * 131072 + 200);
  for (unsigned char& byte : data) byte = static_cast<unsigned char>(next());

  std::vector<std::size_t> lengths;
  for (const std::size_t edge : {64u, 128u, 131072u, 2 * 131072u}) {
    for (std::size_t delta = 0; delta < 10; ++delta) {
      lengths.push_back(edge - 9 + delta + next() % 2);
    }
  }
  for (int i = 0; i < 40; ++i) lengths.push_back(next() % (data.size() - 1));
  for (const std::size_t length : lengths) {
    SCOPED_TRACE(length);
    const std::string reference = sha256Of(Sha256Engine::Portable, data.data(), length);
    EXPECT_EQ(sha256Of(GetParam(), data.data(), length), reference);
    EXPECT_EQ(sha256Of(GetParam(), data.data() + 1, length),
              sha256Of(Sha256Engine::Portable, data.data() + 1, length));
    EXPECT_EQ(sha256Of(GetParam(), data.data(), length, 1 + next() % 200), reference);
  }
}

TEST_P(Sha256Engines, DigestLeavesTheContextAsItWas) {
  Sha256Context context(GetParam());
  char hex[SHA256_HEX_DIGEST_SIZE];
  context.sha256Update("ab", 2);
  context.sha256HexDigest(hex);
  EXPECT_EQ(context.sha256HexDigest(hex), hex);
  EXPECT_EQ(hex[64], '\0');
  context.sha256Update("c", 1);
  EXPECT_STREQ(context.sha256HexDigest(hex),
               "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  context.sha256Init();
  EXPECT_STREQ(context.sha256HexDigest(hex),
               "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

// Past 4 GiB without hashing that much, as in Md5.LengthsPast4GiBReachThePadding.
TEST_P(Sha256Engines, LengthsPast4GiBReachThePadding) {
  const struct {
    std::uint64_t bytes;
    const char* digest;
  } cases[] = {
      {(1ull << 29) + 10, "28794d4eecd757efdf3d0be68cabf5a23f165eb8f8ef4e1cb554e8cf1e6ca91d"},
      {(1ull << 32) + 10, "04de2c3a96bc297a1c22c8da16eedd2de24ea7c12d1c1479dc165af5be41db4d"},
      {(5ull << 30) + 10, "2d2c10d4e87328bbd1fea12ffd92115e798f8a37ec390314bc95c152824d7f62"}};
  unsigned char data[74];
  for (unsigned i = 0; i < sizeof data; ++i) data[i] = static_cast<unsigned char>(i);
  for (const auto& c : cases) {
    Sha256Context context(GetParam());
    context.sha256Update(data, 54);
    context.byteCount = c.bytes - 20;
    context.sha256Update(data + 54, 20);
    char hex[SHA256_HEX_DIGEST_SIZE];
    EXPECT_STREQ(context.sha256HexDigest(hex), c.digest) << c.bytes;
  }
}

INSTANTIATE_TEST_SUITE_P(, Sha256Engines,
                         ::testing::Values(Sha256Engine::Portable, Sha256Engine::Fastest),
                         [](const ::testing::TestParamInfo<Sha256Engine>& engine) {
                           return engine.param == Sha256Engine::Portable ? "Portable"
                                                                         : "ShaInstructions";
                         });

}  // namespace
