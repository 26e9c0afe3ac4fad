// Sizes in the chosen unit and the text of numbers. Platform-free.
#pragma once

#include <cstdint>

// The divisors of one run, worked out once from ByteUnit.
struct SizeScale {
  std::int64_t unitDivisor;   // bytes per unit: 1, 2^10 ... 2^50
  int decimals;               // 0 for bytes, 2 otherwise
  double hundredthsDivisor;   // f: unitDivisor * 0.1 * 0.1, in double
  double halfHundredths;      // f * 0.5
};

SizeScale makeSizeScale(std::int32_t byteUnit);

// The displayed count of a byte size: whole bytes, or hundredths of the unit
// with halves going up as far as double resolves them; never 0 for a
// non-empty file.
std::int64_t displayedCount(std::int64_t size, const SizeScale& scale);

// Writes value with the given decimals (negative taken as 0), grouping the
// integer digits with "," when asked, into destination (at least 32 bytes).
void formatNumber(char* destination, bool grouping, std::int64_t value, int decimals);
