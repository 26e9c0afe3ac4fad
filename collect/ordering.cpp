#include "collect/ordering.h"

#include <algorithm>

bool entryLess(const FileEntry& a, const FileEntry& b) { return a.urlPath < b.urlPath; }

void sortEntries(std::vector<FileEntry>& entries) {
  std::sort(entries.begin(), entries.end(), entryLess);
}
