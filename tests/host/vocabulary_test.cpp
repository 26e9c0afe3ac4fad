#include <gtest/gtest.h>

#include <string>

#include "settings/vocabulary.h"

namespace {

OutputOptions vocabularyOf(OutputOptions options) {
  buildOutputVocabulary(options);
  return options;
}

TEST(Vocabulary, UrlHeadGetsItsClosingSlash) {
  OutputOptions options;
  options.URLHead = "http://h/x";
  EXPECT_EQ(vocabularyOf(options).URLHead, "http://h/x/");
  options.URLHead = "http://h/x/";
  EXPECT_EQ(vocabularyOf(options).URLHead, "http://h/x/");
  options.URLHead = "";
  EXPECT_EQ(vocabularyOf(options).URLHead, "");
  options.URLHead = "C:\\";  // only the last byte is looked at
  EXPECT_EQ(vocabularyOf(options).URLHead, "C:\\/");
  options.URLHead = "h ";
  EXPECT_EQ(vocabularyOf(options).URLHead, "h /");
  options.OutputTabText = true;
  options.URLHead = "h";
  EXPECT_EQ(vocabularyOf(options).URLHead, "h/");
}

TEST(Vocabulary, UnitWords) {
  const char* const names[] = {" bytes", " KB", " MB", " GB", " TB", " PB", " bytes"};
  for (int unit = 0; unit <= 6; ++unit) {
    OutputOptions options;
    options.ByteUnit = unit;
    EXPECT_EQ(vocabularyOf(options).ByteUnitName, names[unit]) << unit;
  }
  OutputOptions options;
  options.ByteUnit = -1;
  EXPECT_EQ(vocabularyOf(options).ByteUnitName, " bytes");

  // A user's word is kept with its unit, and gets the blank even after one.
  options.ByteUnit = 2;
  options.ByteUnitName = "メガ";
  const OutputOptions user = vocabularyOf(options);
  EXPECT_EQ(user.ByteUnitName, " メガ");
  EXPECT_EQ(user.ByteUnit, 2);
  options.ByteUnitName = " x";
  EXPECT_EQ(vocabularyOf(options).ByteUnitName, "  x");
}

TEST(Vocabulary, BracketTextsForTheFourCombinations) {
  struct Row {
    bool newLine, wide;
    const char* open;
    const char* close;
  };
  const Row rows[] = {
      {false, false, " (", ")\r\n"},
      {false, true, " （", "）\r\n"},
      {true, false, "\r\n(", ")\r\n\r\n"},
      {true, true, "\r\n（", "）\r\n\r\n"},
  };
  for (const Row& row : rows) {
    OutputOptions options;
    options.InsertNewLine = row.newLine;
    options.UseWideChar = row.wide;
    const OutputOptions result = vocabularyOf(options);
    EXPECT_EQ(result.OpenText, row.open) << row.newLine << row.wide;
    EXPECT_EQ(result.CloseText, row.close) << row.newLine << row.wide;
    EXPECT_EQ(result.ByteUnitName, " bytes");  // the single-byte blank either way
  }
}

TEST(Vocabulary, TabOutputUsesWholeBytesAndNoBrackets) {
  OutputOptions options;
  options.OutputTabText = true;
  options.ByteUnit = 1;
  options.InsertNewLine = true;
  options.UseWideChar = true;
  const OutputOptions result = vocabularyOf(options);
  EXPECT_EQ(result.ByteUnit, 0);
  EXPECT_EQ(result.ByteUnitName, "");
  EXPECT_EQ(result.OpenText, "");
  EXPECT_EQ(result.CloseText, "");
}

}  // namespace
