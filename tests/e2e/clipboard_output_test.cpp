// The clipboard hand-over against another program holding the clipboard,
// and what programs that paste Unicode text get.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
  // Ends soon after the answer, however busy the machine.
  EXPECT_LE(out.endedMs - message.answeredMs, 10000) << out.summary();
  EXPECT_TRUE(out.sentinelKept) << out.summary();
}

// An empty file named with characters the code page lacks, which the
// sandbox's clean-up, going by ANSI names, cannot remove.
struct ExactFile {
  ExactFile(const e2e::Sandbox& box, const wchar_t* name)
      : path(e2e::widened(box.path("E\\")) + name) {
    CreateDirectoryW(e2e::widened(box.path("E")).c_str(), nullptr);
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    made = file != INVALID_HANDLE_VALUE && CloseHandle(file);
  }
  ~ExactFile() { DeleteFileW(path.c_str()); }
  std::wstring path;
  bool made;
};

// CTest runs this test with an English user language on code page 932
// (QV_USER_LOCALE, see scripts/wine-run.sh), as are the programs it starts.
// It relies on what Wine 8 and Wine 10 both do: the user's locale follows
// LC_MESSAGES and the code page LC_CTYPE, per process, with no session to
// restart; the first two lines confirm the setting took.
// The text's locale must have the program's code page, or Unicode readers
// get Shift_JIS read as code page 1252; names the code page lacks come in a
// Unicode text of the program's own (listed before the CF_OEMTEXT the
// system makes), with the URL head's "?" and the blanks as in the text.
TEST(ClipboardOutput, UnicodeReadersGetTheListAsMade) {
  ASSERT_EQ(PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID())), LANG_ENGLISH);
  ASSERT_EQ(GetACP(), 932u);
  e2e::Sandbox box;
  ASSERT_TRUE(box.writeFile("S\\アイ.txt", ""));
  const ExactFile korean(box, L"한국.txt");
  const ExactFile umlaut(box, L"ü.txt");
  ASSERT_TRUE(korean.made && umlaut.made);
  const struct {
    std::string arguments;
    std::vector<UINT> formats;
    std::wstring unicode;
  } cases[] = {
      {"/e /W " + e2e::quoted(box.path("S")),
       {CF_TEXT, CF_LOCALE, CF_OEMTEXT, CF_UNICODETEXT},
       L"http://www.example.com/files/S/アイ.txt （0 bytes）\r\n"},
      {"/e /S \"/U:http://h.jp/?f=\" " + e2e::quoted(box.path("E")),
       {CF_TEXT, CF_LOCALE, CF_UNICODETEXT, CF_OEMTEXT},
       L"http://h.jp/?f=/e/ü.txt  (0 bytes)\r\nhttp://h.jp/?f=/e/한국.txt (0 bytes)\r\n"},
  };
  for (const auto& c : cases) {
    const e2e::Outcome out = box.run(c.arguments);
    ASSERT_TRUE(out.finished()) << out.summary();
    EXPECT_EQ(out.exitCode, 0) << out.summary();
    EXPECT_EQ(out.clipboardFormats, c.formats) << out.summary();
    EXPECT_EQ(out.clipboardLocale, 0x0411u) << out.summary();  // the one locale of code page 932
    EXPECT_EQ(out.clipboardUnicode, c.unicode) << out.summary();
  }
}

}  // namespace
