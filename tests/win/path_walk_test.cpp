#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/job.h"
#include "collect/path_walk.h"
#include "test_support.h"

namespace {

struct Found {
  std::string urlPath;
  std::string localPath;
  bool operator==(const Found& other) const {
    return urlPath == other.urlPath && localPath == other.localPath;
  }
};

std::ostream& operator<<(std::ostream& out, const Found& found) {
  return out << "{" << found.urlPath << " | " << found.localPath << "}";
}

// The entries of one walk, sorted by URL path: the platform's order of
// results is its own.
std::vector<Found> walk(const std::string& path, bool encode = false,
                        std::uint32_t* count = nullptr) {
  Job job(GetModuleHandleA(nullptr), "\"C:\\dir\\q.exe\"");
  job.options.EncodeURL = encode;
  const std::uint32_t added = job.collectPath(path, std::string(), true);
  if (count != nullptr) *count = added;
  EXPECT_EQ(added, job.entries.size()) << path;
  std::vector<Found> result;
  for (const FileEntry& entry : job.entries) result.push_back({entry.urlPath, entry.localPath});
  std::sort(result.begin(), result.end(),
            [](const Found& a, const Found& b) { return a.urlPath < b.urlPath; });
  return result;
}

std::vector<std::string> urlPaths(const std::vector<Found>& found) {
  std::vector<std::string> paths;
  for (const Found& one : found) paths.push_back(one.urlPath);
  return paths;
}

bool namesAFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

using Paths = std::vector<std::string>;

class PathWalk : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.folder("d");
    tree.folder("d\\sub");
    a = tree.file("d\\a.txt", "aaa");
    b = tree.file("d\\sub\\b.txt", "bb");
  }
  TempTree tree;
  std::string a;
  std::string b;
};

TEST_F(PathWalk, UrlPathsRelativeToTheArgumentsFolder) {
  const std::string d = tree.path("d");
  EXPECT_EQ(walk(d + "\\a.txt"), (std::vector<Found>{{"a.txt", a}}));
  EXPECT_EQ(walk(d + "\\*.txt"), (std::vector<Found>{{"a.txt", a}}));
  EXPECT_EQ(walk(d + "\\*"), (std::vector<Found>{{"a.txt", a}, {"sub/b.txt", b}}));
  EXPECT_EQ(walk(d), (std::vector<Found>{{"d/a.txt", a}, {"d/sub/b.txt", b}}));
  EXPECT_EQ(walk(d + "\\sub"), (std::vector<Found>{{"sub/b.txt", b}}));
}

TEST_F(PathWalk, FolderFoundThroughAWildcardIsWalkedInFull) {
  tree.folder("d\\sub\\deeper");
  const std::string c = tree.file("d\\sub\\deeper\\c.txt");
  tree.file("d\\other.txt");
  EXPECT_EQ(walk(tree.path("d\\su*")),
            (std::vector<Found>{{"sub/b.txt", b}, {"sub/deeper/c.txt", c}}));
}

TEST_F(PathWalk, FolderArgumentWithTrailingBackslash) {
  // Its own name is empty, and one backslash is always appended.
  const std::vector<Found> found = walk(tree.path("d\\"));
  EXPECT_EQ(found, (std::vector<Found>{{"/a.txt", tree.path("d\\\\a.txt")},
                                       {"/sub/b.txt", tree.path("d\\\\sub\\b.txt")}}));
  for (const Found& one : found) EXPECT_TRUE(namesAFile(one.localPath)) << one;
}

TEST_F(PathWalk, EncodedComponentsKeepTheirSeparators) {
  tree.folder("my dir");
  tree.folder("my dir\\sub \x83\x41");
  const std::string file = tree.file("my dir\\sub \x83\x41\\x+y %.txt");
  EXPECT_EQ(walk(tree.path("my dir"), true),
            (std::vector<Found>{{"my+dir/sub+%83%41/x%2by+%25.txt", file}}));
  EXPECT_EQ(walk(tree.path("my dir"), false),
            (std::vector<Found>{{"my dir/sub \x83\x41/x+y %.txt", file}}));
}

TEST_F(PathWalk, TrailByte5CNeitherCutsNorSplits) {
  // "ソ" is 83 5C and "表" is 95 5C.
  tree.folder("\x83\x5C");
  tree.folder("\x83\x5C\\\x95\x5C");
  const std::string top = tree.file("\x83\x5C\\\x95\x5C.txt", "x");
  const std::string deep = tree.file("\x83\x5C\\\x95\x5C\\\x83\x5C", "yy");
  EXPECT_EQ(walk(tree.path("\x83\x5C")),
            (std::vector<Found>{{"\x83\x5C/\x95\x5C.txt", top},
                                {"\x83\x5C/\x95\x5C/\x83\x5C", deep}}));
  EXPECT_EQ(walk(tree.path("\x83\x5C\\\x95\x5C")),
            (std::vector<Found>{{"\x95\x5C/\x83\x5C", deep}}));
  EXPECT_EQ(walk(tree.path("\x83\x5C\\\x95\x5C\\\x83\x5C")), (std::vector<Found>{{"\x83\x5C", deep}}));
  EXPECT_EQ(walk(tree.path("\x83\x5C\\*.txt"), true),
            (std::vector<Found>{{"%95%5c.txt", top}}));
  for (const std::string& local : {top, deep}) EXPECT_TRUE(namesAFile(local)) << local;
}

