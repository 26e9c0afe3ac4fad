#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/job.h"
#include "settings/output_options.h"
#include "test_support.h"

namespace {

// Loads the settings of a program at programPath and returns the texts of
// the message boxes shown.
std::vector<std::string> loadFor(Job& job, bool expected) {
  MessageBoxCatcher catcher;
  EXPECT_EQ(job.loadIniSettings(), expected);
  return catcher.texts();
}

std::string commandLineOf(const std::string& programPath) { return "\"" + programPath + "\" /D"; }

using Texts = std::vector<std::string>;

TEST(IniFile, AcceptedValues) {
  TempTree tree;
  tree.folder("A.B");
  // The profile reader removes the outer quotes and blanks itself; a second
  // pair, kept by it, is removed by the loader.
  tree.file("A.B\\list.ini",
            "[Options]\r\n"
            "CommeredNumber=0\r\n"
            "InsertNewLine='1'\r\n"
            "UseWideChar=\"'1'\"\r\n"
            "EnSmallURL = 1 \r\n"
            "EncodeURL=\r\n"
            "ByteUnit=m\r\n"
            "ShowMD5=#DEFAULT#DEFAULT#DEFAULT\r\n"
            "[Strings]\r\n"
            "URLHead='\" http://h/x/ \"'\r\n"
            "ByteUnitName=バイト\r\n");
  Job job(GetModuleHandleA(nullptr), commandLineOf(tree.path("A.B\\list.new.exe")).c_str());
  job.options.EncodeURL = true;
  EXPECT_EQ(loadFor(job, true), Texts{});
  const OutputOptions& o = job.options;
  EXPECT_FALSE(o.CommeredNumber);
  EXPECT_TRUE(o.InsertNewLine && o.UseWideChar && o.EnSmallURL);
  EXPECT_TRUE(o.EncodeURL);  // empty: unchanged
  EXPECT_EQ(o.ByteUnit, 2);
  EXPECT_FALSE(o.ShowMD5 || o.ShowDate || o.ShowTime || o.OutputTabText);
  EXPECT_EQ(o.URLHead, " http://h/x/ ");
  EXPECT_EQ(o.ByteUnitName, "バイト");
}

TEST(IniFile, RefusedValuesInOneReport) {
  TempTree tree;
  tree.file("list.ini",
            "[Options]\r\n"
            "ShowDate=yes\r\n"
            "ByteUnit=KB\r\n"
            "EncodeURL='\" 1\"'\r\n"
            "ShowTime=1\r\n"
            "[Strings]\r\n"
            "URLHead=\r\n");
  const std::string iniPath = tree.path("list.ini");
  Job job(GetModuleHandleA(nullptr), commandLineOf(tree.path("list.exe")).c_str());
  job.options.EncodeURL = false;
  EXPECT_EQ(loadFor(job, false),
            (Texts{"設定ファイル \"" + iniPath + "\" に、以下のエラーがあります。\n"
                   "\n[Options] セクションに設定されたキー EncodeURL の値 \" 1\" が認識できません。"
                   "\n[Options] セクションに設定されたキー ByteUnit の値 \"KB\" が認識できません。"
                   "\n[Options] セクションに設定されたキー ShowDate の値 \"yes\" が認識できません。"}));
  EXPECT_FALSE(job.options.EncodeURL);
  EXPECT_EQ(job.options.ByteUnit, 0);
  EXPECT_FALSE(job.options.ShowDate);
  EXPECT_TRUE(job.options.ShowTime);  // good values around bad ones still count
  EXPECT_EQ(job.options.URLHead, DEFAULT_URL_HEAD);
}

TEST(IniFile, LongValueArrivesCut) {
  TempTree tree;
  const std::string head = "http://h/" + std::string(300, 'x');
  tree.file("q.ini", "[Strings]\r\nURLHead=" + head + "\r\n[Options]\r\nShowDate=1" +
                         std::string(200, '1') + "\r\n");
  Job job(GetModuleHandleA(nullptr), commandLineOf(tree.path("q.exe")).c_str());
  const Texts texts = loadFor(job, false);
  EXPECT_EQ(job.options.URLHead, head.substr(0, 127));
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find(" ShowDate の値 \"" + std::string(127, '1') + "\" "), std::string::npos);
}

