// MD5 (RFC 1321) of a byte stream fed chunk by chunk, rendered as 32
// lower-case hex digits. A plain value: it owns no memory and lives in the
// caller's frame.
#pragma once

#include <cstdint>

constexpr std::uint32_t MD5_HEX_DIGEST_SIZE = 33;  // 32 digits and a terminating zero

struct Md5Context {
  std::uint32_t state[4];     // chaining values A, B, C, D
  std::uint32_t bitCount[2];  // bits absorbed so far, modulo 2^64, low word first
  unsigned char block[64];    // unprocessed tail; fill = (bitCount[0] / 8) % 64

  Md5Context() { md5Init(); }

  // Starts a new, empty message.
  void md5Init();

  // Absorbs length bytes. Whole blocks are hashed straight from data; only
  // an unfinished tail is copied into block.
  void md5Update(const void* data, std::uint32_t length);

  // Writes the digest of everything absorbed so far into out (at least
  // MD5_HEX_DIGEST_SIZE bytes) and returns out. The context is left as it
  // was, so the stream can go on and a second call gives the same text.
  char* md5HexDigest(char* out) const;
};
