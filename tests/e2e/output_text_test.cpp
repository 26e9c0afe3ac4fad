// The output text as the user pastes it: every line byte for byte, in every
// form the options give, straight from the clipboard of a real run.
//
// The runs name their files relative to the sandbox folder (its working
// directory), so that the command lines read like a user's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

const std::string HEAD = "http://www.example.com/files/";

std::string padRight(const std::string& text, std::size_t width) {
  return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}
std::string padLeft(const std::string& text, std::size_t width) {
  return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}


class OutputText : public ::testing::Test {
 protected:
  // Runs with the arguments and compares the whole clipboard text.
  void expectText(const std::string& arguments, const std::string& expected) {
    SCOPED_TRACE("arguments: " + arguments);
    e2e::LaunchOptions options;
    options.workingDirectory = box_.folder();
    const e2e::Outcome out = box_.run(arguments, options);
    ASSERT_TRUE(out.finished()) << out.summary();
    EXPECT_EQ(out.exitCode, 0) << out.summary();
    EXPECT_TRUE(out.messages.empty()) << out.summary();
    EXPECT_EQ(out.clipboard, expected) << out.summary();
  }

  e2e::Sandbox box_;
};

// No INI file: the built-in head, encoded names, "," grouping, whole bytes;
// a folder argument puts its own name in front of every path.
TEST_F(OutputText, DefaultsUnderTheFolderName) {
  ASSERT_TRUE(box_.ok());
  ASSERT_TRUE(box_.writeFile("d\\a.txt", std::string(1234, 'a')));
  ASSERT_TRUE(box_.writeFile("d\\sub\\bb.txt", "12345"));
  ASSERT_TRUE(box_.writeFileOfSize("d\\x y.txt", 1000000));
  const std::string grouped =
      HEAD + "d/a.txt      (    1,234 bytes)\r\n" +
      HEAD + "d/sub/bb.txt (        5 bytes)\r\n" +
      HEAD + "d/x+y.txt    (1,000,000 bytes)\r\n";
  expectText("d", grouped);
  // The folder named by its full path gives the same paths.
  expectText(e2e::quoted(box_.path("d")), grouped);
  expectText("/c d",
             HEAD + "d/a.txt      (   1234 bytes)\r\n" +
             HEAD + "d/sub/bb.txt (      5 bytes)\r\n" +
             HEAD + "d/x+y.txt    (1000000 bytes)\r\n");
}

struct UnitRow {
  const char* name;
  std::uint64_t size;
  const char* text[6];  // /B:B, K, M, G, T, P, grouped
};

// Listed in sorted order. The large ones are sparse files.
const UnitRow UNIT_ROWS[] = {
    {"s00", 0, {"0", "0.00", "0.00", "0.00", "0.00", "0.00"}},
    {"s01", 1, {"1", "0.01", "0.01", "0.01", "0.01", "0.01"}},
    // 12.5 hundredths, yet 0.12: the hundredths divisor is a double a hair
    // above 10.24.
    {"s02", 128, {"128", "0.12", "0.01", "0.01", "0.01", "0.01"}},
    {"s03", 999, {"999", "0.98", "0.01", "0.01", "0.01", "0.01"}},
    {"s04", 1000, {"1,000", "0.98", "0.01", "0.01", "0.01", "0.01"}},
    {"s05", 1023, {"1,023", "1.00", "0.01", "0.01", "0.01", "0.01"}},
    {"s06", 1024, {"1,024", "1.00", "0.01", "0.01", "0.01", "0.01"}},
    {"s07", 1536, {"1,536", "1.50", "0.01", "0.01", "0.01", "0.01"}},
    {"s08", 1000000, {"1,000,000", "976.56", "0.95", "0.01", "0.01", "0.01"}},
    {"s09", 1048576, {"1,048,576", "1,024.00", "1.00", "0.01", "0.01", "0.01"}},
    {"s10", 1000000000, {"1,000,000,000", "976,562.50", "953.67", "0.93", "0.01", "0.01"}},
    {"s11", 4294967296, {"4,294,967,296", "4,194,304.00", "4,096.00", "4.00", "0.01", "0.01"}},
    {"s12", 5000000000000,
     {"5,000,000,000,000", "4,882,812,500.00", "4,768,371.58", "4,656.61", "4.55", "0.01"}},
};

