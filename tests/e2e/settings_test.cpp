// The INI file beside the program, seen from outside: which file is read,
// which values change the output, and the one report for all bad values.
//
// The profile reader itself trims blanks and removes one pair of matching
// quotes, so a value the program must unquote (or find blank inside its
// quotes) is written with a second pair around it.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/driver.h"

namespace {

const char* const FILE_NAME = "Read Me.TXT";
const std::string CONTENT(1234, 'q');
const char* const CONTENT_MD5 = "5de38afadfc5c9b2c5548da5843e1492";
const char* const DEFAULT_HEAD = "http://www.example.com/files/";

std::string reportHeader(const std::string& iniPath) {
  return "設定ファイル \"" + iniPath + "\" に、以下のエラーがあります。\n";
}

std::string reportLine(const std::string& key, const std::string& value) {
  return "\n[Options] セクションに設定されたキー " + key + " の値 \"" + value +
         "\" が認識できません。";
}

// A sandbox holding the one data file, with a fixed write time.
bool writeDataFile(const e2e::Sandbox& box) {
  const FILETIME written = e2e::localFileTime(2011, 5, 1, 12, 34, 56);
  return box.ok() && box.writeFile(FILE_NAME, CONTENT, &written);
}

void expectSettingsReport(const e2e::Outcome& out, const std::string& text) {
  ASSERT_TRUE(out.finished()) << out.summary();
  EXPECT_EQ(out.exitCode, -12) << out.summary();
  ASSERT_EQ(out.messages.size(), 1u) << out.summary();
  EXPECT_EQ(out.messages[0].text, text) << out.summary();
  EXPECT_EQ(out.messages[0].icon, e2e::Icon::Warning);
  EXPECT_TRUE(out.sentinelKept) << out.summary();
}

struct AcceptedCase {
  const char* what;
  std::string ini;
  std::string clipboard;
};

// Every key, read from the file, reaches the output; the forms the loader
// must clean up (quotes the reader left, blanks inside quotes) are accepted
// as the value they stand for.
TEST(Settings, AcceptedValuesShapeTheOutput) {
  const std::string line = std::string(DEFAULT_HEAD) + "Read+Me.TXT (1,234 bytes)\r\n";
  const std::string head = DEFAULT_HEAD;
  const AcceptedCase cases[] = {
      {"no INI file", "", line},
      {"single-quoted 0 handed over", "[Options]\r\nCommeredNumber=\"'0'\"\r\n",
       head + "Read+Me.TXT (1234 bytes)\r\n"},
      {"double-quoted 1 handed over", "[Options]\r\nInsertNewLine='\"1\"'\r\n",
       head + "Read+Me.TXT\r\n(1,234 bytes)\r\n\r\n"},
      {"single-quoted 1 handed over", "[Options]\r\nUseWideChar=\"'1'\"\r\n",
       head + "Read+Me.TXT （1,234 bytes）\r\n"},
      {"EnSmallURL", "[Options]\r\nEnSmallURL=1\r\n", head + "read+me.txt (1,234 bytes)\r\n"},
      {"EncodeURL off", "[Options]\r\nEncodeURL=0\r\n", head + "Read Me.TXT (1,234 bytes)\r\n"},
      {"ByteUnit m", "[Options]\r\nByteUnit=m\r\n", head + "Read+Me.TXT (0.01 MB)\r\n"},
      {"ByteUnit K", "[Options]\r\nByteUnit=K\r\n", head + "Read+Me.TXT (1.21 KB)\r\n"},
      {"ShowDate", "[Options]\r\nShowDate=1\r\n",
       head + "Read+Me.TXT (1,234 bytes, 2011/05/01)\r\n"},
      {"ShowDate and ShowTime", "[Options]\r\nShowDate=1\r\nShowTime=1\r\n",
       head + "Read+Me.TXT (1,234 bytes, 2011/05/01 12:34:56)\r\n"},
      {"ShowTime alone", "[Options]\r\nShowTime=1\r\n", line},
      {"ShowMD5", "[Options]\r\nShowMD5=1\r\n",
       head + "Read+Me.TXT (1,234 bytes, MD5: " + CONTENT_MD5 + ")\r\n"},
      {"OutputTabText", "[Options]\r\nOutputTabText=1\r\nByteUnit=K\r\n",
       "URL\tサイズ\r\n" + head + "Read+Me.TXT\t1,234\r\n"},
      {"URLHead", "[Strings]\r\nURLHead=http://files.test/dl\r\n",
       "http://files.test/dl/Read+Me.TXT (1,234 bytes)\r\n"},
      {"URLHead keeps blanks inside quotes", "[Strings]\r\nURLHead=\"' x '\"\r\n",
       " x /Read+Me.TXT (1,234 bytes)\r\n"},
      {"ByteUnitName in Shift_JIS", "[Strings]\r\nByteUnitName=バイト\r\n",
       head + "Read+Me.TXT (1,234 バイト)\r\n"},
      {"Strings accept anything", "[Strings]\r\nURLHead=yes\r\nByteUnitName=1.0\r\n",
       "yes/Read+Me.TXT (1,234 1.0)\r\n"},
      // Nothing to read: the built-in values stand, and nothing is reported.
      {"empty values, quote pairs, blanks, the sentinel",
       "[Options]\r\nShowDate=\r\nShowTime='\"\"'\r\nInsertNewLine='   '\r\n"
       "CommeredNumber=#DEFAULT#DEFAULT#DEFAULT\r\n"
       "ByteUnit='#DEFAULT#DEFAULT#DEFAULT'\r\n"
       "[Strings]\r\nURLHead='\"\"'\r\nByteUnitName=#DEFAULT#DEFAULT#DEFAULT\r\n",
       line},
      {"URLHead as a bare pair of quotes", "[Strings]\r\nURLHead=\"\"\r\n", line},
      // The reader's 128-byte buffer: a longer value arrives cut to 127 bytes.
      {"long URLHead", "[Strings]\r\nURLHead=" + std::string(200, 'h') + "\r\n",
       std::string(127, 'h') + "/Read+Me.TXT (1,234 bytes)\r\n"},
  };
  e2e::Sandbox box;
  ASSERT_TRUE(writeDataFile(box));
  for (const AcceptedCase& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(box.iniPath().c_str());
    if (!c.ini.empty()) {
      ASSERT_TRUE(box.writeIni(c.ini));
    }
    const e2e::Outcome out = box.run(e2e::quoted(box.path(FILE_NAME)));
    ASSERT_TRUE(out.finished()) << out.summary();
    EXPECT_EQ(out.exitCode, 0) << out.summary();
    EXPECT_TRUE(out.messages.empty()) << out.summary();
    EXPECT_EQ(out.clipboard, c.clipboard) << out.summary();
  }
}

// Two bad values give one box whose lines follow the reading order of the
// keys, not the order in the file; list.new.exe reads list.ini only.
TEST(Settings, BadValuesGiveOneReportNamingTheIniFile) {
  e2e::Sandbox box("list.new.exe");
  ASSERT_TRUE(writeDataFile(box));
  ASSERT_TRUE(box.writeIni("[Options]\r\nShowDate=yes\r\nByteUnit=KB\r\n"));
  ASSERT_TRUE(box.writeFile("list.new.ini", "[Options]\r\nShowMD5=nope\r\n"));
  ASSERT_EQ(box.iniPath(), box.path("list.ini"));
  const e2e::Outcome out = box.run(e2e::quoted(box.path(FILE_NAME)));
  expectSettingsReport(out, reportHeader(box.iniPath()) + reportLine("ByteUnit", "KB") +
                                reportLine("ShowDate", "yes"));
  // Reported while the window is still hidden: the box has no owner.
  if (!out.messages.empty()) {
    EXPECT_EQ(out.messages[0].owner, nullptr);
  }
}

// Every Options key is checked, each bad value shows as the loader saw it
// (trimmed, unquoted, cut to 127 bytes), and the Strings keys are never
// reported.
TEST(Settings, EveryOptionsKeyRefusesWhatItDoesNotKnow) {
  e2e::Sandbox box;
  ASSERT_TRUE(writeDataFile(box));
  const std::string longValue(200, '1');
  ASSERT_TRUE(box.writeIni(
      "[Strings]\r\nURLHead=yes\r\nByteUnitName=KB\r\n"
      "[Options]\r\n"
      "OutputTabText=" + longValue + "\r\n"
      "ShowMD5=2\r\n"
      "ShowTime=１\r\n"          // full-width digit one
      "ShowDate='\" 1\"'\r\n"    // handed over as a quoted blank and 1
      "ByteUnit=KB\r\n"
      "URLEncoding=Shift_JIS\r\n"
      "EncodeURL=\"'on'\"\r\n"
      "EnSmallURL=1.0\r\n"
      "UseWideChar=01\r\n"
      "InsertNewLine=true\r\n"
      "CommeredNumber=yes\r\n"));
  const e2e::Outcome out = box.run(e2e::quoted(box.path(FILE_NAME)));
  expectSettingsReport(
      out, reportHeader(box.iniPath()) + reportLine("CommeredNumber", "yes") +
               reportLine("InsertNewLine", "true") + reportLine("UseWideChar", "01") +
               reportLine("EnSmallURL", "1.0") + reportLine("EncodeURL", "on") +
               reportLine("URLEncoding", "Shift_JIS") +
               reportLine("ByteUnit", "KB") + reportLine("ShowDate", " 1") +
               reportLine("ShowTime", "１") + reportLine("ShowMD5", "2") +
               reportLine("OutputTabText", std::string(127, '1')));
}

// The INI path is token 0 cut at the first "." after its last backslash: a
// dotted folder is kept whole, and a Shift_JIS name whose trail byte is
// 0x5C ("表" is 95 5C) is not taken for a folder boundary.
TEST(Settings, IniFileLiesBesideTheProgramWhateverItsName) {
  {
    SCOPED_TRACE("list.new.exe reads list.ini");
    e2e::Sandbox box("list.new.exe");
    ASSERT_TRUE(writeDataFile(box));
    ASSERT_TRUE(box.writeIni("[Strings]\r\nURLHead=http://list-ini.test/\r\n"));
    ASSERT_TRUE(box.writeFile("list.new.ini", "[Strings]\r\nURLHead=http://list-new-ini.test/\r\n"));
    const e2e::Outcome out = box.run(e2e::quoted(box.path(FILE_NAME)));
    ASSERT_TRUE(out.finished()) << out.summary();
    EXPECT_EQ(out.exitCode, 0) << out.summary();
    EXPECT_EQ(out.clipboard, "http://list-ini.test/Read+Me.TXT (1,234 bytes)\r\n")
        << out.summary();
  }
  {
    SCOPED_TRACE("a.表.exe reads a.ini");
    e2e::Sandbox box("a.表.exe");
    ASSERT_TRUE(writeDataFile(box));
    ASSERT_EQ(box.iniPath(), box.path("a.ini"));
    ASSERT_TRUE(box.writeIni("[Options]\r\nShowDate=no\r\n"));
    ASSERT_TRUE(box.writeFile("a.表.ini", "[Options]\r\nShowTime=no\r\n"));
    const e2e::Outcome out = box.run(e2e::quoted(box.path(FILE_NAME)));
    expectSettingsReport(out, reportHeader(box.iniPath()) + reportLine("ShowDate", "no"));
  }
  {
    SCOPED_TRACE("v1.2\\list.exe reads v1.2\\list.ini");
    e2e::Sandbox box;
    ASSERT_TRUE(writeDataFile(box));
    ASSERT_TRUE(box.makeFolder("v1.2"));
    const std::string program = box.path("v1.2\\list.exe");
    ASSERT_TRUE(CopyFileA(box.programPath().c_str(), program.c_str(), TRUE));
    ASSERT_TRUE(box.writeFile("v1.2\\list.ini", "[Options]\r\nEncodeURL=no\r\n"));
    ASSERT_TRUE(box.writeFile("v1.ini", "[Options]\r\nEnSmallURL=no\r\n"));
    e2e::LaunchOptions options;
    options.application = program;
    const e2e::Outcome out =
        box.runExact(e2e::quoted(program) + " " + e2e::quoted(box.path(FILE_NAME)), options);
    expectSettingsReport(out, reportHeader(box.path("v1.2\\list.ini")) +
                                  reportLine("EncodeURL", "no"));
  }
}

}  // namespace
