// Sizes in the chosen unit and the text of numbers. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>

// The divisors of one run, worked out once from ByteUnit.
struct SizeScale {
  std::int64_t unitDivisor;   // bytes per unit: 1, 2^10 ... 2^50
  int decimals;               // 0 for bytes, 2 otherwise
  double hundredthsDivisor;   // f: unitDivisor * 0.1 * 0.1, in double
  double halfHundredths;      // f * 0.5
};

// A ByteUnit outside 1-5 means whole bytes, as it does for the unit word.
SizeScale makeSizeScale(std::int32_t byteUnit);

// The displayed count of a byte size: whole bytes, or hundredths of the unit
// with halves going up as far as double resolves them; never 0 for a
// non-empty file.
std::int64_t displayedCount(std::int64_t size, const SizeScale& scale);

// The destination size formatNumber relies on; any int64 value with any
// number of decimals fits, because the decimals are capped (see below).
constexpr std::size_t FORMAT_NUMBER_BUFFER_SIZE = 32;

// Sign, "0", "." and this many fraction digits fill the 31 text bytes.
constexpr int FORMAT_NUMBER_MAX_DECIMALS = 28;

// Writes value with the given decimals (negative taken as 0, more than
// FORMAT_NUMBER_MAX_DECIMALS taken as that), grouping the integer digits with
// "," when asked, into destination (at least FORMAT_NUMBER_BUFFER_SIZE bytes).
void formatNumber(char* destination, bool grouping, std::int64_t value, int decimals);
