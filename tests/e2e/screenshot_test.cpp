// Holds the progress window on screen for scripts/screenshot.sh, which names
// two files: one this test creates once the window is visible, and one the
// script creates when it has taken its picture. Not part of the suite.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/e2e/driver.h"

namespace {

bool fileExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// A digest of a large (sparse) file under a Japanese folder name: both status
// lines carry text and the bar moves. Cancelled once the picture is taken.
TEST(Screenshot, HoldsTheWindowOnScreen) {
  const char* ready = std::getenv("QV_SCREENSHOT_READY");
  const char* taken = std::getenv("QV_SCREENSHOT_TAKEN");
  if (ready == nullptr || taken == nullptr) GTEST_SKIP() << "run by scripts/screenshot.sh";

  e2e::Sandbox box;
  ASSERT_TRUE(box.writeFileOfSize("資料\\大きなファイル.bin", 8ull << 30));
  e2e::LaunchOptions options;
  options.whenShown = [ready, taken](e2e::RunControl& control) {
    Sleep(500);  // let it paint and the bar move on
    HANDLE marker = CreateFileA(ready, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    for (int waited = 0; waited < 20000 && !fileExists(taken); waited += 50) Sleep(50);
    control.pressCancel();
  };
  options.timeoutMs = 40000;
  const e2e::Outcome out = box.run("/M " + e2e::quoted(box.path("資料")), options);
  ASSERT_TRUE(out.finished()) << out.summary();
  EXPECT_TRUE(out.window.shown) << out.summary();
  EXPECT_EQ(out.exitCode, -11) << out.summary();
}

}  // namespace
