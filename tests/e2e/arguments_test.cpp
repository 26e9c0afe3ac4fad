// The command line seen from outside: options change this run's output, every
// bad argument gets its numbered line in one report, and the walk shows on
// status line 2 where it is.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

const char* const FILE_NAME = "a b.txt";
const char* const DEFAULT_HEAD = "http://www.example.com/files/";
const char* const REPORT_HEADER = "引数に、以下のエラーがあります。\n";
const char* const NO_FILE_LINE = "\n- 有効なファイル名が 1 つも指定されていません。";
const char* const COMMAND_LINE_STAGE = "コマンドラインから設定値を取得中";

std::string notRecognised(int number, const std::string& token) {
  return "\n- 第 " + std::to_string(number) + " 引数 「" + token + "」 が認識できません。";
}

std::string matchesNothing(int number, const std::string& token) {
  return "\n- 第 " + std::to_string(number) + " 引数 「" + token +
         "」 に該当するファイルが見つかりません。";
}

struct ReportCase {
  const char* what;
  std::string arguments;
  std::string errorLines;
};

// Each case ends the run with one warning box listing exactly these lines,
// exit code -13 and the clipboard as it was.
TEST(Arguments, ReportNamesEveryBadArgumentByItsNumber) {
  e2e::Sandbox box;
  ASSERT_TRUE(box.ok());
  ASSERT_TRUE(box.writeFile(FILE_NAME, "12345"));
  const std::string file = e2e::quoted(box.path(FILE_NAME));
  const std::string missing = box.path("nothing-*.zzz");
  const ReportCase cases[] = {
      {"unknown flag and no file", "/X", notRecognised(1, "/X") + NO_FILE_LINE},
      {"two bad unit letters", file + " /B:xy",
       notRecognised(2, "/B:xy") + notRecognised(2, "/B:xy")},
      {"empty unit name", file + " /N:", notRecognised(2, "/N:")},
      {"URL encoding forms it does not know", file + " /E:UTF16 /e=",
       notRecognised(2, "/E:UTF16") + notRecognised(3, "/e=")},
      // S switches EnSmallURL on, h stops the token with one line.
      {"/ShowDate=1 is a flag option", "/ShowDate=1 " + file, notRecognised(1, "/ShowDate=1")},
      {"a path matching nothing, beside one that matches", file + " " + e2e::quoted(missing),
       matchesNothing(2, missing)},
      {"an empty token keeps its number", "/X \"\" /Y " + file,
       notRecognised(1, "/X") + notRecognised(3, "/Y")},
      // The unquoted URL falls apart at each "/" after text: /U:http: is a
      // good option, the pieces after it are not.
      {"everything at once",
       "/ \"\" /B /D:1 /B:KX " + e2e::quoted(missing) + " /U:http://x.test " + file + " /N=",
       notRecognised(1, "/") + notRecognised(3, "/B") + notRecognised(4, "/D:1") +
           notRecognised(5, "/B:KX") + matchesNothing(6, missing) + notRecognised(8, "/") +
           notRecognised(9, "/x.test") + notRecognised(11, "/N=")},
  };
  for (const ReportCase& c : cases) {
    SCOPED_TRACE(c.what);
    const e2e::Outcome out = box.run(c.arguments);
    ASSERT_TRUE(out.finished()) << out.summary();
    EXPECT_EQ(out.exitCode, -13) << out.summary();
    ASSERT_EQ(out.messages.size(), 1u) << out.summary();
    EXPECT_EQ(out.messages[0].text, REPORT_HEADER + c.errorLines) << out.summary();
    EXPECT_EQ(out.messages[0].icon, e2e::Icon::Warning);
    EXPECT_TRUE(out.sentinelKept) << out.summary();
  }
}

struct OutputCase {
  const char* what;
  std::string arguments;
  std::string clipboard;
};

