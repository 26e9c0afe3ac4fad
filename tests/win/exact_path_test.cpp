#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/exact_path.h"

namespace {

// Wine takes paths of any length without the long form, so only the text
// made here shows that a deep path would reach the file on Windows.
TEST(SystemPath, LongFormOnlyPastTheLimit) {
  const std::wstring deep(300, L'x');
  wchar_t current[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, current);
  std::wstring here = current;
  if (here.back() != L'\\') here += L'\\';
  struct Row {
    std::wstring path;
    std::wstring expected;
  };
  const std::vector<Row> rows = {
      {L"C:\\d\\a.txt", L"C:\\d\\a.txt"},
      {L"a.txt", L"a.txt"},
      {L"C:\\" + deep, L"\\\\?\\C:\\" + deep},
      {L"\\\\server\\share\\" + deep, L"\\\\?\\UNC\\server\\share\\" + deep},
      // The platform's rules apply first where it would apply them...
      {L"C:\\d/..\\" + deep, L"\\\\?\\C:\\" + deep},
      {deep, L"\\\\?\\" + here + deep},
      // ...and a name as found, with its dot at the end, is kept whole.
      {L"C:\\" + deep + L"\\name.", L"\\\\?\\C:\\" + deep + L"\\name."},
      {L"\\\\?\\C:\\" + deep, L"\\\\?\\C:\\" + deep},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(std::wstring(SystemPath(row.path).c_str()), row.expected)
        << ansiForm(row.path).substr(0, 24);
  }
}

}  // namespace
