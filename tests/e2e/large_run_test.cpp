// A run over more than 100,000 entries ends with its complete text on the
// clipboard. Nothing here asserts a speed; the times are printed for the
// record.
//
// Creating and removing a file costs about a millisecond under Wine, so
// 100,000 real files would spend nearly two minutes on the fixture alone.
// Instead 10,000 files sit in a chain of nested folders, each holding its
// files and the next folder, and every folder of the chain is named once:
// naming a folder collects everything beneath it under that folder's own
// name, so all 105,000 entries have different URL paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

const std::string HEAD = "http://www.example.com/files/";
constexpr int LEVELS = 20;
constexpr int FILES_PER_FOLDER = 500;
// Naming level k collects the levels k to LEVELS - 1.
constexpr std::size_t ENTRIES =
    static_cast<std::size_t>(LEVELS) * (LEVELS + 1) / 2 * FILES_PER_FOLDER;
static_assert(ENTRIES > 100000, "the run is meant to pass 100,000 entries");

std::string folderName(int level) {
  char name[8];
  std::snprintf(name, sizeof name, "c%02d", level);
  return name;
}
std::string fileName(int file) {
  char name[16];
  std::snprintf(name, sizeof name, "f%03d.txt", file);
  return name;
}

// The levels from..to joined with the separator, each name followed by it.
std::string chain(int from, int to, const char* separator) {
  std::string path;
  for (int level = from; level <= to; ++level) path += folderName(level) + separator;
  return path;
}

// The first file of each folder holds as many bytes as its level plus one,
// so that sizes must stay with their entries through the sort; all other
// files are empty.
std::size_t sizeOf(int level, int file) {
  return file == 0 ? static_cast<std::size_t>(level) + 1 : 0;
}

// Straight CreateFileA: the Sandbox helpers look up the folders for every
// file, which doubles the cost under Wine.
bool writeTree(const e2e::Sandbox& box) {
  for (int level = 0; level < LEVELS; ++level) {
    std::string folder = chain(0, level, "\\");
    folder.pop_back();
    if (!box.makeFolder(folder)) return false;
    for (int file = 0; file < FILES_PER_FOLDER; ++file) {
      HANDLE handle = CreateFileA(box.path(folder + "\\" + fileName(file)).c_str(),
                                  GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
      if (handle == INVALID_HANDLE_VALUE) return false;
      const std::string bytes(sizeOf(level, file), 'x');
      DWORD written = 0;
      const bool ok = bytes.empty() || (WriteFile(handle, bytes.data(),
                                                  static_cast<DWORD>(bytes.size()), &written,
                                                  nullptr) &&
                                        written == bytes.size());
      CloseHandle(handle);
      if (!ok) return false;
    }
  }
  return true;
}

// Every folder of the chain, from the outermost in.
std::string arguments() {
  std::string text;
  for (int level = 0; level < LEVELS; ++level) {
    std::string folder = chain(0, level, "\\");
    folder.pop_back();
    text += (level == 0 ? "" : " ") + folder;
  }
  return text;
}

// Names are ASCII and zero-padded, so plain string order is the byte order.
std::string expectedText() {
  struct Entry {
    std::string path;
    std::size_t size;
  };
  std::vector<Entry> entries;
  entries.reserve(ENTRIES);
  for (int named = 0; named < LEVELS; ++named) {
    for (int level = named; level < LEVELS; ++level) {
      for (int file = 0; file < FILES_PER_FOLDER; ++file) {
        entries.push_back({chain(named, level, "/") + fileName(file), sizeOf(level, file)});
      }
    }
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.path < b.path; });
  const std::size_t widest = chain(0, LEVELS - 1, "/").size() + fileName(0).size();
  std::string text;
  text.reserve(ENTRIES * (HEAD.size() + widest + 16));
  for (const Entry& entry : entries) {
    const std::string size = std::to_string(entry.size);
    text += HEAD + entry.path + std::string(widest - entry.path.size(), ' ') + " (" +
            std::string(2 - size.size(), ' ') + size + " bytes)\r\n";
  }
  return text;
}

std::size_t countOf(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos;
       at = text.find(piece, at + piece.size())) {
    ++count;
  }
  return count;
}

// Where two texts part, with a little context; the whole texts are megabytes.
std::string firstDifference(const std::string& seen, const std::string& expected) {
  std::size_t at = 0;
  while (at < seen.size() && at < expected.size() && seen[at] == expected[at]) ++at;
  const std::size_t from = at < 80 ? 0 : at - 80;
  return "texts differ at byte " + std::to_string(at) + " (lengths " +
         std::to_string(seen.size()) + " and " + std::to_string(expected.size()) +
         ")\n  seen:     " + seen.substr(from, 200) + "\n  expected: " +
         expected.substr(from, 200);
}

// The run without its clipboard text, which is too long to print.
std::string brief(const e2e::Outcome& out) {
  std::string text = "exit " + std::to_string(out.exitCode) + " after " +
                     std::to_string(out.endedMs) + " ms";
  if (out.timedOut) text += " (timed out)";
  text += ", " + std::to_string(out.messages.size()) + " message box(es)";
  for (const e2e::MessageBoxSeen& box : out.messages) text += "\n  box: " + box.text;
  text += ", clipboard " + std::to_string(out.clipboard.size()) + " bytes";
  if (out.sentinelKept) text += " (the sentinel)";
  return text;
}

TEST(LargeRun, OverHundredThousandEntriesEndWithTheCompleteText) {
  e2e::Outcome out;
  ULONGLONG ranAt = 0;
  {
    const ULONGLONG start = GetTickCount64();
    e2e::Sandbox box;
    ASSERT_TRUE(box.ok());
    ASSERT_TRUE(writeTree(box));
    std::printf("[ record ] %d files created in %llu ms\n", LEVELS * FILES_PER_FOLDER,
                static_cast<unsigned long long>(GetTickCount64() - start));

    e2e::LaunchOptions options;
    options.workingDirectory = box.folder();
    options.timeoutMs = 150000;
    out = box.run(arguments(), options);
    ranAt = GetTickCount64();
    std::printf("[ record ] run over %zu entries: %lld ms\n", ENTRIES,
                static_cast<long long>(out.endedMs));
  }
  std::printf("[ record ] files removed in %llu ms\n",
              static_cast<unsigned long long>(GetTickCount64() - ranAt));

  ASSERT_TRUE(out.finished()) << brief(out);
  EXPECT_EQ(out.exitCode, 0) << brief(out);
  EXPECT_TRUE(out.messages.empty()) << brief(out);
  EXPECT_EQ(countOf(out.clipboard, "\r\n"), ENTRIES) << brief(out);
  // The deepest file of the outermost naming first ("c" before "f"), the
  // last file of the innermost naming last, padded to the deepest path.
  const std::string deepest = chain(0, LEVELS - 1, "/") + "f000.txt";
  const std::string firstLine = HEAD + deepest + " (20 bytes)\r\n";
  const std::string lastLine =
      HEAD + "c19/f499.txt" + std::string(deepest.size() - 12, ' ') + " ( 0 bytes)\r\n";
  EXPECT_EQ(out.clipboard.substr(0, firstLine.size()), firstLine);
  EXPECT_GE(out.clipboard.size(), lastLine.size());
  if (out.clipboard.size() >= lastLine.size()) {
    EXPECT_EQ(out.clipboard.substr(out.clipboard.size() - lastLine.size()), lastLine);
  }
  const std::string expected = expectedText();
  EXPECT_TRUE(out.clipboard == expected) << firstDifference(out.clipboard, expected);
}

}  // namespace
