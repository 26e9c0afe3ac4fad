// A digest pass still running when the five seconds are up: the window shows
// on time, with the pass's texts, and keeps up with the entries passing by.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/e2e/driver.h"

namespace {

const char* const DIGEST_STAGE = "ファイルの MD5 値の取得中";

// Long enough by design, not by a measured speed: no processor hashes MD5
// much faster than a gigabyte a second on one core, so 400 files of 64 MiB
// (sparse, so quick to make and to read) take half a minute at the least
// and far longer on a slow machine. The run is ended as soon as the window
// has shown what the test looks for.
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
  std::set<std::string> passing;
  e2e::LaunchOptions options;
  options.endWhen = [&passing](const e2e::WindowState& state) {
    if (seenInThePass(state) && !state.line2.empty()) passing.insert(state.line2);
    return passing.size() >= ENTRIES_TO_SEE;
  };
  options.timeoutMs = 120000;
  const e2e::Outcome out = box.run("/M " + e2e::quoted(box.path("d")), options);
  ASSERT_TRUE(out.started) << out.summary();
  EXPECT_FALSE(out.timedOut) << out.summary();
  EXPECT_TRUE(out.messages.empty()) << out.summary();

  // Shown while the entries were still being digested, and on time. The
  // five seconds run from the window's creation; the program's own start-up
  // under Wine (up to a second on a busy machine) is not part of them.
  const e2e::WindowSeen& window = out.window;
  ASSERT_TRUE(window.shown) << out.summary();
  EXPECT_EQ(window.whenShown.line1, DIGEST_STAGE) << out.summary();
  const std::int64_t sinceCreated = window.shownMs - window.timeline.front().atMs;
  EXPECT_GE(sinceCreated, 4500) << out.summary();
  EXPECT_LE(sinceCreated, 6000) << out.summary();
  // Once shown it keeps up: the entries pass by on line 2.
  EXPECT_TRUE(out.endedByTest) << "entries seen passing: " << passing.size() << out.summary();
}

}  // namespace
