// The clipboard hand-over against another program holding the clipboard.
#include <gtest/gtest.h>

#include "tests/e2e/driver.h"

namespace {

const char* const CLIPBOARD_FAILED =
    "クリップボードにテキストをコピーできません。\n\n"
    "しばらく時間を置くかコンピュータを再起動してから、もう一度実行してください。";

TEST(ClipboardOutput, HeldUnderASecondStillSucceeds) {
  e2e::Sandbox box;
  ASSERT_TRUE(box.writeFile("a.txt", "12345"));
  e2e::LaunchOptions options;
  options.holdClipboardMs = 800;
  const e2e::Outcome out = box.run(e2e::quoted(box.path("a.txt")), options);
  ASSERT_TRUE(out.finished()) << out.summary();
  EXPECT_EQ(out.exitCode, 0) << out.summary();
  EXPECT_TRUE(out.messages.empty()) << out.summary();
  EXPECT_EQ(out.clipboard, "http://www.example.com/files/a.txt (5 bytes)\r\n") << out.summary();
  // The program really waited for the clipboard.
  EXPECT_GE(out.endedMs, out.clipboardReleasedMs) << out.summary();
  EXPECT_FALSE(out.window.shown) << out.summary();
}

// Ten attempts take about 13 s, so the window is visible by then and owns
// the error box; the box must block neither the worker nor the window thread.
TEST(ClipboardOutput, HeldForTheWholeRunFailsWithAnOwnedErrorBox) {
  e2e::Sandbox box;
  ASSERT_TRUE(box.writeFile("a.txt", "12345"));
  e2e::LaunchOptions options;
  options.holdClipboardMs = e2e::WHOLE_RUN;
  options.timeoutMs = 40000;  // a box that blocks a thread hangs the run
  const e2e::Outcome out = box.run(e2e::quoted(box.path("a.txt")), options);
  ASSERT_TRUE(out.finished()) << out.summary();
  EXPECT_EQ(out.exitCode, -14) << out.summary();
  ASSERT_EQ(out.messages.size(), 1u) << out.summary();
  const e2e::MessageBoxSeen& message = out.messages[0];
  EXPECT_EQ(message.text, CLIPBOARD_FAILED);
  EXPECT_EQ(message.icon, e2e::Icon::Error);
  EXPECT_GE(message.shownMs, 11000) << out.summary();
  EXPECT_LE(message.shownMs, 20000) << out.summary();
  EXPECT_TRUE(out.window.shown) << out.summary();
  EXPECT_TRUE(message.ownedByWindow) << out.summary();
  EXPECT_LE(out.endedMs - message.answeredMs, 3000) << out.summary();
  EXPECT_TRUE(out.sentinelKept) << out.summary();
}

}  // namespace
