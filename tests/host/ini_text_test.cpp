#include <gtest/gtest.h>

#include <string>

#include "settings/ini_rules.h"
#include "settings/ini_text.h"

namespace {

TEST(IniText, HowTheFileWasSaved) {
  const struct {
    std::string bytes;
    IniEncoding encoding;
  } cases[] = {
      {"", IniEncoding::Ansi},
      {"[Options]\r\nShowDate=1\r\n", IniEncoding::Ansi},            // plain ASCII
      {"URLHead=\x95\x5C\x83\x5C", IniEncoding::Ansi},               // Shift_JIS 表ソ
      {"URLHead=\xE8\xA1\xA8", IniEncoding::Utf8},                   // 表
      {"x\xF0\x9F\x98\x80", IniEncoding::Utf8},                      // four bytes
      {"\xEF\xBB\xBF[Options]", IniEncoding::Utf8},                  // a mark alone says so
      {"\xFF\xFE[\0", IniEncoding::Utf16},
      {"\xE8\xA1\xA8\xC0\xAF", IniEncoding::Ansi},                   // overlong "/"
      {"\xE8\xA1\xA8\xED\xA0\x80", IniEncoding::Ansi},               // a surrogate
      {"\xE8\xA1\xA8\xF4\x90\x80\x80", IniEncoding::Ansi},           // past U+10FFFF
      {"\xE8\xA1\xA8\xE8\xA1", IniEncoding::Ansi},                   // cut short
  };
  for (const auto& c : cases) {
    EXPECT_EQ(iniEncodingOf(c.bytes), c.encoding) << testing::PrintToString(c.bytes);
  }
  std::string utf16("\xFF\xFE" "a\0\x68\x88" "x", 7);  // a表 and an odd byte
  EXPECT_EQ(iniTextOf(utf16, IniEncoding::Utf16), u"a表");
  EXPECT_EQ(iniTextOf("\xEF\xBB\xBF" "a\xF0\x9F\x98\x80\xFF", IniEncoding::Utf8),
            u"a\U0001F600\uFFFD");
  EXPECT_EQ(iniTextOf("ab", IniEncoding::Ansi), u"");
}

// The profile reader's rules, on the files a user may write.
TEST(IniText, ValueAsTheProfileReaderFindsIt) {
  const struct {
    std::u16string text;
    bool found;
    std::u16string value;
  } cases[] = {
      {u"[Options]\nShowDate=1", true, u"1"},
      {u" [ options ] \r\n\t showdate \t= \"1 \" \r\n", true, u"1 "},
      {u"[Options]\rShowDate=1\r", true, u"1"},
      {u"[Options] ; note\nShowDate=1", true, u"1"},
      {u"[Options]\n;ShowDate=1\nShowDate=0", true, u"0"},
      {u"[Options]\nShowDate\nShowDate=1\nShowDate=0", true, u"1"},
      {u"[Options]\nShowDate='1\"", true, u"'1\""},
      {u"[Options]\nShowDate='\"1\"'", true, u"\"1\""},
      {u"[Options]\nShowDate=", true, u""},
      {std::u16string(u"[Options]\nShowDate=1\0x", 22), true, u"1"},
      {u"[Options]\nShowDates=1\nShow=1", false, u""},
      {u"ShowDate=1\n[Options]", false, u""},
      {u"[Strings]\nShowDate=1\n[Option]\nShowDate=1", false, u""},
      {u"[Options]\nA=1\n[Options]\nShowDate=1", false, u""},
      {u"[Options\nShowDate=1", false, u""},
  };
  for (const auto& c : cases) {
    std::u16string value = u"unchanged";
    EXPECT_EQ(findIniValue(c.text, "Options", "ShowDate", value), c.found)
        << testing::PrintToString(c.text);
    EXPECT_EQ(value, c.found ? c.value : u"unchanged") << testing::PrintToString(c.text);
  }
}

TEST(IniText, CutToTheBufferWithoutSplittingACharacter) {
  std::string tables;  // 表 is 95 5C
  for (int i = 0; i < 64; ++i) tables += "\x95\x5C";
  const struct {
    std::string value;
    std::size_t bufferSize;
    std::string kept;
  } cases[] = {
      {tables, 128, tables.substr(0, 126)},  // the 64th would end past 127 bytes
      {"x" + tables, 128, "x" + tables.substr(0, 126)},
      {"a\x95", 4, "a\x95"},  // a lead byte with nothing after it is one byte
  };
  for (const auto& c : cases) {
    std::string value = c.value;
    cutToIniBuffer(value, c.bufferSize);
    EXPECT_EQ(value, c.kept);
  }
}

}  // namespace
