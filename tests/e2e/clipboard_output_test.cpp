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
  EXPECT_LE(out.endedMs - message.answeredMs, 3000) << out.summary();
  EXPECT_TRUE(out.sentinelKept) << out.summary();
}

// A file named with characters the code page lacks, which the sandbox's
// clean-up, going by ANSI names, cannot remove.
struct ExactFile {
  ExactFile(const e2e::Sandbox& box, const std::wstring& name)
      : path(e2e::widened(box.path("E")) + L"\\" + name) {
    CreateDirectoryW(e2e::widened(box.path("E")).c_str(), nullptr);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    made = file != INVALID_HANDLE_VALUE && WriteFile(file, "x", 1, &written, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  ~ExactFile() { DeleteFileW(path.c_str()); }
  std::wstring path;
  bool made = false;
};

UINT ansiCodePageOf(LCID locale) {
  DWORD codePage = 0;
  GetLocaleInfoW(locale, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                 reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(WCHAR));
  return codePage;
}

// Run by CTest with an English user language on code page 932 (English
// Windows set up to run Japanese programs; QV_USER_LOCALE, see
// scripts/wine-run.sh), for this test and the programs it starts. Left to
// the system, the text's locale would be the user's, and a program that
// pastes Unicode would read Shift_JIS as code page 1252. The text's locale
// is the program's code page, and a list with names the code page lacks
// carries its own Unicode text with the real characters (the URL head's
// "?" and the blanks as in the text, /S lower-casing only A-Z).
// CF_UNICODETEXT listed before CF_OEMTEXT was put by the program; after
// it, the system makes it from the text.
TEST(ClipboardOutput, UnicodeReadersGetTheListAsMade) {
  ASSERT_EQ(PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID())), LANG_ENGLISH);
  ASSERT_EQ(GetACP(), 932u);
  e2e::Sandbox box;
  ASSERT_TRUE(box.writeFile("S\\アイ.txt", "x"));
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
       L"http://www.example.com/files/S/アイ.txt （1 bytes）\r\n"},
      {"/e /S \"/U:http://h.jp/?f=\" " + e2e::quoted(box.path("E")),
       {CF_TEXT, CF_LOCALE, CF_UNICODETEXT, CF_OEMTEXT},
       L"http://h.jp/?f=/e/ü.txt  (1 bytes)\r\nhttp://h.jp/?f=/e/한국.txt (1 bytes)\r\n"},
  };
  for (const auto& c : cases) {
    const e2e::Outcome out = box.run(c.arguments);
    ASSERT_TRUE(out.finished()) << out.summary();
    EXPECT_EQ(out.exitCode, 0) << out.summary();
    EXPECT_EQ(out.clipboardFormats, c.formats) << out.summary();
    EXPECT_EQ(ansiCodePageOf(out.clipboardLocale), 932u) << out.summary();
    EXPECT_EQ(out.clipboardUnicode, c.unicode) << out.summary();
  }
}

}  // namespace
