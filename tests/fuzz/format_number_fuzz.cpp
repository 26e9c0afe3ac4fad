// formatNumber for any 64-bit value: the text reads back as the value.
#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "text/size_format.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

void checkText(std::int64_t value, bool grouping, int decimals) {
  // Exactly the promised size, on the heap: a write past it is a finding.
  const std::unique_ptr<char[]> buffer(new char[FORMAT_NUMBER_BUFFER_SIZE]);
  std::memset(buffer.get(), 'x', FORMAT_NUMBER_BUFFER_SIZE);
  formatNumber(buffer.get(), grouping, value, decimals);
  const void* end = std::memchr(buffer.get(), '\0', FORMAT_NUMBER_BUFFER_SIZE);
  FUZZ_CHECK(end != nullptr);
  const std::string text(buffer.get(), static_cast<const char*>(end) - buffer.get());

  const int shown = decimals < 0 ? 0 : decimals > FORMAT_NUMBER_MAX_DECIMALS
                                           ? FORMAT_NUMBER_MAX_DECIMALS
                                           : decimals;
  const bool negative = !text.empty() && text[0] == '-';
  FUZZ_CHECK(negative == (value < 0));
  const std::size_t dot = text.find('.');
  const std::size_t integerEnd = shown == 0 ? text.size() : text.size() - shown - 1;
  FUZZ_CHECK(shown == 0 ? dot == std::string::npos : dot == integerEnd);

  // Integer part: groups of three digits parted by ",", the first one of
  // one to three, and no leading zero but a lone one.
  std::string digits;
  std::size_t groupLength = 0;
  bool firstGroup = true;
  for (std::size_t i = negative ? 1 : 0; i < integerEnd; ++i) {
    if (text[i] == ',') {
      FUZZ_CHECK(grouping);
      FUZZ_CHECK(firstGroup ? groupLength >= 1 && groupLength <= 3 : groupLength == 3);
      firstGroup = false;
      groupLength = 0;
      continue;
    }
    FUZZ_CHECK(isDigit(text[i]));
    digits += text[i];
    ++groupLength;
  }
  FUZZ_CHECK(firstGroup ? groupLength >= 1 : groupLength == 3);
  if (grouping) FUZZ_CHECK(!firstGroup || digits.size() <= 3);
  FUZZ_CHECK(digits.size() == 1 || digits[0] != '0');
  for (std::size_t i = integerEnd + 1; i < text.size(); ++i) {
    FUZZ_CHECK(isDigit(text[i]));
    digits += text[i];
  }

  // All digits together are the magnitude counted in the last decimal.
  std::uint64_t magnitude = 0;
  for (const char c : digits) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    FUZZ_CHECK(magnitude <= (UINT64_MAX - digit) / 10);
    magnitude = magnitude * 10 + digit;
  }
  const std::uint64_t expected =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  FUZZ_CHECK(magnitude == expected);

  if (!grouping && shown == 0) {
    char reference[32];
    std::snprintf(reference, sizeof reference, "%" PRId64, value);
    FUZZ_CHECK(text == reference);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < sizeof(std::int64_t)) return 0;
  std::int64_t value;
  std::memcpy(&value, data, sizeof value);
  for (const bool grouping : {false, true}) {
    checkText(value, grouping, 0);
    checkText(value, grouping, 2);
  }
  // A ninth byte picks any other count of decimals, negative and past the cap.
  if (size > sizeof value) checkText(value, data[8] & 1, static_cast<std::int8_t>(data[8]) / 2);
  return 0;
}