TEST_F(OutputText, EveryUnitScalesRoundsAndNeverShowsZero) {
  for (const UnitRow& row : UNIT_ROWS) {
    ASSERT_TRUE(box_.writeFileOfSize(std::string("u\\") + row.name, row.size)) << row.name;
  }
  const char* const options[6] = {"/B:B", "/B:K", "/B:M", "/B:G", "/B:T", "/B:P"};
  const char* const words[6] = {"bytes", "KB", "MB", "GB", "TB", "PB"};
  for (int unit = 0; unit < 6; ++unit) {
    std::size_t width = 0;
    for (const UnitRow& row : UNIT_ROWS) {
      width = std::max(width, std::string(row.text[unit]).size());
    }
    std::string expected;
    for (const UnitRow& row : UNIT_ROWS) {
      expected += HEAD + "u/" + row.name + " (" + padLeft(row.text[unit], width) + " " +
                  words[unit] + ")\r\n";
    }
    expectText(std::string(options[unit]) + " u", expected);
  }

  // Grouping never reaches into the fraction.
  ASSERT_TRUE(box_.writeFileOfSize("g\\s.bin", 1000000000));
  expectText("/c g", HEAD + "g/s.bin (1000000000 bytes)\r\n");
  expectText("/c /B:K g", HEAD + "g/s.bin (976562.50 KB)\r\n");
}

// The worked two-entry example in the four bracketed forms: paths padded
// unless the size part goes on a line of its own, sizes right-aligned always.
TEST_F(OutputText, BracketedFormsWithWideCharAndNewLine) {
  const FILETIME first = e2e::localFileTime(2011, 5, 1, 12, 34, 56);
  const FILETIME second = e2e::localFileTime(2011, 5, 2, 8, 0, 0);
  ASSERT_TRUE(box_.writeFile("w\\a.txt", std::string(1234, 'a'), &first));
  ASSERT_TRUE(box_.writeFile("w\\sub\\bb.txt", "12345", &second));

  expectText("/U: /D /T w\\*",
             "a.txt      (1,234 bytes, 2011/05/01 12:34:56)\r\n"
             "sub/bb.txt (    5 bytes, 2011/05/02 08:00:00)\r\n");
  expectText("/U: /D /T /L w\\*",
             "a.txt\r\n(1,234 bytes, 2011/05/01 12:34:56)\r\n\r\n"
             "sub/bb.txt\r\n(    5 bytes, 2011/05/02 08:00:00)\r\n\r\n");
  // Full-width parentheses and date separator; the blank before the unit
  // word stays single-byte.
  expectText("/U: /D /T /W w\\*",
             "a.txt      （1,234 bytes、2011/05/01 12:34:56）\r\n"
             "sub/bb.txt （    5 bytes、2011/05/02 08:00:00）\r\n");
  expectText("/U: /DTLW w\\*",
             "a.txt\r\n（1,234 bytes、2011/05/01 12:34:56）\r\n\r\n"
             "sub/bb.txt\r\n（    5 bytes、2011/05/02 08:00:00）\r\n\r\n");
  // The date alone; the time alone adds nothing.
  expectText("/U: /D w\\*",
             "a.txt      (1,234 bytes, 2011/05/01)\r\n"
             "sub/bb.txt (    5 bytes, 2011/05/02)\r\n");
  expectText("/U: /T w\\*",
             "a.txt      (1,234 bytes)\r\n"
             "sub/bb.txt (    5 bytes)\r\n");
}

