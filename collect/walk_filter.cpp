#include "collect/walk_filter.h"

#include <cwchar>

#include "collect/name_patterns.h"
#include "text/exact_path.h"

namespace {

// Names are matched without regard to case, as the file system matches
// them: both sides in upper case by the invariant locale's table, which no
// user language changes (an "i" is an "I" under a Turkish one too).
void upperCase(const wchar_t* text, std::size_t length, std::wstring& upper) {
  upper.assign(text, length);
  if (length == 0) return;
  // A simple case mapping keeps the length; should it not, the text is
  // compared as it is.
  if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text, static_cast<int>(length), &upper[0],
                   static_cast<int>(length)) != static_cast<int>(length)) {
    upper.assign(text, length);
  }
}

}  // namespace

WalkFilter::WalkFilter(const OutputOptions& options)
    : WalkFilter(options, exactForm(options.ExcludeNames)) {}

WalkFilter::WalkFilter(const OutputOptions& options, const std::wstring& excludeNames)
    : skipHidden_(options.SkipHiddenFiles) {
  for (const std::wstring& pattern : splitNamePatterns(excludeNames)) {
    std::wstring upper;
    upperCase(pattern.c_str(), pattern.size(), upper);
    patterns_.push_back(upper);
  }
}

bool WalkFilter::leavesOut(DWORD attributes, const wchar_t* name) const {
  if (skipHidden_ && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) {
    return true;
  }
  if (patterns_.empty()) return false;
  upperCase(name, wcslen(name), upperName_);
  for (const std::wstring& pattern : patterns_) {
    if (matchesNamePattern(pattern.c_str(), pattern.size(), upperName_.c_str(),
                           upperName_.size())) {
      return true;
    }
  }
  return false;
}
