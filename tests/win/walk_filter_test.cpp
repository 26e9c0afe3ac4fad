#include "collect/walk_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/job.h"
#include "test_support.h"
#include "text/exact_path.h"

namespace {

using Paths = std::vector<std::string>;

// A folder as Explorer shows it and as it really is: hidden dot names,
// system files and folders, Shift_JIS names and names the code page cannot
// spell ("?" in the list, "??" for the emoji). A dot name reads as hidden
// under Wine 8 by its name alone; Wine 10 gives one that a Windows program
// made the attributes it was made with, so the bit is set as well.
class WalkFilterTree : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"d", "d\\.git", "d\\sysdir", "d\\sub", "d\\表"}) {
      tree.folder(folder);
    }
    for (const char* file : {"d\\a.txt", "d\\.hidden", "d\\sys.txt", "d\\Thumbs.db",
                             "d\\desktop.ini", "d\\.git\\config", "d\\sysdir\\entry",
                             "d\\sub\\b.txt", "d\\sub\\x.TMP", "d\\表\\ソ.txt"}) {
      tree.file(file, "x");
    }
    for (const char* hidden : {"d\\.hidden", "d\\.git"}) {
      const std::string path = tree.path(hidden);
      SetFileAttributesA(path.c_str(), GetFileAttributesA(path.c_str()) | FILE_ATTRIBUTE_HIDDEN);
      ASSERT_NE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u) << hidden;
    }
    for (const char* system : {"d\\sys.txt", "d\\sysdir", "d\\Thumbs.db", "d\\desktop.ini"}) {
      const std::string path = tree.path(system);
      SetFileAttributesA(path.c_str(), GetFileAttributesA(path.c_str()) | FILE_ATTRIBUTE_HIDDEN |
                                           FILE_ATTRIBUTE_SYSTEM);
      ASSERT_NE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_SYSTEM, 0u) << system;
    }
    ASSERT_TRUE(CreateDirectoryW(wide(L"\\d\\\xD55C").c_str(), nullptr));
    for (const std::wstring& name : wideFiles()) {
      const HANDLE file = CreateFileW(wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(file, INVALID_HANDLE_VALUE);
      CloseHandle(file);
    }
  }
  // The names the ANSI clean-up of TempTree cannot reach.
  void TearDown() override {
    for (const std::wstring& name : wideFiles()) DeleteFileW(wide(name).c_str());
    RemoveDirectoryW(wide(L"\\d\\\xD55C").c_str());
  }
  static std::vector<std::wstring> wideFiles() {
    return {L"\\d\\\xD55C\\korea.txt", L"\\d\\\xD55C.txt", L"\\d\\\xD83D\xDE00.txt"};
  }
  std::wstring wide(const std::wstring& relative) const {
    return exactForm(tree.root()) + relative;
  }

  // The URL paths one argument gives, sorted.
  Paths walk(const std::string& argument, bool skipHidden, const std::string& excludeNames) {
    Job job(GetModuleHandleA(nullptr), "\"C:\\dir\\q.exe\"");
    job.options.EncodeURL = false;
    job.options.SkipHiddenFiles = skipHidden;
    job.options.ExcludeNames = excludeNames;
    job.walkFilter = WalkFilter(job.options);
    job.collectPath(tree.path(argument), std::string(), true);
    Paths paths;
    for (const FileEntry& entry : job.entries) paths.push_back(entry.urlPath);
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  TempTree tree;
};

TEST_F(WalkFilterTree, WalksAndWildcardsLeaveOutNamedArgumentsStay) {
  const Paths all = {"d/.git/config", "d/.hidden",      "d/??.txt",    "d/?.txt",
                     "d/?/korea.txt", "d/Thumbs.db",    "d/a.txt",     "d/desktop.ini",
                     "d/sub/b.txt",   "d/sub/x.TMP",    "d/sys.txt",   "d/sysdir/entry",
                     "d/表/ソ.txt"};
  const struct {
    const char* argument;
    bool skipHidden;
    const char* excludeNames;
    Paths expected;
  } cases[] = {
      {"d", false, "", all},
      {"d", true, "",
       {"d/??.txt", "d/?.txt", "d/?/korea.txt", "d/a.txt", "d/sub/b.txt", "d/sub/x.TMP",
        "d/表/ソ.txt"}},
      {"d\\*.txt", true, "", {"??.txt", "?.txt", "a.txt"}},
      {"d\\*", false, "SUB;.*", {"??.txt", "?.txt", "?/korea.txt", "Thumbs.db", "a.txt",
                                 "desktop.ini", "sys.txt", "sysdir/entry", "表/ソ.txt"}},
      // Named by the user: taken, and a hidden folder walked.
      {"d\\sys.txt", true, "*", {"sys.txt"}},
      {"d\\Thumbs.db", true, "thumbs.db", {"Thumbs.db"}},
      {"d\\.git", true, "", {".git/config"}},
      {"d", false, "thumbs.DB;DESKTOP.INI;*.tmp;;",
       {"d/.git/config", "d/.hidden", "d/??.txt", "d/?.txt", "d/?/korea.txt", "d/a.txt",
        "d/sub/b.txt", "d/sys.txt", "d/sysdir/entry", "d/表/ソ.txt"}},
      // A folder pattern, a Shift_JIS one, and "?" for one unit of a name
      // the code page lacks: the emoji takes two.
      {"d", false, "表;?.txt;.GIT;sysdir;sub",
       {"d/.hidden", "d/??.txt", "d/?/korea.txt", "d/Thumbs.db", "d/desktop.ini", "d/sys.txt"}},
      {"d", false, "??.txt;?", {"d/.git/config", "d/.hidden", "d/?.txt", "d/Thumbs.db", "d/a.txt",
                                "d/desktop.ini", "d/sub/b.txt", "d/sub/x.TMP", "d/sys.txt",
                                "d/sysdir/entry"}},
      {"d", false, " a.txt;a.txt ", all},  // blanks are part of a pattern
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.argument) + " " + (c.skipHidden ? "/I" : "/i") + " /X:" +
                 c.excludeNames);
    Paths expected = c.expected;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(walk(c.argument, c.skipHidden, c.excludeNames), expected);
  }
}

// /X: as typed: its ANSI token reads "?.txt" for a name the code page lacks,
// which as a pattern would match any one-character name.
TEST(TypedExcludeNames, MatchTheCharactersTyped) {
  TempTree tree;
  const std::wstring folder = exactForm(tree.folder("d"));
  const std::wstring korean = folder + L"\\\xD55C.txt";
  const std::wstring other = folder + L"\\\xBD81.txt";
  for (const std::wstring& path : {korean, other}) {
    CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  }
  Job job(GetModuleHandleA(nullptr), "\"q.exe\"");
  job.arguments = ArgumentList({"q.exe", "/X:?.txt", tree.path("d")},
                               {L"q.exe", L"/X:\xD55C.txt", folder});
  {
    MessageBoxCatcher catcher;
    EXPECT_TRUE(job.applyCommandLine());
  }
  std::vector<std::wstring> found;
  for (const FileEntry& entry : job.entries) {
    found.push_back(entry.exactPath.empty() ? L"" : entry.exactPath.get());
  }
  for (const std::wstring& path : {korean, other}) DeleteFileW(path.c_str());
  EXPECT_TRUE(found == std::vector<std::wstring>{other});
}

}  // namespace
