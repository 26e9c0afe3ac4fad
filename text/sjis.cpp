#include "text/sjis.h"

std::size_t findLastBackslash(const char* text, std::size_t limit) {
  std::size_t found = NO_POSITION;
  std::size_t i = 0;
  while (i < limit && text[i] != '\0') {
    if (i + 1 < limit && text[i + 1] != '\0' && isDoubleByteAt(text, limit, i)) {
      i += 2;
      continue;
    }
    if (text[i] == '\\') found = i;
    ++i;
  }
  return found;
}
