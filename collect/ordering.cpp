#include "collect/ordering.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

// memcmp compares bytes as unsigned char, so a Shift_JIS lead byte (0x81 and
// up) sorts after every ASCII byte whatever the signedness of char.
bool entryLess(const FileEntry& a, const FileEntry& b) {
  const std::size_t common = std::min(a.urlPath.size(), b.urlPath.size());
  const int order = common == 0 ? 0 : std::memcmp(a.urlPath.data(), b.urlPath.data(), common);
  if (order != 0) return order < 0;
  return a.urlPath.size() < b.urlPath.size();
}

namespace {

// Sixteen bytes of an entry's path from the point where the paths of the
// run begin to differ, as two numbers that compare as the bytes do (a path
// that ends early reads as zeros, so it still comes first), and where the
// entry stands.
struct SortKey {
  std::uint64_t high;
  std::uint64_t low;
  std::size_t index;
};

std::uint64_t bigEndianBytes(const std::string& path, std::size_t from) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    const std::size_t at = from + i;
    const unsigned char byte = at < path.size() ? static_cast<unsigned char>(path[at]) : 0;
    value = (value << 8) | byte;
  }
  return value;
}

// Bytes that every path of the run begins with.
std::size_t sharedPrefixLength(const std::vector<FileEntry>& entries) {
  const std::string& first = entries.front().urlPath;
  std::size_t shared = first.size();
  for (const FileEntry& entry : entries) {
    const std::string& path = entry.urlPath;
    const std::size_t limit = std::min(shared, path.size());
    std::size_t same = 0;
    while (same < limit && path[same] == first[same]) ++same;
    shared = same;
    if (shared == 0) break;
  }
  return shared;
}

}  // namespace

void sortEntries(std::vector<FileEntry>& entries) {
  const std::size_t count = entries.size();
  if (count < 2) return;

  // Sorting the entries themselves moves every large record many times and
  // reads two paths from scattered heap blocks at every comparison. Small
  // keys settle nearly every comparison from one array; only keys that agree
  // on all sixteen bytes look at the paths.
  const std::size_t shared = sharedPrefixLength(entries);
  std::vector<SortKey> keys(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& path = entries[i].urlPath;
    keys[i] = SortKey{bigEndianBytes(path, shared), bigEndianBytes(path, shared + 8), i};
  }
  std::sort(keys.begin(), keys.end(), [&entries](const SortKey& a, const SortKey& b) {
    if (a.high != b.high) return a.high < b.high;
    if (a.low != b.low) return a.low < b.low;
    return entryLess(entries[a.index], entries[b.index]);
  });

  // Each entry is then moved once, cycle by cycle, to where its key went:
  // position i takes the entry that stood at keys[i].index.
  for (std::size_t start = 0; start < count; ++start) {
    if (keys[start].index == start) continue;
    FileEntry held = std::move(entries[start]);
    std::size_t to = start;
    for (;;) {
      const std::size_t from = keys[to].index;
      keys[to].index = to;
      if (from == start) {
        entries[to] = std::move(held);
        break;
      }
      entries[to] = std::move(entries[from]);
      to = from;
    }
  }
}
