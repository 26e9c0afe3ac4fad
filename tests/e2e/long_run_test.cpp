// A digest pass still running when the five seconds are up: the window shows
// on time, with the pass's texts, and keeps up with the entries passing by,
// which come in the walk's order though two files are read at once.
#include <gtest/gtest.h>

#include <map>
#include <vector>
#include <string>

#include "tests/e2e/driver.h"

namespace {

const char* const DIGEST_STAGE = "ファイルの MD5 値の取得中";

// Long enough by design, not by a measured speed: no processor hashes MD5
// much faster than a gigabyte a second on one core, so 400 files of 64 MiB
// (sparse, so quick to make and to read) on two workers take a quarter of a
// minute at the least, and far longer on a slow machine. The run is ended
// as soon as the window has shown what the test looks for.
constexpr int FILES = 400;
constexpr std::uint64_t FILE_SIZE = std::uint64_t{64} << 20;
constexpr std::size_t ENTRIES_TO_SEE = 3;

bool seenInThePass(const e2e::WindowState& state) {
  return state.exists && state.visible && state.line1 == DIGEST_STAGE;
}

TEST(DigestLongRun, ManyEntriesStillShowTheWindowOnTime) {
  e2e::Sandbox box;
  for (int i = 0; i < FILES; ++i) {
    ASSERT_TRUE(box.writeFileOfSize("d\\f" + std::to_string(i) + ".bin", FILE_SIZE));
  }
  ASSERT_TRUE(box.writeIni("[Options]\r\nDigestThreads=2\r\n"));
  // The walk takes the files in the folder's own order.
  std::map<std::string, int> walkOrder;
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(box.path("d\\*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do {
    const int place = static_cast<int>(walkOrder.size());
    if (found.cFileName[0] != '.') walkOrder.emplace(std::string("d/") + found.cFileName, place);
  } while (FindNextFileA(search, &found));
  FindClose(search);

  std::vector<int> passing;  // the walk places of the entries line 2 showed, in turn
  e2e::LaunchOptions options;
  options.endWhen = [&](const e2e::WindowState& state) {
    if (seenInThePass(state) && !state.line2.empty()) {
      const auto place = walkOrder.find(state.line2);
      const int at = place == walkOrder.end() ? -1 : place->second;
      if (passing.empty() || passing.back() != at) passing.push_back(at);
    }
    return passing.size() >= ENTRIES_TO_SEE;
  };
  options.timeoutMs = 120000;
  const e2e::Outcome out = box.run("/M " + e2e::quoted(box.path("d")), options);
  ASSERT_TRUE(out.started) << out.summary();
  EXPECT_FALSE(out.timedOut) << out.summary();
  EXPECT_TRUE(out.messages.empty()) << out.summary();

  // Shown while the entries were still being digested, and not before the
  // five seconds, which run from the window's creation (the program's own
  // start-up under Wine is not part of them). No bound by the clock above:
  // a busy machine may keep the window's thread waiting for any time. The
  // pass is made to last several times the delay on any machine, and the
  // window was up while it ran.
  const e2e::WindowSeen& window = out.window;
  ASSERT_TRUE(window.shown) << out.summary();
  EXPECT_EQ(window.whenShown.line1, DIGEST_STAGE) << out.summary();
  const std::int64_t sinceCreated = window.shownMs - window.timeline.front().atMs;
  EXPECT_GE(sinceCreated, 4500) << out.summary();
  // Once shown it keeps up: the entries pass by on line 2, each the earliest
  // one not yet done, so in the walk's order.
  EXPECT_TRUE(out.endedByTest) << "entries seen passing: " << passing.size() << out.summary();
  for (std::size_t i = 0; i < passing.size(); ++i) {
    EXPECT_GE(passing[i], 0) << out.summary();
    EXPECT_TRUE(i == 0 || passing[i] > passing[i - 1]) << out.summary();
  }
}

}  // namespace
