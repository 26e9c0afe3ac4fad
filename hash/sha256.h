// SHA-256 (FIPS 180-4) of a byte stream fed chunk by chunk, rendered as 64
// lower-case hex digits. Two engines hash the 64-byte blocks: the
// processor's SHA instructions where it has them, and portable code, which
// is the reference the other is tested against. The engine is chosen once
// per process; a context only holds the choice. A plain value: it owns no
// memory and lives in the caller's frame.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::uint32_t SHA256_HEX_DIGEST_SIZE = 65;  // 64 digits and a terminating zero

// Hashes count consecutive 64-byte blocks into state.
using Sha256Blocks = void (*)(std::uint32_t state[8], const unsigned char* data, std::size_t count);

enum class Sha256Engine {
  Fastest,   // the x86 SHA instructions when the processor has them, else portable
  Portable,  // plain C++
};

// True when this processor runs the SHA instructions (and the SSSE3 and
// SSE4.1 ones the engine also uses). Asked of the processor once.
bool sha256InstructionsAvailable();

struct Sha256Context {
  std::uint32_t state[8];    // chaining values a..h
  std::uint64_t byteCount;   // bytes absorbed so far; fill = byteCount % 64
  unsigned char block[64];   // unprocessed tail
  Sha256Blocks blocks;       // the engine

  explicit Sha256Context(Sha256Engine engine = Sha256Engine::Fastest);

  // Starts a new, empty message; the engine stays.
  void sha256Init();

  // Absorbs length bytes. Whole blocks are hashed straight from data; only
  // an unfinished tail is copied into block.
  void sha256Update(const void* data, std::uint32_t length);

  // Writes the digest of everything absorbed so far into out (at least
  // SHA256_HEX_DIGEST_SIZE bytes) and returns out. The context is left as
  // it was, so the stream can go on and a second call gives the same text.
  char* sha256HexDigest(char* out) const;
};
