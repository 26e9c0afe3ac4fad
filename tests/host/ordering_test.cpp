#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "collect/ordering.h"
#include "settings/vocabulary.h"
#include "text/line_assembly.h"

namespace {

FileEntry entryAt(const std::string& urlPath, std::int64_t size = 0) {
  FileEntry entry;
  entry.urlPath = urlPath;
  entry.size = size;
  return entry;
}

bool less(const std::string& a, const std::string& b) { return entryLess(entryAt(a), entryAt(b)); }

std::vector<std::string> sortedPaths(const std::vector<std::string>& paths) {
  std::vector<FileEntry> entries;
  for (const std::string& path : paths) entries.push_back(entryAt(path));
  sortEntries(entries);
  std::vector<std::string> result;
  for (const FileEntry& entry : entries) result.push_back(entry.urlPath);
  return result;
}

TEST(EntryLess, BytesAsUnsignedNumbers) {
  EXPECT_TRUE(less("B.txt", "a.txt"));  // no case folding
  EXPECT_FALSE(less("a.txt", "B.txt"));
  EXPECT_TRUE(less("file10", "file2"));  // digits are not numbers
  EXPECT_TRUE(less("%83%41", "0"));
  // Bytes from 0x80 up sort after ASCII: unsigned, whatever char is.
  EXPECT_TRUE(less("z", "\x83\x41"));
  EXPECT_TRUE(less("a\x7F", "a\x80"));
  EXPECT_TRUE(less("\x81\x40", "\xFC\x40"));
  EXPECT_FALSE(less("\xFF", "\x01"));
  // Double-byte characters get no special treatment: byte by byte.
  EXPECT_TRUE(less("\x83\x41", "\x83\x5C"));
}

TEST(EntryLess, PrefixesAndEqualPaths) {
  EXPECT_TRUE(less("ab", "ab\x01"));
  EXPECT_FALSE(less("ab\x80", "ab"));
  EXPECT_TRUE(less("", "a"));
  EXPECT_TRUE(less(std::string("a\0", 2), std::string("a\0\0", 3)));  // length, not the zero
  EXPECT_FALSE(less("same", "same"));
  EXPECT_FALSE(less("", ""));
}

TEST(SortEntries, DotBeforeSlashBeforeDigitsAndLetters) {
  EXPECT_EQ(sortedPaths({"aa.txt", "a0.txt", "a/b.txt", "a.txt", "a/c/d.txt", "B.txt"}),
            (std::vector<std::string>{"B.txt", "a.txt", "a/b.txt", "a/c/d.txt", "a0.txt",
                                      "aa.txt"}));
  EXPECT_TRUE(sortedPaths({}).empty());
  EXPECT_EQ(sortedPaths({"x"}), (std::vector<std::string>{"x"}));
  EXPECT_EQ(sortedPaths({"b", "a", "b", "a"}), (std::vector<std::string>{"a", "a", "b", "b"}));
}

TEST(SortEntries, LowerCasingComesAfterTheOrder) {
  OutputOptions options;
  options.EnSmallURL = true;
  options.URLHead = "";
  buildOutputVocabulary(options);
  std::vector<FileEntry> entries = {entryAt("a.txt", 1), entryAt("B.txt", 2)};
  sortEntries(entries);
  const SizeScale scale = makeSizeScale(options.ByteUnit);
  for (FileEntry& entry : entries) prepareEntryFields(entry, options, scale);
  std::string output;
  for (FileEntry& entry : entries) {
    appendEntryText(entry, options, output);
  }
  EXPECT_EQ(output, "b.txt (2 bytes)\r\na.txt (1 bytes)\r\n");
}

TEST(SortEntries, AgreesWithTheByteOrderOnPathsSharingLongPrefixes) {
  // Paths that agree on far more than sixteen bytes past a prefix common to
  // all, that end inside or just after those bytes, that hold zeros or high
  // bytes there, and duplicates: every path a compact key cannot tell apart.
  const std::string shared = "folder/sub/";
  const std::string pieces[] = {"",  "a",  std::string("\0", 1), "\x80", "\xFF", "0123456789abcdef",
                                "0123456789abcdeg", "0123456789abcdef0", "0123456789abcde"};
  std::vector<std::string> paths;
  for (const std::string& first : pieces) {
    for (const std::string& second : pieces) paths.push_back(shared + first + second);
  }
  // Then once more with a path that shortens the prefix common to all.
  for (int round = 0; round < 2; ++round) {
    if (round == 1) paths.push_back("f");
    std::vector<std::string> expected = paths;
    std::sort(expected.begin(), expected.end(),
              [](const std::string& a, const std::string& b) { return less(a, b); });
    // Reversed and rotated inputs make the moves run through long cycles.
    std::vector<std::string> reversed(paths.rbegin(), paths.rend());
    std::vector<std::string> rotated = paths;
    std::rotate(rotated.begin(), rotated.begin() + 7, rotated.end());
    for (const auto* input : {&paths, &reversed, &rotated}) {
      EXPECT_EQ(sortedPaths(*input), expected) << "round " << round;
    }
  }
}

}  // namespace
