#include "hash/sha256.h"

#include <cstring>

#include "hash/block_feed.h"
#include "hash/sha256_blocks.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

const std::uint32_t SHA256_ROUND_CONSTANTS[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

namespace {

// The first 32 bits of the fractional parts of the square roots of the
// first eight primes.
const std::uint32_t INITIAL_STATE[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

// One 0x80 byte and zeros: the padding that ends every message.
const unsigned char PADDING[64] = {0x80};

inline std::uint32_t loadBigEndian(const unsigned char* bytes) {
  // memcpy compiles to one unaligned load; the input need not be aligned.
  std::uint32_t word;
  std::memcpy(&word, bytes, sizeof word);
#if !(defined(__BYTE_ORDER__) && defined(__ORDER_BIG_ENDIAN__) && \
      __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__)
  word = __builtin_bswap32(word);
#endif
  return word;
}

inline std::uint32_t rotateRight(std::uint32_t value, int shift) {
  return (value >> shift) | (value << (32 - shift));
}

// One round. The eight working variables are not moved from one to the
// next: each call names them in the order of its round, so only d and h
// are written. The majority is taken as ((a ^ b) & (b ^ c)) ^ b, and this
// round's a ^ b is the next round's b ^ c: bc carries it over.
__attribute__((always_inline)) inline void round(std::uint32_t a, std::uint32_t b,
                                                 std::uint32_t& d, std::uint32_t e,
                                                 std::uint32_t f, std::uint32_t g,
                                                 std::uint32_t& h, std::uint32_t& bc,
                                                 std::uint32_t constantPlusWord) {
  const std::uint32_t sum1 = rotateRight(e, 6) ^ rotateRight(e, 11) ^ rotateRight(e, 25);
  const std::uint32_t choose = g ^ (e & (f ^ g));
  const std::uint32_t t1 = h + sum1 + choose + constantPlusWord;
  const std::uint32_t sum0 = rotateRight(a, 2) ^ rotateRight(a, 13) ^ rotateRight(a, 22);
  const std::uint32_t ab = a ^ b;
  const std::uint32_t majority = (ab & bc) ^ b;
  bc = ab;
  d += t1;
  h = t1 + sum0 + majority;
}

// Word i of the schedule: the loaded word in the first sixteen rounds,
// after them the next one worked out in place of the oldest in the ring.
template <bool Expand>
__attribute__((always_inline)) inline std::uint32_t scheduleWord(std::uint32_t w[16], int i) {
  if (!Expand) return w[i];
  const std::uint32_t before15 = w[(i - 15) & 15];
  const std::uint32_t before2 = w[(i - 2) & 15];
  const std::uint32_t sigma0 =
      rotateRight(before15, 7) ^ rotateRight(before15, 18) ^ (before15 >> 3);
  const std::uint32_t sigma1 =
      rotateRight(before2, 17) ^ rotateRight(before2, 19) ^ (before2 >> 10);
  return w[i & 15] += sigma1 + w[(i - 7) & 15] + sigma0;
}

// Rounds i to i + 7, after which the variables are back in their places.
template <bool Expand>
__attribute__((always_inline)) inline void eightRounds(int i, std::uint32_t w[16], std::uint32_t& a,
                                                       std::uint32_t& b, std::uint32_t& c,
                                                       std::uint32_t& d, std::uint32_t& e,
                                                       std::uint32_t& f, std::uint32_t& g,
                                                       std::uint32_t& h, std::uint32_t& bc) {
  const std::uint32_t* k = SHA256_ROUND_CONSTANTS + i;
  round(a, b, d, e, f, g, h, bc, k[0] + scheduleWord<Expand>(w, i));
  round(h, a, c, d, e, f, g, bc, k[1] + scheduleWord<Expand>(w, i + 1));
  round(g, h, b, c, d, e, f, bc, k[2] + scheduleWord<Expand>(w, i + 2));
  round(f, g, a, b, c, d, e, bc, k[3] + scheduleWord<Expand>(w, i + 3));
  round(e, f, h, a, b, c, d, bc, k[4] + scheduleWord<Expand>(w, i + 4));
  round(d, e, g, h, a, b, c, bc, k[5] + scheduleWord<Expand>(w, i + 5));
  round(c, d, f, g, h, a, b, bc, k[6] + scheduleWord<Expand>(w, i + 6));
  round(b, c, e, f, g, h, a, bc, k[7] + scheduleWord<Expand>(w, i + 7));
}

Sha256Blocks fastestEngine() {
  // Asked once: a pass over many files makes a context per file.
  static const Sha256Blocks engine =
      sha256InstructionsAvailable() ? sha256BlocksShaInstructions : sha256BlocksPortable;
  return engine;
}

}  // namespace

void sha256BlocksPortable(std::uint32_t state[8], const unsigned char* data, std::size_t count) {
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];

  for (; count != 0; --count, data += 64) {
    // The message schedule kept as a ring of its last sixteen words.
    std::uint32_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = loadBigEndian(data + 4 * i);
    std::uint32_t bc = b ^ c;

    // Written out rather than looped, so that every index into the ring and
    // every round constant is known where it is used.
    eightRounds<false>(0, w, a, b, c, d, e, f, g, h, bc);
    eightRounds<false>(8, w, a, b, c, d, e, f, g, h, bc);
    eightRounds<true>(16, w, a, b, c, d, e, f, g, h, bc);
    eightRounds<true>(24, w, a, b, c, d, e, f, g, h, bc);
    eightRounds<true>(32, w, a, b, c, d, e, f, g, h, bc);
    eightRounds<true>(40, w, a, b, c, d, e, f, g, h, bc);
    eightRounds<true>(48, w, a, b, c, d, e, f, g, h, bc);
    eightRounds<true>(56, w, a, b, c, d, e, f, g, h, bc);

    a = state[0] += a;
    b = state[1] += b;
    c = state[2] += c;
    d = state[3] += d;
    e = state[4] += e;
    f = state[5] += f;
    g = state[6] += g;
    h = state[7] += h;
  }
}

