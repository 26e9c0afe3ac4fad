#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/job.h"
#include "test_support.h"

namespace {

const char* const HEADER = "引数に、以下のエラーがあります。\n";
const char* const NO_FILE_LINE = "\n- 有効なファイル名が 1 つも指定されていません。";

std::string line(int number, const std::string& token, const char* message) {
  return "\n- 第 " + std::to_string(number) + " 引数 「" + token + "」 " + message;
}
const char* const BAD = "が認識できません。";
const char* const NOTHING = "に該当するファイルが見つかりません。";

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

// Runs the argument stage of a command line and returns the texts of the
// message boxes it showed.
std::vector<std::string> applyTo(Job& job, bool expected) {
  MessageBoxCatcher catcher;
  EXPECT_EQ(job.applyCommandLine(), expected);
  return catcher.texts();
}

using Texts = std::vector<std::string>;

TEST(CommandLine, UnknownOptionAndNoFile) {
  Job job(GetModuleHandleA(nullptr), "\"C:\\dir\\q.exe\" /X");
  EXPECT_EQ(applyTo(job, false),
            (Texts{"引数に、以下のエラーがあります。\n"
                   "\n- 第 1 引数 「/X」 が認識できません。"
                   "\n- 有効なファイル名が 1 つも指定されていません。"}));
}

TEST(CommandLine, NoArgumentsOrOnlyValidOptions) {
  Job bare(GetModuleHandleA(nullptr), "\"C:\\dir\\q.exe\"");
  EXPECT_EQ(applyTo(bare, false), (Texts{std::string(HEADER) + NO_FILE_LINE}));
  Job options(GetModuleHandleA(nullptr), "q.exe /D/T/m /B:k");
  EXPECT_EQ(applyTo(options, false), (Texts{std::string(HEADER) + NO_FILE_LINE}));
  EXPECT_TRUE(options.options.ShowDate && options.options.ShowTime);
  EXPECT_EQ(options.options.ByteUnit, 1);
}

TEST(CommandLine, EveryProblemOneLineWithItsNumber) {
  TempTree tree;
  const std::string file = tree.file("a.txt", "abc");
  const std::string nothing = tree.path("*.zip");
  Job job(GetModuleHandleA(nullptr),
          ("\"C:\\dir\\q.exe\" " + quoted(file) + " /B:xy /N: /U: /ShowDate=1 " + quoted(nothing) +
           " \"\" /Q")
              .c_str());
  EXPECT_EQ(applyTo(job, false),
            (Texts{HEADER + line(2, "/B:xy", BAD) + line(2, "/B:xy", BAD) + line(3, "/N:", BAD) +
                   line(5, "/ShowDate=1", BAD) + line(6, nothing, NOTHING) +
                   line(8, "/Q", BAD)}));
  // Files were collected, so there is no closing line; the options still
  // took effect as far as they were recognised.
  EXPECT_EQ(job.entries.size(), 1u);
  EXPECT_EQ(job.options.URLHead, "");
  EXPECT_TRUE(job.options.EnSmallURL);
  EXPECT_FALSE(job.options.ShowDate);
}

TEST(CommandLine, EncodeUrlAppliesToThePathsAfterIt) {
  TempTree tree;
  tree.folder("d");
  tree.file("d\\a b.txt", "12");
  Job job(GetModuleHandleA(nullptr),
          ("q.exe /e " + quoted(tree.path("d")) + " /E " + quoted(tree.path("d\\a b.txt")) +
           " " + quoted(tree.path("d\\a b.txt")))
              .c_str());
  EXPECT_EQ(applyTo(job, true), Texts{});
  ASSERT_EQ(job.entries.size(), 3u);
  EXPECT_EQ(job.entries[0].urlPath, "d/a b.txt");
  EXPECT_EQ(job.entries[1].urlPath, "a+b.txt");
  EXPECT_EQ(job.entries[2].urlPath, "a+b.txt");  // the same file twice: two entries
  EXPECT_TRUE(job.options.EncodeURL);
  EXPECT_EQ(job.options.TotalSize, 6u);
}

}  // namespace