// Options override the INI file and act on this run's output; EncodeURL
// acts only on the paths after it.
TEST(Arguments, OptionsShapeTheOutput) {
  e2e::Sandbox box;
  ASSERT_TRUE(box.ok());
  const FILETIME written = e2e::localFileTime(2011, 5, 1, 12, 34, 56);
  ASSERT_TRUE(box.writeFile(FILE_NAME, std::string(1234, 'q'), &written));
  ASSERT_TRUE(box.writeIni("[Strings]\r\nURLHead=http://ini.test/\r\n"));
  ASSERT_TRUE(box.writeFile("表\\ソ.txt", "12345"));
  const std::string file = e2e::quoted(box.path(FILE_NAME));
  const std::string folder = e2e::quoted(box.path("表"));
  const OutputCase cases[] = {
      {"INI head", file, "http://ini.test/a+b.txt (1,234 bytes)\r\n"},
      {"/U: empties the head", "/U: " + file, "a+b.txt (1,234 bytes)\r\n"},
      {"quoted /U: value with slashes", "\"/U:http://cmd.test/x\" " + file,
       "http://cmd.test/x/a+b.txt (1,234 bytes)\r\n"},
      {"flags glued together", "/U: /DTc/W " + file,
       "a+b.txt （1234 bytes、2011/05/01 12:34:56）\r\n"},
      {"unit and unit name", "/U: /B=k \"/N:キロバイト\" " + file,
       "a+b.txt (1.21 キロバイト)\r\n"},
      {"/e after a path", "/U: " + file + " /e " + file,
       "a b.txt (1,234 bytes)\r\na+b.txt (1,234 bytes)\r\n"},
      // 表 and ソ end in the byte 0x5C: neither is cut there.
      {"Shift_JIS folder, encoded and not", "/U: " + folder + " /e " + folder,
       "%95%5c/%83%5c.txt (5 bytes)\r\n表/ソ.txt         (5 bytes)\r\n"},
  };
  for (const OutputCase& c : cases) {
    SCOPED_TRACE(c.what);
    const e2e::Outcome out = box.run(c.arguments);
    ASSERT_TRUE(out.finished()) << out.summary();
    EXPECT_EQ(out.exitCode, 0) << out.summary();
    EXPECT_TRUE(out.messages.empty()) << out.summary();
    EXPECT_EQ(out.clipboard, c.clipboard) << out.summary();
  }
}

// A name without a folder is looked for in the working folder, and that is
// where its contents are read from.
TEST(Arguments, BareNamesAreReadFromTheWorkingFolder) {
  e2e::Sandbox box;
  ASSERT_TRUE(box.ok());
  ASSERT_TRUE(box.writeFile(FILE_NAME, std::string(1234, 'q')));
  const std::string line = "a+b.txt (1,234 bytes, MD5: 5de38afadfc5c9b2c5548da5843e1492)\r\n";
  e2e::LaunchOptions options;
  options.workingDirectory = box.folder();
  for (const std::string& name : {e2e::quoted(FILE_NAME), std::string("*.txt")}) {
    SCOPED_TRACE(name);
    const e2e::Outcome out = box.run("/U: /M " + name, options);
    ASSERT_TRUE(out.finished()) << out.summary();
    EXPECT_EQ(out.exitCode, 0) << out.summary();
    EXPECT_TRUE(out.messages.empty()) << out.summary();
    EXPECT_EQ(out.clipboard, line) << out.summary();
  }
}

// ---------------------------------------------------------------------------
// A walk that outlasts the window's five-second delay.
//
// Every folder costs the walk one directory search, which under Wine is far
// dearer than listing a name, and making and removing folders is dearer
// still. So the tree stays small and the command line names its top folders
// many times over: walking the same folders again keeps the walk going.
//
// Until the window shows, the walk runs at full speed (here about a hundred
// passes over 584 folders in five seconds); once it shows, every folder's
// status line is painted at once and the walk slows down by a factor that
// depends on the machine's load. So the tree is wide and the command line
// names it as often as it can hold, a walk of minutes here, and the run is
// ended as soon as the window has shown what the test looks for.

constexpr int TOP_FOLDERS = 8;
constexpr int SUBFOLDERS = 8;
constexpr int LEAVES = 64;
constexpr std::size_t COMMAND_LINE_BYTES = 30000;
constexpr std::size_t LEAVES_TO_SEE = 10;
constexpr std::int64_t LOOK_UNTIL_MS = 120000;

std::uint64_t nowMs() { return GetTickCount64(); }

struct WalkTree {
  std::vector<std::string> tops;  // full paths, in argument order
  std::set<std::string> folders;  // every folder of the tree, full path
  std::set<std::string> leaves;   // the deepest ones
};

