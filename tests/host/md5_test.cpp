#include "hash/md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::string hexOf(const Md5Context& context) {
  char text[MD5_HEX_DIGEST_SIZE];
  return context.md5HexDigest(text);
}

std::string md5Of(const void* data, std::size_t length) {
  Md5Context context;
  context.md5Update(data, static_cast<std::uint32_t>(length));
  return hexOf(context);
}

std::string md5Of(const std::string& text) { return md5Of(text.data(), text.size()); }

// The same input fed in pieces of pieceSize bytes.
std::string md5InPieces(const std::vector<unsigned char>& data, std::size_t pieceSize) {
  Md5Context context;
  for (std::size_t at = 0; at < data.size(); at += pieceSize) {
    const std::size_t length = std::min(pieceSize, data.size() - at);
    context.md5Update(data.data() + at, static_cast<std::uint32_t>(length));
  }
  return hexOf(context);
}

std::vector<unsigned char> countingBytes(std::size_t length) {
  std::vector<unsigned char> bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<unsigned char>(i % 251);
  return bytes;
}

}  // namespace

TEST(Md5, Rfc1321Suite) {
  EXPECT_EQ(md5Of(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(md5Of("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(md5Of("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(md5Of("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(md5Of("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(md5Of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(md5Of("1234567890123456789012345678901234567890"
                  "1234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");

  Md5Context nothingFed;
  nothingFed.md5Update(nullptr, 0);
  EXPECT_EQ(hexOf(nothingFed), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(Md5, LengthsAroundThePaddingBoundary) {
  // 55 bytes leave room for the length in the last block; 56 to 63 need a
  // second padding block; 64 needs a padding block of its own.
  const struct {
    std::size_t length;
    const char* digest;
  } cases[] = {
      {55, "6912ee65fff2d9f9ce2508cddf8bcda0"},  {56, "51fdd1acda72405dfdfa03fcb85896d7"},
      {63, "48a6295221902e8e0938f773a7185e72"},  {64, "b2d3f56bc197fd985d5965079b5e7148"},
      {119, "1c772251899a7ff007400b888d6b2042"}, {120, "b7ba1efc6022e9ed272f00b8831e26e6"},
      {127, "8402b21e7bc7906493bae0dac017f1f9"}, {128, "37eff01866ba3f538421b30b7cbefcac"},
      {183, "51999d289f5bbe579ce4a2224c7478d9"}, {184, "76e4931d881a3c50d61b61b2f28f3152"},
      {191, "4810b77b79c8a77c2f237265d565384e"}, {192, "48599090c2176432f4fa671af1ccb6c2"},
  };
  for (const auto& c : cases) {
    const std::vector<unsigned char> data = countingBytes(c.length);
    EXPECT_EQ(md5Of(data.data(), data.size()), c.digest) << "length " << c.length;
    EXPECT_EQ(md5InPieces(data, 1), c.digest) << "length " << c.length;
  }
}

TEST(Md5, PiecesOfAnySizeGiveTheSameDigest) {
  // Odd length, so that every piece size leaves a partial block somewhere.
  const std::vector<unsigned char> data = countingBytes(3 * 131072 + 4099);
  const std::string whole = md5Of(data.data(), data.size());
  for (std::size_t pieceSize : {1u, 3u, 63u, 64u, 65u, 127u, 4096u, 131072u}) {
    EXPECT_EQ(md5InPieces(data, pieceSize), whole) << "pieces of " << pieceSize;
  }

  // Unaligned input straight from the caller's buffer.
  std::vector<unsigned char> shifted(data.size() + 1);
  std::copy(data.begin(), data.end(), shifted.begin() + 1);
  EXPECT_EQ(md5Of(shifted.data() + 1, data.size()), whole);
}

TEST(Md5, DigestLeavesTheContextAsItWas) {
  Md5Context context;
  context.md5Update("abc", 3);
  EXPECT_EQ(hexOf(context), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(hexOf(context), "900150983cd24fb0d6963f7d28e17f72");

  // The stream goes on after a digest as if none had been taken.
  context.md5Update("defghijklmnopqrstuvwxyz", 23);
  EXPECT_EQ(hexOf(context), "c3fcd3d76192e4007dfb496cca67e13b");

  char text[MD5_HEX_DIGEST_SIZE];
  EXPECT_EQ(context.md5HexDigest(text), text);
  EXPECT_EQ(text[32], '\0');

  context.md5Init();
  EXPECT_EQ(hexOf(context), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(Md5, BitCountCarriesIntoTheHighWord) {
  Md5Context context;
  context.bitCount[0] = 0xFFFFFE00u;  // 2^32 bits minus one block; fill level 0
  const std::vector<unsigned char> data = countingBytes(64 + 3);
  context.md5Update(data.data(), 64 + 3);
  EXPECT_EQ(context.bitCount[0], 24u);
  EXPECT_EQ(context.bitCount[1], 1u);
}

// Past 4 GiB without hashing that much: 54 of the bytes 0..73 in the block,
// the count set to that of a message 20 bytes short of the case, the last 20
// fed across the count's word edges. The digits are those 74 bytes finished
// with the whole count's length field, by a separate implementation of the
// compression function (checked against Python's hashlib).
TEST(Md5, LengthsPast4GiBReachThePadding) {
  const struct {
    std::uint64_t bytes;
    const char* digest;
  } cases[] = {{(1ull << 29) + 10, "b6ebe428496cc2f98a8fb512474a1ac8"},  // bits past 2^32
               {(1ull << 32) + 10, "d4207223b207b5bac8054b859c11a541"},
               {(5ull << 30) + 10, "75eeb54e7393eb00482f0fcff743a656"},
               {(1ull << 61) + 10, "48857da195f90d89c67b9c9dce62b530"}};  // bits modulo 2^64
  const std::vector<unsigned char> data = countingBytes(74);
  for (const auto& c : cases) {
    Md5Context context;
    context.md5Update(data.data(), 54);
    context.bitCount[0] = static_cast<std::uint32_t>((c.bytes - 20) << 3);
    context.bitCount[1] = static_cast<std::uint32_t>((c.bytes - 20) >> 29);
    context.md5Update(data.data() + 54, 20);
    EXPECT_EQ(hexOf(context), c.digest) << c.bytes;
  }
}

TEST(Md5, SeveralMebibytesMatchAKnownDigest) {
  // Bytes of a linear congruential sequence; the digest was taken with
  // md5sum from a file of the same bytes.
  std::vector<unsigned char> data(5 * 1024 * 1024 + 37);
  std::uint32_t x = 1;
  for (unsigned char& byte : data) {
    x = x * 1103515245u + 12345u;
    byte = static_cast<unsigned char>(x >> 16);
  }
  EXPECT_EQ(md5Of(data.data(), data.size()), "a6d2bd4ddca09c78b322c8120b11406e");
  EXPECT_EQ(md5InPieces(data, 131072), "a6d2bd4ddca09c78b322c8120b11406e");
}
