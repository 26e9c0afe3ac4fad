#include "hash/md5.h"

#include <cstddef>
#include <cstring>

#include "hash/block_feed.h"

namespace {

// One 0x80 byte and zeros: the padding that ends every message.
const unsigned char PADDING[64] = {0x80};

inline std::uint32_t loadLittleEndian(const unsigned char* bytes) {
  // memcpy compiles to one unaligned load; the input need not be aligned.
  std::uint32_t word;
  std::memcpy(&word, bytes, sizeof word);
#if defined(__BYTE_ORDER__) && defined(__ORDER_BIG_ENDIAN__) && \
    __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap32(word);
#endif
  return word;
}

inline void storeLittleEndian(std::uint32_t word, unsigned char* bytes) {
  bytes[0] = static_cast<unsigned char>(word);
  bytes[1] = static_cast<unsigned char>(word >> 8);
  bytes[2] = static_cast<unsigned char>(word >> 16);
  bytes[3] = static_cast<unsigned char>(word >> 24);
}

inline std::uint32_t rotateLeft(std::uint32_t value, int shift) {
  return (value << shift) | (value >> (32 - shift));
}

// MD5 is one serial chain: each step needs the b the step before made. Its
// speed is the length of the path from that b to the next one, so each step
// is written as that path alone: the round function's operations on b, one
// add, the rotate and the add of b. Everything else (a + word + constant and
// the parts of the round function made of c and d only) is computed first,
// while the previous step is still running. On this path F and I take two
// operations, G and H one: G's two terms never share a set bit, so "|" can
// be "+" and its c-and-d half joins the early sum; H's c ^ d is early.
inline void stepF(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t word, std::uint32_t constant, int shift) {
  const std::uint32_t early = a + word + constant;
  const std::uint32_t differ = c ^ d;
  a = rotateLeft(early + ((b & differ) ^ d), shift) + b;
}

inline void stepG(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t word, std::uint32_t constant, int shift) {
  const std::uint32_t early = a + word + constant + (c & ~d);
  a = rotateLeft(early + (b & d), shift) + b;
}

inline void stepH(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t word, std::uint32_t constant, int shift) {
  const std::uint32_t early = a + word + constant;
  const std::uint32_t cd = c ^ d;
  a = rotateLeft(early + (b ^ cd), shift) + b;
}

inline void stepI(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t word, std::uint32_t constant, int shift) {
  const std::uint32_t early = a + word + constant;
  const std::uint32_t notD = ~d;
  a = rotateLeft(early + ((b | notD) ^ c), shift) + b;
}

// Hashes count consecutive 64-byte blocks into state. The chaining values
// stay in registers from one block to the next, and the words are read
// straight from data where each step needs them.
void transformBlocks(std::uint32_t state[4], const unsigned char* data, std::size_t count) {
  std::uint32_t a = state[0];
  std::uint32_t b = state[1];
  std::uint32_t c = state[2];
  std::uint32_t d = state[3];

  for (; count != 0; --count, data += 64) {
    const auto W = [data](int i) { return loadLittleEndian(data + 4 * i); };
    const std::uint32_t aa = a, bb = b, cc = c, dd = d;

    stepF(a, b, c, d, W(0), 0xd76aa478, 7);
    stepF(d, a, b, c, W(1), 0xe8c7b756, 12);
    stepF(c, d, a, b, W(2), 0x242070db, 17);
    stepF(b, c, d, a, W(3), 0xc1bdceee, 22);
    stepF(a, b, c, d, W(4), 0xf57c0faf, 7);
    stepF(d, a, b, c, W(5), 0x4787c62a, 12);
    stepF(c, d, a, b, W(6), 0xa8304613, 17);
    stepF(b, c, d, a, W(7), 0xfd469501, 22);
    stepF(a, b, c, d, W(8), 0x698098d8, 7);
    stepF(d, a, b, c, W(9), 0x8b44f7af, 12);
    stepF(c, d, a, b, W(10), 0xffff5bb1, 17);
    stepF(b, c, d, a, W(11), 0x895cd7be, 22);
    stepF(a, b, c, d, W(12), 0x6b901122, 7);
    stepF(d, a, b, c, W(13), 0xfd987193, 12);
    stepF(c, d, a, b, W(14), 0xa679438e, 17);
    stepF(b, c, d, a, W(15), 0x49b40821, 22);

    stepG(a, b, c, d, W(1), 0xf61e2562, 5);
    stepG(d, a, b, c, W(6), 0xc040b340, 9);
    stepG(c, d, a, b, W(11), 0x265e5a51, 14);
    stepG(b, c, d, a, W(0), 0xe9b6c7aa, 20);
    stepG(a, b, c, d, W(5), 0xd62f105d, 5);
    stepG(d, a, b, c, W(10), 0x02441453, 9);
    stepG(c, d, a, b, W(15), 0xd8a1e681, 14);
    stepG(b, c, d, a, W(4), 0xe7d3fbc8, 20);
    stepG(a, b, c, d, W(9), 0x21e1cde6, 5);
    stepG(d, a, b, c, W(14), 0xc33707d6, 9);
    stepG(c, d, a, b, W(3), 0xf4d50d87, 14);
    stepG(b, c, d, a, W(8), 0x455a14ed, 20);
    stepG(a, b, c, d, W(13), 0xa9e3e905, 5);
    stepG(d, a, b, c, W(2), 0xfcefa3f8, 9);
    stepG(c, d, a, b, W(7), 0x676f02d9, 14);
    stepG(b, c, d, a, W(12), 0x8d2a4c8a, 20);

    stepH(a, b, c, d, W(5), 0xfffa3942, 4);
    stepH(d, a, b, c, W(8), 0x8771f681, 11);
    stepH(c, d, a, b, W(11), 0x6d9d6122, 16);
    stepH(b, c, d, a, W(14), 0xfde5380c, 23);
    stepH(a, b, c, d, W(1), 0xa4beea44, 4);
    stepH(d, a, b, c, W(4), 0x4bdecfa9, 11);
    stepH(c, d, a, b, W(7), 0xf6bb4b60, 16);
    stepH(b, c, d, a, W(10), 0xbebfbc70, 23);
    stepH(a, b, c, d, W(13), 0x289b7ec6, 4);
    stepH(d, a, b, c, W(0), 0xeaa127fa, 11);
    stepH(c, d, a, b, W(3), 0xd4ef3085, 16);
    stepH(b, c, d, a, W(6), 0x04881d05, 23);
    stepH(a, b, c, d, W(9), 0xd9d4d039, 4);
    stepH(d, a, b, c, W(12), 0xe6db99e5, 11);
    stepH(c, d, a, b, W(15), 0x1fa27cf8, 16);
    stepH(b, c, d, a, W(2), 0xc4ac5665, 23);

    stepI(a, b, c, d, W(0), 0xf4292244, 6);
    stepI(d, a, b, c, W(7), 0x432aff97, 10);
    stepI(c, d, a, b, W(14), 0xab9423a7, 15);
    stepI(b, c, d, a, W(5), 0xfc93a039, 21);
    stepI(a, b, c, d, W(12), 0x655b59c3, 6);
    stepI(d, a, b, c, W(3), 0x8f0ccc92, 10);
    stepI(c, d, a, b, W(10), 0xffeff47d, 15);
    stepI(b, c, d, a, W(1), 0x85845dd1, 21);
    stepI(a, b, c, d, W(8), 0x6fa87e4f, 6);
    stepI(d, a, b, c, W(15), 0xfe2ce6e0, 10);
    stepI(c, d, a, b, W(6), 0xa3014314, 15);
    stepI(b, c, d, a, W(13), 0x4e0811a1, 21);
    stepI(a, b, c, d, W(4), 0xf7537e82, 6);
    stepI(d, a, b, c, W(11), 0xbd3af235, 10);
    stepI(c, d, a, b, W(2), 0x2ad7d2bb, 15);
    stepI(b, c, d, a, W(9), 0xeb86d391, 21);

    a += aa;
    b += bb;
    c += cc;
    d += dd;
  }

  state[0] = a;
  state[1] = b;
  state[2] = c;
  state[3] = d;
}

}  // namespace

