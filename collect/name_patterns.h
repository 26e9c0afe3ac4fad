// The name patterns of ExcludeNames: a list split at ";" and a match of one
// pattern against one name, "*" for any run of units and "?" for one.
// Platform-free: the walk (walk_filter.cpp) gives both sides in the same
// case and as UTF-16, so a "?" matches one unit whatever character it is.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The patterns of a ";"-separated list, blanks kept (names can hold them),
// empty ones dropped. No trail byte of a double-byte character is ";", so
// a Shift_JIS list splits byte by byte, and a UTF-16 one unit by unit.
std::vector<std::string> splitNamePatterns(const std::string& list);
std::vector<std::wstring> splitNamePatterns(const std::wstring& list);

// True when the whole name matches the whole pattern. Units are compared
// as they are: the caller folds the case of both sides first.
template <typename Unit>
bool matchesNamePattern(const Unit* pattern, std::size_t patternLength, const Unit* name,
                        std::size_t nameLength) {
  constexpr std::size_t NONE = static_cast<std::size_t>(-1);
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t lastStar = NONE;  // the latest "*" passed, and where its run began
  std::size_t runStart = 0;
  while (n < nameLength) {
    if (p < patternLength && pattern[p] == Unit('*')) {
      lastStar = p++;
      runStart = n;
    } else if (p < patternLength && (pattern[p] == Unit('?') || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (lastStar != NONE) {
      // The latest "*" takes one unit more and the rest is tried again:
      // an earlier "*" never needs to, so this stays quadratic at worst.
      p = lastStar + 1;
      n = ++runStart;
    } else {
      return false;
    }
  }
  while (p < patternLength && pattern[p] == Unit('*')) ++p;
  return p == patternLength;
}
