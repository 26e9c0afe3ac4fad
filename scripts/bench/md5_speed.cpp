// Throughput of the digest stage's MD5: md5_speed MIB hashes MIB MiB of a
// fixed pattern in 128 KiB pieces, as the program feeds its reads, and prints
// the seconds the hashing took and the digest.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "hash/md5.h"

int main(int argc, char** argv) {
  const long mib = argc > 1 ? std::atol(argv[1]) : 0;
  if (mib <= 0) {
    std::fprintf(stderr, "usage: md5_speed MIB\n");
    return 2;
  }
  const std::size_t size = static_cast<std::size_t>(mib) << 20;
  std::vector<unsigned char> data(size);
  // xorshift, no runs a shortcut could exploit; the low byte of each step,
  // as pattern.cpp writes the file, so the file's digest must agree.
  std::uint32_t x = 0x12345678;
  for (unsigned char& byte : data) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    byte = static_cast<unsigned char>(x);
  }

  const std::uint32_t piece = 131072;
  Md5Context md5;
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t at = 0; at < size; at += piece) {
    const std::size_t left = size - at;
    md5.md5Update(data.data() + at, left < piece ? static_cast<std::uint32_t>(left) : piece);
  }
  const auto stop = std::chrono::steady_clock::now();

  char hex[MD5_HEX_DIGEST_SIZE];
  std::printf("%.6f %s\n", std::chrono::duration<double>(stop - start).count(), md5.md5HexDigest(hex));
  return 0;
}
