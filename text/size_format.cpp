#include "text/size_format.h"

#include <cstring>

SizeScale makeSizeScale(std::int32_t byteUnit) {
  if (byteUnit < 1 || byteUnit > 5) return SizeScale{1, 0, 1.0, 0.5};
  const std::int64_t divisor = std::int64_t{1} << (10 * byteUnit);
  // Two separate products on purpose: f comes out a hair above the exact
  // hundredth (10.240000000000002 for K), and the displayed sizes depend on it.
  double f = static_cast<double>(divisor) * 0.1;
  f = f * 0.1;
  return SizeScale{divisor, 2, f, f * 0.5};
}

std::int64_t displayedCount(std::int64_t size, const SizeScale& scale) {
  std::int64_t count = size;
  if (scale.unitDivisor != 1) {
    const double sum = static_cast<double>(size) + scale.halfHundredths;
    const double quotient = sum / scale.hundredthsDivisor;
    count = static_cast<std::int64_t>(quotient);
  }
  if (size > 0 && count == 0) count = 1;
  return count;
}

void formatNumber(char* destination, bool grouping, std::int64_t value, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > FORMAT_NUMBER_MAX_DECIMALS) decimals = FORMAT_NUMBER_MAX_DECIMALS;

  const bool negative = value < 0;
  // Negated as unsigned, so the most negative value has its magnitude too.
  std::uint64_t rest = negative ? 0 - static_cast<std::uint64_t>(value)
                                : static_cast<std::uint64_t>(value);

  char text[FORMAT_NUMBER_BUFFER_SIZE];
  std::size_t position = sizeof text;
  text[--position] = '\0';
  for (int i = 0; i < decimals; ++i) {
    text[--position] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  }
  if (decimals > 0) text[--position] = '.';
  int integerDigits = 0;
  do {
    if (grouping && integerDigits > 0 && integerDigits % 3 == 0) text[--position] = ',';
    text[--position] = static_cast<char>('0' + rest % 10);
    rest /= 10;
    ++integerDigits;
  } while (rest != 0);
  if (negative) text[--position] = '-';
  std::memcpy(destination, text + position, sizeof text - position);
}