// Tab-separated: the header, whole bytes whatever the unit, no unit word,
// no parentheses, no alignment, and the bracket switches change nothing.
TEST_F(OutputText, TabFormHeaderAndWholeBytes) {
  const FILETIME first = e2e::localFileTime(2011, 5, 1, 12, 34, 56);
  const FILETIME second = e2e::localFileTime(2011, 5, 2, 8, 0, 0);
  ASSERT_TRUE(box_.writeFile("t\\a.txt", std::string(1234, 'a'), &first));
  ASSERT_TRUE(box_.writeFile("t\\sub\\bb.txt", std::string(1536, 'b'), &second));

  const std::string plain = "URL\tサイズ\r\n" +
                            HEAD + "a.txt\t1,234\r\n" +
                            HEAD + "sub/bb.txt\t1,536\r\n";
  expectText("/O t\\*", plain);
  expectText("/O /B:K /N:KiB t\\*", plain);
  expectText("/O /T t\\*", plain);
  expectText("/O /D t\\*", "URL\tサイズ\t日付\r\n" +
                           HEAD + "a.txt\t1,234\t2011/05/01\r\n" +
                           HEAD + "sub/bb.txt\t1,536\t2011/05/02\r\n");
  expectText("/O /D /T t\\*", "URL\tサイズ\t日時\r\n" +
                              HEAD + "a.txt\t1,234\t2011/05/01 12:34:56\r\n" +
                              HEAD + "sub/bb.txt\t1,536\t2011/05/02 08:00:00\r\n");
  expectText("/ODTWLc /B:M /U: t\\*", "URL\tサイズ\t日時\r\n"
                                      "a.txt\t1234\t2011/05/01 12:34:56\r\n"
                                      "sub/bb.txt\t1536\t2011/05/02 08:00:00\r\n");
}

TEST_F(OutputText, UrlHeadAndUnitWord) {
  ASSERT_TRUE(box_.writeFile("h\\a.txt", std::string(1536, 'a')));
  // An empty head: the line starts with the path.
  expectText("/U: h\\a.txt", "a.txt (1,536 bytes)\r\n");
  // A head without its closing "/" gets one; quoted, so the tokenizer keeps
  // its "/" inside one token.
  expectText("\"/U:ftp://host/dir\" h\\a.txt", "ftp://host/dir/a.txt (1,536 bytes)\r\n");
  expectText("\"/U:C:\\web\\\" h\\a.txt", "C:\\web\\/a.txt (1,536 bytes)\r\n");
  // The user's word labels the chosen unit, behind one blank of its own.
  expectText("/B:K /N:キロバイト h\\a.txt", HEAD + "a.txt (1.50 キロバイト)\r\n");
  expectText("/B:M /N:MiB h\\a.txt", HEAD + "a.txt (0.01 MiB)\r\n");
  expectText("\"/N: KiB\" /B:K h\\a.txt", HEAD + "a.txt (1.50  KiB)\r\n");
  expectText("/W /N:バイト h\\a.txt", HEAD + "a.txt （1,536 バイト）\r\n");
}

// The order is that of the paths as collected; lower-casing comes after it.
TEST_F(OutputText, SmallUrlLowersAfterTheSort) {
  for (const char* name : {"c\\a.txt", "c\\B.txt", "c\\Dir\\X.TXT", "c\\ア.TXT"}) {
    ASSERT_TRUE(box_.writeFile(name, "x")) << name;
  }
  expectText("/e c\\*",
             HEAD + "B.txt     (1 bytes)\r\n" +
             HEAD + "Dir/X.TXT (1 bytes)\r\n" +
             HEAD + "a.txt     (1 bytes)\r\n" +
             HEAD + "ア.TXT    (1 bytes)\r\n");
  // The katakana's trail byte 0x41 is no "A" and stays.
  expectText("/e /S c\\*",
             HEAD + "b.txt     (1 bytes)\r\n" +
             HEAD + "dir/x.txt (1 bytes)\r\n" +
             HEAD + "a.txt     (1 bytes)\r\n" +
             HEAD + "\x83\x41.txt    (1 bytes)\r\n");
  // Encoded, the escape's "%" sorts first; its digits are lower case already.
  expectText("/S c\\*",
             HEAD + "%83%41.txt (1 bytes)\r\n" +
             HEAD + "b.txt      (1 bytes)\r\n" +
             HEAD + "dir/x.txt  (1 bytes)\r\n" +
             HEAD + "a.txt      (1 bytes)\r\n");
}