TEST_F(PathWalk, DotNamesAndHiddenFiles) {
  const std::string dotFile = tree.file("d\\.hidden", "h");
  const std::string hidden = tree.file("d\\secret.txt");
  SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  tree.folder("d\\.git");
  const std::string inDotFolder = tree.file("d\\.git\\c");
  EXPECT_EQ(walk(tree.path("d")),
            (std::vector<Found>{{"d/.git/c", inDotFolder},
                                {"d/.hidden", dotFile},
                                {"d/a.txt", a},
                                {"d/secret.txt", hidden},
                                {"d/sub/b.txt", b}}));
}

TEST_F(PathWalk, SameFileTwiceGivesTwoEntries) {
  Job job(GetModuleHandleA(nullptr), "\"C:\\dir\\q.exe\"");
  EXPECT_EQ(job.collectPath(a, "", true), 1u);
  EXPECT_EQ(job.collectPath(tree.path("d\\*.txt"), "", true), 1u);
  ASSERT_EQ(job.entries.size(), 2u);
  EXPECT_EQ(job.entries[0].urlPath, job.entries[1].urlPath);
  EXPECT_EQ(job.entries[1].size, 3);
  EXPECT_EQ(job.options.TotalSize, 6u);
}

TEST_F(PathWalk, NothingToCollect) {
  tree.folder("empty");
  tree.folder("empty\\hollow");
  std::uint32_t count = 1;
  EXPECT_TRUE(walk(tree.path("nosuch.txt"), false, &count).empty());
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(walk(tree.path("d\\*.zip")).empty());
  EXPECT_TRUE(walk(tree.path("*\\a.txt")).empty());  // a wildcard above the last component
  EXPECT_TRUE(walk(tree.path("empty")).empty());
  EXPECT_TRUE(walk(tree.path("nosuch\\")).empty());
}

// Changes the working directory for one test.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& folder) {
    saved_.resize(MAX_PATH * 2);
    saved_.resize(GetCurrentDirectoryA(static_cast<DWORD>(saved_.size()), &saved_[0]));
    SetCurrentDirectoryA(folder.c_str());
  }
  ~WorkingDirectory() { SetCurrentDirectoryA(saved_.c_str()); }

 private:
  std::string saved_;
};

TEST_F(PathWalk, RelativeArgumentsNameTheRealFiles) {
  WorkingDirectory inD(tree.path("d"));
  EXPECT_EQ(walk("a.txt"), (std::vector<Found>{{"a.txt", a}}));
  EXPECT_EQ(walk("*.txt"), (std::vector<Found>{{"a.txt", a}}));
  EXPECT_EQ(walk("*"), (std::vector<Found>{{"a.txt", a}, {"sub/b.txt", b}}));
  // Relative folders keep relative local paths; they name the files as long
  // as the working directory stays, which it does for the whole run.
  EXPECT_EQ(walk("sub"), (std::vector<Found>{{"sub/b.txt", "sub\\b.txt"}}));
  EXPECT_EQ(walk(".\\sub\\b.txt"), (std::vector<Found>{{"b.txt", ".\\sub\\b.txt"}}));
  EXPECT_TRUE(namesAFile("sub\\b.txt"));
}

TEST_F(PathWalk, ForwardSlashesInAQuotedArgument) {
  std::string slashed = tree.path("d\\sub\\b.txt");
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  EXPECT_EQ(walk(slashed), (std::vector<Found>{{"b.txt", b}}));
  EXPECT_EQ(walk(tree.path("d/sub/b.txt")), (std::vector<Found>{{"b.txt", b}}));
}

TEST_F(PathWalk, FolderTheAnsiNamesCannotSpellEndsTheWalk) {
  // U+D55C has no code page 932 form: its ANSI name is a "?", which as a
  // pattern matches the folder itself.
  const std::wstring unspellable = std::wstring(tree.root().begin(), tree.root().end()) +
                                   L"\\d\\\xD55C";
  ASSERT_TRUE(CreateDirectoryW(unspellable.c_str(), nullptr));
  std::uint32_t count = 0;
  EXPECT_EQ(urlPaths(walk(tree.path("d"), false, &count)), (Paths{"d/a.txt", "d/sub/b.txt"}));
  EXPECT_EQ(count, 2u);
  RemoveDirectoryW(unspellable.c_str());
}

TEST(IsExistingDirectory, FoldersOnly) {
  TempTree tree;
  tree.folder("f");
  tree.file("x");
  EXPECT_TRUE(isExistingDirectory(tree.root()));
  EXPECT_TRUE(isExistingDirectory(tree.path("f")));
  EXPECT_TRUE(isExistingDirectory(tree.path("f\\")));
  EXPECT_FALSE(isExistingDirectory(tree.path("x")));
  EXPECT_FALSE(isExistingDirectory(tree.path("nosuch")));
  EXPECT_FALSE(isExistingDirectory(tree.path("f\\*")));
}

}  // namespace
