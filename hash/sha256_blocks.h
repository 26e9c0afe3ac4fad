// The two block engines of SHA-256 and what they share; hash/sha256.h is
// the interface the rest of the program uses.
#pragma once

#include <cstddef>
#include <cstdint>

// The 64 round constants of FIPS 180-4: the first 32 bits of the
// fractional parts of the cube roots of the first 64 primes.
extern const std::uint32_t SHA256_ROUND_CONSTANTS[64];

void sha256BlocksPortable(std::uint32_t state[8], const unsigned char* data, std::size_t count);

// Only where sha256InstructionsAvailable() says so; built for x86 only.
void sha256BlocksShaInstructions(std::uint32_t state[8], const unsigned char* data,
                                 std::size_t count);