void Md5Context::md5Init() {
  bitCount[0] = 0;
  bitCount[1] = 0;
  std::memset(block, 0, sizeof block);
  state[0] = 0x67452301;
  state[1] = 0xefcdab89;
  state[2] = 0x98badcfe;
  state[3] = 0x10325476;
}

void Md5Context::md5Update(const void* data, std::uint32_t length) {
  if (length == 0) return;
  const unsigned char* input = static_cast<const unsigned char*>(data);
  const std::uint32_t fill = (bitCount[0] >> 3) & 63;

  const std::uint32_t addedBits = length << 3;
  bitCount[0] += addedBits;
  if (bitCount[0] < addedBits) ++bitCount[1];
  bitCount[1] += length >> 29;

  feedBlocks(block, fill, input, length, [this](const unsigned char* blocks, std::size_t count) {
    transformBlocks(state, blocks, count);
  });
}

char* Md5Context::md5HexDigest(char* out) const {
  // Finish a copy, so this context can go on absorbing the same stream.
  Md5Context finished = *this;

  unsigned char lengthBytes[8];
  storeLittleEndian(bitCount[0], lengthBytes);
  storeLittleEndian(bitCount[1], lengthBytes + 4);

  const std::uint32_t fill = (bitCount[0] >> 3) & 63;
  finished.md5Update(PADDING, fill < 56 ? 56 - fill : 120 - fill);
  finished.md5Update(lengthBytes, sizeof lengthBytes);

  unsigned char digest[16];
  for (int i = 0; i < 4; ++i) storeLittleEndian(finished.state[i], digest + 4 * i);

  static const char HEX_DIGITS[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    out[2 * i] = HEX_DIGITS[digest[i] >> 4];
    out[2 * i + 1] = HEX_DIGITS[digest[i] & 15];
  }
  out[32] = '\0';
  return out;
}
