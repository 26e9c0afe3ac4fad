// What every fuzz target shares: a property that fails aborts, so libFuzzer
// keeps the input as a crash and a corpus replay fails.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#define FUZZ_CHECK(condition)                                                             \
  do {                                                                                    \
    if (!(condition)) {                                                                   \
      std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, \
                   #condition);                                                           \
      std::abort();                                                                       \
    }                                                                                     \
  } while (0)

// Marks the second byte of every double-byte Shift_JIS character, scanning
// from the start as a reader of the text does. Written apart from
// text/sjis.h so that a fault there cannot hide itself.
inline std::vector<bool> sjisTrailBytes(const std::string& text) {
  std::vector<bool> trail(text.size(), false);
  std::size_t i = 0;
  while (i + 1 < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const auto next = static_cast<unsigned char>(text[i + 1]);
    const bool isLead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    const bool isTrail = next >= 0x40 && next <= 0xFC && next != 0x7F;
    if (isLead && isTrail) {
      trail[i + 1] = true;
      i += 2;
    } else {
      ++i;
    }
  }
  return trail;
}
