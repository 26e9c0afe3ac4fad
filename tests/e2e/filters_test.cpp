// What a list leaves out on request: hidden and system files (/I, the INI
// file's SkipHiddenFiles) and names matching ExcludeNames (/X:), in a
// folder as Explorer sends it.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/driver.h"

namespace {

const char* const REPORT_HEADER = "引数に、以下のエラーがあります。\n";

// Tab form without a head: one line per file, nothing to align.
std::string listOf(std::initializer_list<const char*> lines) {
  std::string text = "URL\tサイズ\r\n";
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

struct FilterCase {
  const char* what;
  const char* ini;
  std::string arguments;
  std::string clipboard;
};

// Explorer hides Thumbs.db and desktop.ini (hidden and system files); a
// folder sent to the program still holds them. Either bit leaves them out;
// the system bit is kept under every Wine.
TEST(Filters, ExplorerFolderWithAndWithoutItsHiddenFiles) {
  e2e::Sandbox box;
  ASSERT_TRUE(box.writeFile("写真\\IMG_0001.JPG", std::string(10, 'j')));
  ASSERT_TRUE(box.writeFile("写真\\memo.tmp", "t"));
  for (const char* hidden : {"写真\\Thumbs.db", "写真\\desktop.ini"}) {
    ASSERT_TRUE(box.writeFile(hidden, "hs"));
    ASSERT_TRUE(SetFileAttributesA(box.path(hidden).c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  }
  const std::string folder = e2e::quoted(box.path("写真"));
  const std::string all = listOf({"写真/IMG_0001.JPG\t10", "写真/Thumbs.db\t2",
                                  "写真/desktop.ini\t2", "写真/memo.tmp\t1"});
  const std::string shown = listOf({"写真/IMG_0001.JPG\t10", "写真/memo.tmp\t1"});
  const FilterCase cases[] = {
      {"built-in: everything", "", "/U: /e /O " + folder, all},
      {"/I", "", "/U: /e /O /I " + folder, shown},
      {"/X:", "", "/U: /e /O \"/X:Thumbs.db;desktop.ini\" " + folder, shown},
      {"/i over the INI file", "SkipHiddenFiles=1", "/U: /e /O /i " + folder, all},
      {"/I after the folder", "", "/U: /e /O " + folder + " /I", shown},
      {"the INI file's list, case-insensitive",
       "[Strings]\r\nExcludeNames=THUMBS.DB;Desktop.Ini;*.TMP", "/U: /e /O " + folder,
       listOf({"写真/IMG_0001.JPG\t10"})},
      {"/X: empties the INI file's list", "[Strings]\r\nExcludeNames=*", "/U: /e /O /X: " + folder,
       all},
      {"a file named itself is taken", "SkipHiddenFiles=1\r\n[Strings]\r\nExcludeNames=*.db",
       "/U: /e /O " + e2e::quoted(box.path("写真\\Thumbs.db")), listOf({"Thumbs.db\t2"})},
  };
  for (const FilterCase& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(box.writeIni(std::string("[Options]\r\n") + c.ini + "\r\n"));
    const e2e::Outcome out = box.run(c.arguments);
    ASSERT_TRUE(out.finished()) << out.summary();
    EXPECT_EQ(out.exitCode, 0) << out.summary();
    EXPECT_TRUE(out.messages.empty()) << out.summary();
    EXPECT_EQ(out.clipboard, c.clipboard) << out.summary();
  }

  // Everything left out: the folder matches nothing, as an empty one does.
  const e2e::Outcome out = box.run("\"/X:*\" " + folder);
  ASSERT_TRUE(out.finished()) << out.summary();
  EXPECT_EQ(out.exitCode, -13) << out.summary();
  ASSERT_EQ(out.messages.size(), 1u) << out.summary();
  EXPECT_EQ(out.messages[0].text,
            REPORT_HEADER + ("\n- 第 2 引数 「" + box.path("写真") +
                             "」 に該当するファイルが見つかりません。") +
                "\n- 有効なファイル名が 1 つも指定されていません。")
      << out.summary();
}

}  // namespace