TEST_F(OutputText, OrderIsByteOrder) {
  for (const char* name : {"o\\aa.txt", "o\\file2", "o\\a0.txt", "o\\a\\b.txt", "o\\file10",
                           "o\\a.txt", "o\\B.txt", "o\\a b.txt", "o\\z.txt", "o\\ア.txt"}) {
    ASSERT_TRUE(box_.writeFile(name, "")) << name;
  }
  // "." (2E) before "/" (2F) before digits before letters; capitals first;
  // digits compare as text; a blank (20) or "+" (2B) before "."; a lead
  // byte after every ASCII byte.
  const std::vector<std::string> raw = {"B.txt",  "a b.txt", "a.txt", "a/b.txt", "a0.txt",
                                        "aa.txt", "file10",  "file2", "z.txt",   "ア.txt"};
  const std::vector<std::string> encoded = {"%83%41.txt", "B.txt",  "a+b.txt", "a.txt",
                                            "a/b.txt",    "a0.txt", "aa.txt",  "file10",
                                            "file2",      "z.txt"};
  const auto lines = [](const std::vector<std::string>& names) {
    std::size_t width = 0;
    for (const std::string& name : names) width = std::max(width, name.size());
    std::string text;
    for (const std::string& name : names) text += HEAD + padRight(name, width) + " (0 bytes)\r\n";
    return text;
  };
  expectText("/e o\\*", lines(raw));
  expectText("o\\*", lines(encoded));
}

// Columns count bytes: a double-byte character takes two, raw or encoded.
TEST_F(OutputText, ShiftJisNamesAlignByBytes) {
  ASSERT_TRUE(box_.writeFile("j\\a.txt", "1"));
  ASSERT_TRUE(box_.writeFile("j\\アイウ.txt", std::string(22, 'x')));
  ASSERT_TRUE(box_.writeFile("j\\日本語ファイル.txt", std::string(333, 'x')));
  // 表 is 95 5C: a trail byte that looks like a backslash.
  ASSERT_TRUE(box_.writeFile("j\\表.txt", std::string(4444, 'x')));

  expectText("/e j\\*",
             HEAD + "a.txt              (    1 bytes)\r\n" +
             HEAD + "アイウ.txt         (   22 bytes)\r\n" +
             HEAD + "日本語ファイル.txt (  333 bytes)\r\n" +
             HEAD + "表.txt             (4,444 bytes)\r\n");
  EXPECT_EQ(std::string("表.txt"), "\x95\x5c.txt");

  const std::string sjis = "%93%fa%96%7b%8c%ea%83%74%83%40%83%43%83%8b.txt";
  expectText("j\\*",
             HEAD + padRight("%83%41%83%43%83%45.txt", sjis.size()) + " (   22 bytes)\r\n" +
             HEAD + sjis + " (  333 bytes)\r\n" +
             HEAD + padRight("%95%5c.txt", sjis.size()) + " (4,444 bytes)\r\n" +
             HEAD + padRight("a.txt", sjis.size()) + " (    1 bytes)\r\n");
}

// Times are stored in UTC and shown in the local zone (Tokyo, +9 h, no
// daylight saving, in the test environment).
TEST_F(OutputText, DatesInTheLocalTimeZone) {
  TIME_ZONE_INFORMATION zone{};
  GetTimeZoneInformation(&zone);
  ASSERT_EQ(zone.Bias, -540) << "the tests expect TZ=Asia/Tokyo";

  const FILETIME newYear = e2e::utcFileTime(2011, 12, 31, 20, 0, 0);
  const FILETIME summer = e2e::utcFileTime(2011, 7, 1, 15, 30, 45);
  const FILETIME afternoon = e2e::utcFileTime(2012, 2, 29, 5, 0, 9);
  ASSERT_TRUE(box_.writeFile("z\\m.txt", "", &newYear));
  ASSERT_TRUE(box_.writeFile("z\\n.txt", "", &summer));
  ASSERT_TRUE(box_.writeFile("z\\o.txt", "", &afternoon));
  expectText("/D /T z\\*",
             HEAD + "m.txt (0 bytes, 2012/01/01 05:00:00)\r\n" +
             HEAD + "n.txt (0 bytes, 2011/07/02 00:30:45)\r\n" +
             HEAD + "o.txt (0 bytes, 2012/02/29 14:00:09)\r\n");
  expectText("/O /D z\\*",
             "URL\tサイズ\t日付\r\n" +
             HEAD + "m.txt\t0\t2012/01/01\r\n" +
             HEAD + "n.txt\t0\t2011/07/02\r\n" +
             HEAD + "o.txt\t0\t2012/02/29\r\n");
}

}  // namespace