// A list of names is read whole, far past the 127 bytes of other keys.
TEST(IniFile, NewKeysAndALongListOfNames) {
  TempTree tree;
  std::string names;
  while (names.size() < 3000) names += "name" + std::to_string(names.size()) + ".tmp;";
  tree.file("q.ini", "[Strings]\r\nExcludeNames=" + names + "\r\n[Options]\r\nSkipHiddenFiles=1\r\n"
                     "DigestAlgorithm=sha-256\r\n");
  Job job(GetModuleHandleA(nullptr), commandLineOf(tree.path("q.exe")).c_str());
  EXPECT_EQ(loadFor(job, true), Texts{});
  EXPECT_EQ(job.options.ExcludeNames, names);
  EXPECT_TRUE(job.options.SkipHiddenFiles);
  EXPECT_EQ(job.options.DigestAlgorithm, HashAlgorithm::Sha256);

}

// The bytes of text saved in a code page (a character it lacks saved as
// "?"), or as UTF-16 LE, after the mark.
std::string savedAs(const std::u16string& text, UINT codePage, const char* mark) {
  std::string bytes = mark;
  const std::wstring wide(text.begin(), text.end());
  if (codePage == 1200) {
    return bytes + std::string(reinterpret_cast<const char*>(wide.data()), 2 * wide.size());
  }
  std::string coded(wide.size() * 4, '\0');
  coded.resize(static_cast<std::size_t>(
      WideCharToMultiByte(codePage, codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS, wide.c_str(),
                          static_cast<int>(wide.size()), &coded[0], static_cast<int>(coded.size()),
                          nullptr, nullptr)));
  return bytes + coded;
}

// One file saved the ways Notepad offers gives one set of settings and one
// report: the profile reader would turn UTF-8 into mojibake, and lose the
// section behind a UTF-8 mark.
TEST(IniFile, SameSettingsWhateverTheFileWasSavedAs) {
  // 64 "表" (95 5C) are 128 bytes: the cut keeps 63 whole characters.
  std::u16string tables;
  std::string kept;
  for (int i = 0; i < 64; ++i) tables += u"表";
  for (int i = 0; i < 63; ++i) kept += "表";
  const std::u16string text = u"[Options]\r\n; 設定\r\nByteUnit=KB\r\nshowdate = 1\r\n"
                              u"[Strings]\r\nURLHead=\"http://例.jp/ü/ソ\"\r\nByteUnitName=" +
                              tables + u"\r\nExcludeNames=写真;*.tmp\r\n";
  const struct {
    const char* savedAs;
    std::string bytes;
  } cases[] = {
      {"Shift_JIS", savedAs(text, 932, "")},
      {"UTF-8", savedAs(text, CP_UTF8, "")},
      {"UTF-8 with mark", savedAs(text, CP_UTF8, "\xEF\xBB\xBF")},
      {"UTF-16 LE with mark", savedAs(text, 1200, "\xFF\xFE")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.savedAs);
    TempTree tree;
    tree.file("q.ini", c.bytes);
    Job job(GetModuleHandleA(nullptr), commandLineOf(tree.path("q.exe")).c_str());
    EXPECT_EQ(loadFor(job, false),
              (Texts{"設定ファイル \"" + tree.path("q.ini") + "\" に、以下のエラーがあります。\n"
                     "\n[Options] セクションに設定されたキー ByteUnit の値 \"KB\" が認識できません。"}));
    EXPECT_TRUE(job.options.ShowDate);
    EXPECT_EQ(job.options.URLHead, "http://例.jp/?/ソ");
    EXPECT_EQ(job.options.ByteUnitName, kept);
    EXPECT_EQ(job.options.ExcludeNames, "写真;*.tmp");
  }
}

TEST(IniFile, NoFileOrNoProgramPath) {
  TempTree tree;
  Job missing(GetModuleHandleA(nullptr), commandLineOf(tree.path("none.exe")).c_str());
  EXPECT_EQ(loadFor(missing, true), Texts{});
  OutputOptions defaults;
  EXPECT_EQ(missing.options.CommeredNumber, defaults.CommeredNumber);
  EXPECT_EQ(missing.options.EncodeURL, defaults.EncodeURL);
  EXPECT_EQ(missing.options.URLHead, defaults.URLHead);

  Job empty(GetModuleHandleA(nullptr), "");
  EXPECT_EQ(loadFor(empty, true), Texts{});
  EXPECT_EQ(empty.options.URLHead, defaults.URLHead);
}

}  // namespace
