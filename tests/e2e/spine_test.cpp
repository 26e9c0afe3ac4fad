// The run as a whole: the exact command line goes in, the exit code and the
// clipboard come out, and a failing stage reports in one message box.
#include <gtest/gtest.h>

#include "tests/e2e/driver.h"

namespace {

const char* const NO_FILE_REPORT =
    "引数に、以下のエラーがあります。\n\n- 有効なファイル名が 1 つも指定されていません。";

TEST(Spine, NoArgumentsReportsAndLeavesTheClipboardAlone) {
  e2e::Sandbox box("list.new.exe");
  ASSERT_TRUE(box.ok());
  const e2e::Outcome out = box.run("");
  ASSERT_TRUE(out.finished()) << out.summary();
  EXPECT_EQ(out.exitCode, -13) << out.summary();
  ASSERT_EQ(out.messages.size(), 1u) << out.summary();
  EXPECT_EQ(out.messages[0].text, NO_FILE_REPORT);
  EXPECT_EQ(out.messages[0].icon, e2e::Icon::Warning);
  // Reported while the window is still hidden: the box has no owner.
  EXPECT_EQ(out.messages[0].owner, nullptr);
  EXPECT_TRUE(out.sentinelKept) << out.summary();
}

// Token 0 is whatever the command line says, and the tokens after it are the
// program's arguments however they are glued to it.
TEST(Spine, ExactCommandLineReachesTheArgumentStage) {
  e2e::Sandbox box("list.new.exe");
  ASSERT_TRUE(box.ok());
  const std::string report =
      "引数に、以下のエラーがあります。\n\n- 第 1 引数 「/X」 が認識できません。"
      "\n- 有効なファイル名が 1 つも指定されていません。";
  for (const std::string& commandLine : {std::string("list /X"), box.commandLine("") + "/X"}) {
    SCOPED_TRACE(commandLine);
    const e2e::Outcome out = box.runExact(commandLine);
    ASSERT_TRUE(out.finished()) << out.summary();
    EXPECT_EQ(out.exitCode, -13) << out.summary();
    ASSERT_EQ(out.messages.size(), 1u) << out.summary();
    EXPECT_EQ(out.messages[0].text, report);
    EXPECT_TRUE(out.sentinelKept) << out.summary();
  }
}

TEST(Spine, OneFileRunCopiesItsLine) {
  e2e::Sandbox box;
  ASSERT_TRUE(box.writeFile("a.txt", "12345"));
  const e2e::Outcome out = box.run(e2e::quoted(box.path("a.txt")));
  ASSERT_TRUE(out.finished()) << out.summary();
  EXPECT_EQ(out.exitCode, 0) << out.summary();
  EXPECT_TRUE(out.messages.empty()) << out.summary();
  EXPECT_EQ(out.clipboard, "http://www.example.com/files/a.txt (5 bytes)\r\n") << out.summary();
}

// The INI file is found from token 0 (list.new.exe -> list.ini); a bad value
// ends the run before the command line is looked at.
TEST(Spine, BadIniValueEndsTheRunWithTheSettingsReport) {
  e2e::Sandbox box("list.new.exe");
  ASSERT_TRUE(box.writeFile("a.txt", "12345"));
  ASSERT_TRUE(box.writeIni("[Options]\r\nShowDate=yes\r\n"));
  const e2e::Outcome out = box.run(e2e::quoted(box.path("a.txt")));
  ASSERT_TRUE(out.finished()) << out.summary();
  EXPECT_EQ(out.exitCode, -12) << out.summary();
  ASSERT_EQ(out.messages.size(), 1u) << out.summary();
  EXPECT_EQ(out.messages[0].text,
            "設定ファイル \"" + box.iniPath() +
                "\" に、以下のエラーがあります。\n\n"
                "[Options] セクションに設定されたキー ShowDate の値 \"yes\" が認識できません。");
  EXPECT_EQ(out.messages[0].icon, e2e::Icon::Warning);
  EXPECT_TRUE(out.sentinelKept) << out.summary();
}

}  // namespace
