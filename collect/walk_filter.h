// What a walk or a wildcard leaves out: hidden and system names when
// SkipHiddenFiles is on, and names matching an ExcludeNames pattern. Made
// once per run from the settings; an argument the user named itself is
// never asked about.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "settings/output_options.h"

class WalkFilter {
 public:
  WalkFilter() = default;  // leaves nothing out
  explicit WalkFilter(const OutputOptions& options);
  // The same with the ExcludeNames list as it was typed (UTF-16): a
  // character the code page lacks stands for itself, not for a "?" that
  // would match any one.
  WalkFilter(const OutputOptions& options, const std::wstring& excludeNames);

  // False when nothing is ever left out: the walk then asks nothing.
  bool active() const { return skipHidden_ || !patterns_.empty(); }

  // True when a file or folder a listing or search found, with these
  // attributes and this name, is to be left out; a folder left out is not
  // walked.
  bool leavesOut(DWORD attributes, const wchar_t* name) const;

 private:
  bool skipHidden_ = false;
  std::vector<std::wstring> patterns_;  // exact forms, upper case
  mutable std::wstring upperName_;      // the name being asked about, reused name to name
};