bool sha256InstructionsAvailable() {
#if defined(__i386__) || defined(__x86_64__)
  static const bool available = [] {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    __get_cpuid(1, &eax, &ebx, &ecx, &edx);
    const bool ssse3 = (ecx & (1u << 9)) != 0;
    const bool sse41 = (ecx & (1u << 19)) != 0;
    __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx);
    const bool sha = (ebx & (1u << 29)) != 0;
    return ssse3 && sse41 && sha;
  }();
  return available;
#else
  return false;
#endif
}

Sha256Context::Sha256Context(Sha256Engine engine) {
  switch (engine) {
    case Sha256Engine::Portable:
      blocks = sha256BlocksPortable;
      break;
    case Sha256Engine::Fastest:
      blocks = fastestEngine();
      break;
  }
  sha256Init();
}

void Sha256Context::sha256Init() {
  std::memcpy(state, INITIAL_STATE, sizeof state);
  byteCount = 0;
  std::memset(block, 0, sizeof block);
}

void Sha256Context::sha256Update(const void* data, std::uint32_t length) {
  if (length == 0) return;
  const unsigned char* input = static_cast<const unsigned char*>(data);
  const std::uint32_t fill = static_cast<std::uint32_t>(byteCount & 63);
  byteCount += length;

  feedBlocks(block, fill, input, length, [this](const unsigned char* whole, std::size_t count) {
    blocks(state, whole, count);
  });
}

char* Sha256Context::sha256HexDigest(char* out) const {
  // Finish a copy, so this context can go on absorbing the same stream.
  Sha256Context finished = *this;

  // The message length in bits, big-endian, modulo 2^64.
  const std::uint64_t bits = byteCount << 3;
  unsigned char lengthBytes[8];
  for (int i = 0; i < 8; ++i) lengthBytes[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));

  const std::uint32_t fill = static_cast<std::uint32_t>(byteCount & 63);
  finished.sha256Update(PADDING, fill < 56 ? 56 - fill : 120 - fill);
  finished.sha256Update(lengthBytes, sizeof lengthBytes);

  static const char HEX_DIGITS[] = "0123456789abcdef";
  for (int i = 0; i < 8; ++i) {
    for (int nibble = 0; nibble < 8; ++nibble) {
      out[8 * i + nibble] = HEX_DIGITS[(finished.state[i] >> (28 - 4 * nibble)) & 15];
    }
  }
  out[64] = '\0';
  return out;
}
