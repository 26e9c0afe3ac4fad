// Throughput of the digest stage's SHA-256: sha256_speed MIB ENGINE hashes
// MIB MiB of the bytes pattern writes to the benchmark's file in 128 KiB
// pieces, as the program feeds its reads, with the engine named
// (portable, or sha for the SHA instructions), and prints the seconds the
// hashing took and the digest.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "hash/sha256.h"

int main(int argc, char** argv) {
  const long mib = argc > 2 ? std::atol(argv[1]) : 0;
  const bool portable = argc > 2 && std::strcmp(argv[2], "portable") == 0;
  if (mib <= 0 || (!portable && (argc < 3 || std::strcmp(argv[2], "sha") != 0))) {
    std::fprintf(stderr, "usage: sha256_speed MIB portable|sha\n");
    return 2;
  }
  if (!portable && !sha256InstructionsAvailable()) {
    std::fprintf(stderr, "sha256_speed: this processor has no SHA instructions\n");
    return 3;
  }
  const std::size_t size = static_cast<std::size_t>(mib) << 20;
  std::vector<unsigned char> data(size);
  std::uint32_t x = 0x12345678;  // as pattern.cpp: the file's digest must agree
  for (unsigned char& byte : data) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    byte = static_cast<unsigned char>(x);
  }

  const std::uint32_t piece = 131072;
  Sha256Context sha(portable ? Sha256Engine::Portable : Sha256Engine::Fastest);
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t at = 0; at < size; at += piece) {
    const std::size_t left = size - at;
    sha.sha256Update(data.data() + at, left < piece ? static_cast<std::uint32_t>(left) : piece);
  }
  const auto stop = std::chrono::steady_clock::now();

  char hex[SHA256_HEX_DIGEST_SIZE];
  std::printf("%.6f %s\n", std::chrono::duration<double>(stop - start).count(),
              sha.sha256HexDigest(hex));
  return 0;
}
