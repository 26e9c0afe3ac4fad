// URL paths in the UTF-8 form, which browsers and today's servers read,
// beside the Shift_JIS form, chosen by /E: or the INI file.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

const char* const HEAD = "http://www.example.com/files/";

// A file of the given size (sparse) named by its exact path in the box, and
// removed by it: the sandbox's own clean-up goes by ANSI names.
struct ExactFile {
  ExactFile(const e2e::Sandbox& box, const std::wstring& relative, LONGLONG size)
      : path(e2e::widened(box.folder()) + L"\\" + relative) {
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER end{};
    end.QuadPart = size;
    made = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
  }
  ~ExactFile() { DeleteFileW(path.c_str()); }
  std::wstring path;
  bool made;
};

using Lines = std::vector<std::pair<std::string, const char*>>;  // URL path, size

// The tab form of these lines, in the program's order.
std::string tabbed(Lines lines) {
  std::sort(lines.begin(), lines.end());
  std::string text = "URL\tサイズ\r\n";
  for (const auto& [path, size] : lines) text += HEAD + path + "\t" + size + "\r\n";
  return text;
}

// The folder of the three names, in each form.
const Lines UTF8_FORM = {{"d/%E6%97%A5%E6%9C%AC%20%E8%AA%9E%2B.txt", "1"},
                         {"d/%ED%95%9C%EA%B5%AD.txt", "22"},
                         {"d/caf%C3%A9.txt", "333"}};
const Lines SHIFT_JIS_FORM = {
    {"d/%93%fa%96%7b+%8c%ea%2b.txt", "1"}, {"d/%3f%3f.txt", "22"}, {"d/caf%3f.txt", "333"}};
const Lines LOWERED = {{"d/%e6%97%a5%e6%9c%ac%20%e8%aa%9e%2b.txt", "1"},
                       {"d/%ed%95%9c%ea%b5%ad.txt", "22"},
                       {"d/caf%c3%a9.txt", "333"}};

TEST(Utf8Urls, NamesAsTheFileSystemSpellsThem) {
  e2e::Sandbox box;
  ASSERT_TRUE(box.makeFolder("d"));
  const ExactFile files[] = {{box, L"d\\日本 語+.txt", 1}, {box, L"d\\한국.txt", 22},
                             {box, L"d\\café.txt", 333}};
  ASSERT_TRUE(files[0].made && files[1].made && files[2].made);
  Lines both = UTF8_FORM;
  both.insert(both.end(), SHIFT_JIS_FORM.begin(), SHIFT_JIS_FORM.end());
  const std::string d = e2e::quoted(box.path("d"));
  const struct {
    const char* ini;
    std::string arguments;
    std::string clipboard;
  } cases[] = {
      {"", "/E:UTF8 " + d,  // the paths padded to the longest, 39 bytes
       std::string(HEAD) + UTF8_FORM[0].first + " (  1 bytes)\r\n" + HEAD + UTF8_FORM[1].first +
           std::string(15, ' ') + " ( 22 bytes)\r\n" + HEAD + UTF8_FORM[2].first +
           std::string(24, ' ') + " (333 bytes)\r\n"},
      {"URLEncoding=utf-8", "/O " + d, tabbed(UTF8_FORM)},
      {"URLEncoding=UTF8", "/O /E:SJIS " + d, tabbed(SHIFT_JIS_FORM)},
      {"", "/O " + d + " /e:utf8 " + d, tabbed(both)},  // only the paths after it
      {"URLEncoding=UTF8", "/O /e /E /S " + d, tabbed(LOWERED)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    ASSERT_TRUE(box.writeIni(std::string("[Options]\r\n") + c.ini + "\r\n"));
    const e2e::Outcome out = box.run(c.arguments);
    ASSERT_TRUE(out.finished()) << out.summary();
    EXPECT_EQ(out.exitCode, 0) << out.summary();
    EXPECT_EQ(out.clipboard, c.clipboard) << out.summary();
    // Plain ASCII, so a program that pastes Unicode text gets the same.
    EXPECT_EQ(out.clipboardUnicode, e2e::widened(c.clipboard)) << out.summary();
  }
}

// The digest pass shows the name decoded, as the code page reads it. The
// file is far larger than any machine digests before the window shows.
TEST(Utf8Urls, DigestStatusShowsTheNameReadable) {
  e2e::Sandbox box;
  ASSERT_TRUE(box.makeFolder("s"));
  const ExactFile big(box, L"s\\한국 café 日本.bin", 16LL << 30);
  ASSERT_TRUE(big.made);
  std::string shown;
  e2e::LaunchOptions options;
  options.endWhen = [&](const e2e::WindowState& state) {
    if (state.line1 == "ファイルの MD5 値の取得中") shown = state.line2;
    return !shown.empty();
  };
  options.timeoutMs = 120000;
  const e2e::Outcome out = box.run("/E:UTF8 /M " + e2e::quoted(box.path("s")), options);
  EXPECT_TRUE(out.endedByTest) << out.summary();
  EXPECT_EQ(shown, "s/?? caf? 日本.bin") << out.summary();
}

}  // namespace
