// The SHA-256 block engine on the x86 SHA extensions. Only this function is
// compiled for those instructions (and the SSSE3 and SSE4.1 ones it also
// uses), so no other code of the program can come to need them; it runs
// only where the processor reported them.
#include "hash/sha256_blocks.h"

#if defined(__i386__) || defined(__x86_64__)

#include <immintrin.h>

// The rounds keep SSE values in 16-byte stack slots, which 32-bit code
// reaches with aligned operands. 32-bit Windows enters a thread, a window
// procedure or a callback with a stack aligned to 4 bytes only, so there
// the function realigns its own stack, whoever called it: a few
// instructions for a call that hashes a whole chunk.
#if defined(__i386__)
#define REALIGNS_STACK __attribute__((force_align_arg_pointer))
#else
#define REALIGNS_STACK
#endif

__attribute__((target("sha,sse4.1,ssse3"))) REALIGNS_STACK void sha256BlocksShaInstructions(
    std::uint32_t state[8], const unsigned char* data, std::size_t count) {
  // The round instruction keeps the eight working variables in two
  // registers: a b e f in one, c d g h in the other. Registers are named by
  // their lanes from the highest down; state is a..h from the lowest up.
  const __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
  const __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
  const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
  const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

  // Reverses the bytes of each 32-bit word: the message words are big-endian.
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  const __m128i* constants = reinterpret_cast<const __m128i*>(SHA256_ROUND_CONSTANTS);

  for (; count != 0; --count, data += 64) {
    const __m128i savedAbef = abef;
    const __m128i savedCdgh = cdgh;
    const __m128i* words = reinterpret_cast<const __m128i*>(data);
    // The last four groups of four schedule words, oldest first.
    __m128i w0 = _mm_shuffle_epi8(_mm_loadu_si128(words + 0), byteSwap);
    __m128i w1 = _mm_shuffle_epi8(_mm_loadu_si128(words + 1), byteSwap);
    __m128i w2 = _mm_shuffle_epi8(_mm_loadu_si128(words + 2), byteSwap);
    __m128i w3 = _mm_shuffle_epi8(_mm_loadu_si128(words + 3), byteSwap);

#pragma GCC unroll 16
    for (int group = 0; group < 16; ++group) {
      __m128i w;
      if (group < 4) {
        w = group == 0 ? w0 : group == 1 ? w1 : group == 2 ? w2 : w3;
      } else {
        // W[t] = s1(W[t-2]) + W[t-7] + s0(W[t-15]) + W[t-16], four at a time:
        // msg1 adds s0 to the oldest group, the alignment brings W[t-7],
        // msg2 adds s1, two of whose inputs it makes itself.
        const __m128i partial = _mm_add_epi32(_mm_sha256msg1_epu32(w0, w1),
                                              _mm_alignr_epi8(w3, w2, 4));
        w = _mm_sha256msg2_epu32(partial, w3);
        w0 = w1;
        w1 = w2;
        w2 = w3;
        w3 = w;
      }
      const __m128i sums = _mm_add_epi32(w, _mm_loadu_si128(constants + group));
      // Two rounds take the low two sums; the next two the high ones.
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, sums);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(sums, 0x0E));
    }

    abef = _mm_add_epi32(abef, savedAbef);
    cdgh = _mm_add_epi32(cdgh, savedCdgh);
  }

  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

#else

// No such instructions elsewhere; never chosen there.
void sha256BlocksShaInstructions(std::uint32_t state[8], const unsigned char* data,
                                 std::size_t count) {
  sha256BlocksPortable(state, data, count);
}

#endif
