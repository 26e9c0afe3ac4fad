#include "collect/ordering.h"

#include <algorithm>
#include <cstring>

// memcmp compares bytes as unsigned char, so a Shift_JIS lead byte (0x81 and
// up) sorts after every ASCII byte whatever the signedness of char.
bool entryLess(const FileEntry& a, const FileEntry& b) {
  const std::size_t common = std::min(a.urlPath.size(), b.urlPath.size());
  const int order = common == 0 ? 0 : std::memcmp(a.urlPath.data(), b.urlPath.data(), common);
  if (order != 0) return order < 0;
  return a.urlPath.size() < b.urlPath.size();
}

void sortEntries(std::vector<FileEntry>& entries) {
  std::sort(entries.begin(), entries.end(), entryLess);
}