bool makeWalkTree(const e2e::Sandbox& box, WalkTree& tree) {
  if (!box.makeFolder("walk")) return false;
  for (int t = 0; t < TOP_FOLDERS; ++t) {
    const std::string name(1, static_cast<char>('a' + t));
    const std::string top = box.path("walk\\" + name);
    if (!CreateDirectoryA(top.c_str(), nullptr)) return false;
    tree.tops.push_back(top);
    tree.folders.insert(top);
    for (int s = 0; s < SUBFOLDERS; ++s) {
      const std::string sub = top + "\\s" + std::to_string(s);
      if (!CreateDirectoryA(sub.c_str(), nullptr)) return false;
      tree.folders.insert(sub);
      for (int l = 0; l < LEAVES; ++l) {
        const std::string leaf = sub + "\\l" + std::to_string(l);
        if (!CreateDirectoryA(leaf.c_str(), nullptr)) return false;
        tree.folders.insert(leaf);
        tree.leaves.insert(leaf);
      }
    }
    if (!box.writeFile("walk\\" + name + "\\f.txt", "x")) return false;
  }
  return true;
}

TEST(Arguments, StatusLine2FollowsTheWalkWhileTheWindowShows) {
  const std::uint64_t testStart = nowMs();
  e2e::Sandbox box;
  ASSERT_TRUE(box.ok());
  WalkTree tree;
  ASSERT_TRUE(makeWalkTree(box, tree));
  const std::uint64_t treeMade = nowMs();

  std::string pass;
  for (const std::string& top : tree.tops) pass += e2e::quoted(top) + " ";
  std::string arguments;
  while (arguments.size() + pass.size() < COMMAND_LINE_BYTES) arguments += pass;

  e2e::LaunchOptions options;
  options.timeoutMs = LOOK_UNTIL_MS;
  std::set<std::string> leavesShown;
  std::set<std::string> topsShown;
  options.endWhen = [&](const e2e::WindowState& state) {
    if (!state.visible || state.line1 != COMMAND_LINE_STAGE) return false;
    if (tree.leaves.count(state.line2) != 0) leavesShown.insert(state.line2);
    for (const std::string& top : tree.tops) {
      if (state.line2.compare(0, top.size(), top) == 0) topsShown.insert(top);
    }
    return leavesShown.size() >= LEAVES_TO_SEE && topsShown.size() == tree.tops.size();
  };
  const e2e::Outcome out = box.run(arguments, options);
  ASSERT_TRUE(out.started);
  EXPECT_FALSE(out.timedOut) << out.summary();
  EXPECT_TRUE(out.messages.empty()) << out.summary();
  // Normally the test has ended the run by now; a walk that was over
  // sooner must have ended well.
  if (!out.endedByTest) {
    EXPECT_EQ(out.exitCode, 0) << out.summary();
  }

  // What the shown window said while the command-line stage ran.
  std::int64_t stageSeenFrom = -1;
  std::int64_t stageSeenUntil = -1;
  std::set<std::string> tops;
  std::set<std::string> leaves;
  std::vector<std::string> strangers;
  for (const e2e::WindowState& state : out.window.timeline) {
    if (!state.exists || !state.visible || state.line1 != COMMAND_LINE_STAGE) continue;
    if (stageSeenFrom < 0) stageSeenFrom = state.atMs;
    stageSeenUntil = state.atMs;
    // Until its first notification is handled line 2 may still be empty.
    if (state.line2.empty()) continue;
    if (tree.folders.count(state.line2) == 0) {
      strangers.push_back(state.line2);
      continue;
    }
    if (tree.leaves.count(state.line2) != 0) leaves.insert(state.line2);
    for (const std::string& top : tree.tops) {
      if (state.line2.compare(0, top.size(), top) == 0) tops.insert(top);
    }
  }
  std::printf("[ timing ] %zu folders made in %llu ms; window shown at %lld ms; walk seen from "
              "%lld to %lld ms, %zu of %zu leaves; %llu ms from the start of the test to the "
              "end of the run\n",
              tree.folders.size(), static_cast<unsigned long long>(treeMade - testStart),
              static_cast<long long>(out.window.shownMs), static_cast<long long>(stageSeenFrom),
              static_cast<long long>(stageSeenUntil), leaves.size(), tree.leaves.size(),
              static_cast<unsigned long long>(nowMs() - testStart));

  ASSERT_GE(stageSeenFrom, 0) << "the window never showed during the walk" << out.summary();
  // Line 2 names the folders being searched (no pattern, no trailing
  // backslash), the deepest ones included, and moves on from argument to
  // argument.
  EXPECT_TRUE(strangers.empty()) << "unexpected line 2: "
                                 << (strangers.empty() ? "" : strangers.front()) << out.summary();
  EXPECT_GE(leaves.size(), LEAVES_TO_SEE) << out.summary();
  EXPECT_EQ(tops.size(), tree.tops.size()) << out.summary();
}

}  // namespace
