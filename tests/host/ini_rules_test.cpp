#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "settings/ini_rules.h"

namespace {

const IniKey& keyNamed(const std::string& name) {
  for (const IniKey& key : INI_KEYS) {
    if (name == key.name) return key;
  }
  ADD_FAILURE() << "no key " << name;
  return INI_KEYS[0];
}

TEST(IniPath, CutAtFirstDotOfTheFileName) {
  EXPECT_EQ(iniPathFromProgramPath("C:\\Tools\\list.new.exe"), "C:\\Tools\\list.ini");
  EXPECT_EQ(iniPathFromProgramPath("C:\\Tools\\list"), "C:\\Tools\\list.ini");
  EXPECT_EQ(iniPathFromProgramPath("C:\\A.B\\list.exe"), "C:\\A.B\\list.ini");
  EXPECT_EQ(iniPathFromProgramPath("my.tool.exe"), "my.ini");
  // Only the backslash separates folders here.
  EXPECT_EQ(iniPathFromProgramPath("C:/A.B/list.exe"), "C:/A.ini");
  EXPECT_EQ(iniPathFromProgramPath(""), ".ini");
}

TEST(IniPath, TrailByte5CIsNoBackslash) {
  EXPECT_EQ(iniPathFromProgramPath("C:\\x.\x95\x5C\\q.exe"), "C:\\x.\x95\x5C\\q.ini");
  // "x.ソ" ends in 83 5C: taken for a backslash, that trail byte would hide
  // the dot before it and give "C:\x.ソ.ini".
  EXPECT_EQ(iniPathFromProgramPath("C:\\x.\x83\x5C"), "C:\\x.ini");
}

TEST(IniValue, TrimAndUnquote) {
  EXPECT_EQ(trimIniValue(" \t\r\n 1 a \n\r\t "), "1 a");
  EXPECT_EQ(trimIniValue(" \t\r\n"), "");
  EXPECT_EQ(unquoteIniValue("\"1\""), "1");
  EXPECT_EQ(unquoteIniValue("'1'"), "1");
  EXPECT_EQ(unquoteIniValue("\"\"\"\""), "\"\"");  // once only
  EXPECT_EQ(unquoteIniValue("\" 1\""), " 1");
  EXPECT_EQ(unquoteIniValue("'1\""), "'1\"");
  EXPECT_EQ(unquoteIniValue("\""), "\"");
}

TEST(IniValue, SwitchKeysTakeExactlyOneOrZero) {
  OutputOptions options;
  std::string errors;
  const IniKey& showDate = keyNamed("ShowDate");
  EXPECT_EQ(applyIniValue(options, showDate, "1", errors), IniValueResult::Applied);
  EXPECT_TRUE(options.ShowDate);
  EXPECT_EQ(applyIniValue(options, showDate, " '0' ", errors), IniValueResult::Applied);
  EXPECT_FALSE(options.ShowDate);
  EXPECT_EQ(applyIniValue(options, showDate, "\"1\"", errors), IniValueResult::Applied);
  EXPECT_TRUE(options.ShowDate);
  EXPECT_TRUE(errors.empty());
  for (const char* refused : {"yes", "true", "01", "1.0", "\" 1\"", "2"}) {
    EXPECT_EQ(applyIniValue(options, showDate, refused, errors), IniValueResult::Rejected) << refused;
    EXPECT_TRUE(options.ShowDate) << refused;
  }
}

TEST(IniValue, AbsentValuesAreSkipped) {
  OutputOptions options;
  std::string errors;
  for (const char* absent : {"", "  ", "\"\"", "''", INI_SENTINEL, "\"#DEFAULT#DEFAULT#DEFAULT\""}) {
    EXPECT_EQ(applyIniValue(options, keyNamed("URLHead"), absent, errors), IniValueResult::Skipped);
    EXPECT_EQ(applyIniValue(options, keyNamed("ByteUnit"), absent, errors), IniValueResult::Skipped);
  }
  EXPECT_EQ(options.URLHead, DEFAULT_URL_HEAD);
  EXPECT_TRUE(errors.empty());
  // Close to the sentinel is a value like any other.
  EXPECT_EQ(applyIniValue(options, keyNamed("ByteUnitName"), "#default#default#default", errors),
            IniValueResult::Applied);
  EXPECT_EQ(options.ByteUnitName, "#default#default#default");
}

TEST(IniValue, ByteUnitLetters) {
  OutputOptions options;
  std::string errors;
  const IniKey& byteUnit = keyNamed("ByteUnit");
  const char* letters[] = {"b", "K", "m", "G", "t", "P"};
  for (std::int32_t unit = 0; unit < 6; ++unit) {
    options.ByteUnit = -1;
    EXPECT_EQ(applyIniValue(options, byteUnit, letters[unit], errors), IniValueResult::Applied);
    EXPECT_EQ(options.ByteUnit, unit);
  }
  EXPECT_EQ(applyIniValue(options, byteUnit, "KB", errors), IniValueResult::Rejected);
  EXPECT_EQ(applyIniValue(options, byteUnit, "X", errors), IniValueResult::Rejected);
  EXPECT_EQ(options.ByteUnit, 5);
}

TEST(IniValue, TextKeysTakeAnything) {
  OutputOptions options;
  std::string errors;
  EXPECT_EQ(applyIniValue(options, keyNamed("URLHead"), " ' http://h/x/ ' ", errors),
            IniValueResult::Applied);
  EXPECT_EQ(options.URLHead, " http://h/x/ ");
  EXPECT_EQ(applyIniValue(options, keyNamed("ByteUnitName"), "バイト", errors),
            IniValueResult::Applied);
  EXPECT_EQ(options.ByteUnitName, "バイト");
  EXPECT_TRUE(errors.empty());
}

TEST(IniReport, LinesInReadingOrder) {
  OutputOptions options;
  std::string errors;
  // Values as the reader hands them; fed in key order, as the loader does.
  for (const IniKey& key : INI_KEYS) {
    const std::string name = key.name;
    applyIniValue(options, key, name == "ShowDate" ? "yes" : name == "ByteUnit" ? " \"KB\" " : "",
                  errors);
  }
  EXPECT_EQ(iniReportText("C:\\A.B\\list.ini", errors),
            "設定ファイル \"C:\\A.B\\list.ini\" に、以下のエラーがあります。\n"
            "\n[Options] セクションに設定されたキー ByteUnit の値 \"KB\" が認識できません。"
            "\n[Options] セクションに設定されたキー ShowDate の値 \"yes\" が認識できません。");
}

TEST(IniKeys, EachSwitchWritesItsOwnField) {
  OutputOptions probe;
  probe.CommeredNumber = false;
  std::string errors;
  int switches = 0;
  for (const IniKey& key : INI_KEYS) {
    if (key.kind != IniKeyKind::Switch) continue;
    ++switches;
    applyIniValue(probe, key, "1", errors);
  }
  EXPECT_EQ(switches, 10);
  EXPECT_TRUE(probe.CommeredNumber && probe.InsertNewLine && probe.UseWideChar &&
              probe.EnSmallURL && probe.EncodeURL && probe.ShowDate && probe.ShowTime &&
              probe.ShowMD5 && probe.OutputTabText && probe.SkipHiddenFiles);
}

TEST(IniValue, DigestAlgorithmAndExcludedNames) {
  OutputOptions options;
  std::string errors;
  const IniKey& algorithm = keyNamed("DigestAlgorithm");
  EXPECT_EQ(applyIniValue(options, algorithm, " 'sha-256' ", errors), IniValueResult::Applied);
  EXPECT_EQ(options.DigestAlgorithm, HashAlgorithm::Sha256);
  EXPECT_EQ(applyIniValue(options, algorithm, "SHA1", errors), IniValueResult::Rejected);
  EXPECT_EQ(options.DigestAlgorithm, HashAlgorithm::Sha256);
  EXPECT_EQ(errors,
            "\n[Options] セクションに設定されたキー DigestAlgorithm の値 \"SHA1\" が認識できません。");

  // A list is read whole; blanks inside the quotes are part of a pattern.
  const IniKey& names = keyNamed("ExcludeNames");
  EXPECT_GT(names.bufferSize, 1000u);
  EXPECT_EQ(applyIniValue(options, names, "\" Thumbs.db;desktop.ini\"", errors),
            IniValueResult::Applied);
  EXPECT_EQ(options.ExcludeNames, " Thumbs.db;desktop.ini");
  EXPECT_EQ(keyNamed("URLHead").bufferSize, INI_VALUE_BUFFER_SIZE);
}

TEST(IniValue, DigestThreadsTakesACountOnly) {
  const IniKey& threads = keyNamed("DigestThreads");
  for (const auto& [value, taken] : std::vector<std::pair<std::string, std::uint32_t>>{
           {"0", 0}, {"4", 4}, {" '16' ", 16}, {"999", 999}}) {
    OutputOptions options;
    std::string errors;
    EXPECT_EQ(applyIniValue(options, threads, value, errors), IniValueResult::Applied) << value;
    EXPECT_EQ(options.DigestThreads, taken) << value;
  }
  for (const std::string value : {"-1", "+2", "two", "1000", "1.5", "4 "}) {
    OutputOptions options;
    options.DigestThreads = 3;
    std::string errors;
    EXPECT_EQ(applyIniValue(options, threads, "\"" + value + "\"", errors), IniValueResult::Rejected)
        << value;
    EXPECT_EQ(options.DigestThreads, 3u) << value;
    EXPECT_EQ(errors, "\n[Options] セクションに設定されたキー DigestThreads の値 \"" + value +
                          "\" が認識できません。");
  }
}

}  // namespace
