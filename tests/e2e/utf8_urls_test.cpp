// URL paths in the UTF-8 form, which browsers and today's servers read,
// beside the Shift_JIS form, chosen by /E: or the INI file, on names the
// code page spells and names it lacks.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

const char* const HEAD = "http://www.example.com/files/";

// A file of the given size (sparse) named by its exact path in the box,
// and removed by it: the sandbox's own clean-up goes by ANSI names.
class ExactFile {
 public:
  ExactFile(const e2e::Sandbox& box, const std::wstring& relative, LONGLONG size)
      : path_(e2e::widened(box.folder()) + L"\\" + relative) {
    const HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                    nullptr);
    LARGE_INTEGER end;
    end.QuadPart = size;
    made_ = file != INVALID_HANDLE_VALUE && SetFilePointerEx(file, end, nullptr, FILE_BEGIN) &&
            SetEndOfFile(file);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  ~ExactFile() { DeleteFileW(path_.c_str()); }
  ExactFile(const ExactFile&) = delete;
  ExactFile& operator=(const ExactFile&) = delete;
  bool made() const { return made_; }

 private:
  std::wstring path_;
  bool made_ = false;
};

using Lines = std::vector<std::pair<std::string, std::string>>;  // URL path, size text

// The bracketed lines, padded and ordered as the program does it.
std::string bracketed(Lines lines) {
  std::sort(lines.begin(), lines.end());
  std::size_t pathWidth = 0;
  std::size_t sizeWidth = 0;
  for (const auto& [path, size] : lines) {
    pathWidth = std::max(pathWidth, path.size());
    sizeWidth = std::max(sizeWidth, size.size());
  }
  std::string text;
  for (const auto& [path, size] : lines) {
    text += HEAD + path + std::string(pathWidth - path.size(), ' ') + " (" +
            std::string(sizeWidth - size.size(), ' ') + size + " bytes)\r\n";
  }
  return text;
}

// The folder of the three names, in either form.
const Lines UTF8_FORM = {{"d/%E6%97%A5%E6%9C%AC%20%E8%AA%9E%2B.txt", "1"},
                         {"d/%ED%95%9C%EA%B5%AD.txt", "22"},
                         {"d/caf%C3%A9.txt", "333"}};
const Lines SHIFT_JIS_FORM = {
    {"d/%93%fa%96%7b+%8c%ea%2b.txt", "1"}, {"d/%3f%3f.txt", "22"}, {"d/caf%3f.txt", "333"}};

TEST(Utf8Urls, NamesAsTheFileSystemSpellsThem) {
  e2e::Sandbox box;
  ASSERT_TRUE(box.makeFolder("d"));
  const ExactFile files[] = {{box, L"d\\日本 語+.txt", 1}, {box, L"d\\한국.txt", 22},
                             {box, L"d\\café.txt", 333}};
  for (const ExactFile& file : files) {
    ASSERT_TRUE(file.made());
  }
  Lines both = UTF8_FORM;
  both.insert(both.end(), SHIFT_JIS_FORM.begin(), SHIFT_JIS_FORM.end());
  std::string lowered = bracketed(UTF8_FORM);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c; });
  const std::string d = e2e::quoted(box.path("d"));
  const struct {
    const char* what;
    std::string ini;
    std::string arguments;
    std::string clipboard;
  } cases[] = {
      {"/E:UTF8", "", "/E:UTF8 " + d, bracketed(UTF8_FORM)},
      {"from the INI file", "[Options]\r\nURLEncoding=utf-8\r\n", d, bracketed(UTF8_FORM)},
      {"/E:SJIS gives the built-in bytes", "[Options]\r\nURLEncoding=UTF8\r\n", "/E:SJIS " + d,
       bracketed(SHIFT_JIS_FORM)},
      {"only the paths after it", "", d + " /e:utf8 " + d, bracketed(both)},
      {"/S lowers after the sort", "", "/E:UTF8 /S " + d, lowered},
      {"tab form", "", "/E:UTF8 /O " + d,
       std::string("URL\tサイズ\r\n") + HEAD + UTF8_FORM[0].first + "\t1\r\n" + HEAD +
           UTF8_FORM[1].first + "\t22\r\n" + HEAD + UTF8_FORM[2].first + "\t333\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(box.iniPath().c_str());
    if (!c.ini.empty()) {
      ASSERT_TRUE(box.writeIni(c.ini));
    }
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
  ASSERT_TRUE(big.made());
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
