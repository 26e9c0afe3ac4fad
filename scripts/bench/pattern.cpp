// Writes MIB MiB of the byte stream md5_speed hashes (xorshift32 from
// 0x12345678, the low byte of each step) to stdout, so the file the peers
// read holds the same bytes and their digests can be compared.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  const long mib = argc > 1 ? std::atol(argv[1]) : 0;
  if (mib <= 0) return 2;
  std::vector<unsigned char> piece(1 << 20);
  std::uint32_t x = 0x12345678;
  for (long m = 0; m < mib; ++m) {
    for (auto& byte : piece) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      byte = static_cast<unsigned char>(x);
    }
    if (std::fwrite(piece.data(), 1, piece.size(), stdout) != piece.size()) return 1;
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
