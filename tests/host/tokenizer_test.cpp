#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collect/argument_list.h"

namespace {

std::vector<std::string> tokensOf(const char* commandLine) {
  ArgumentList list(commandLine);
  std::vector<std::string> tokens;
  for (std::uint32_t i = 0; i < list.count(); ++i) tokens.push_back(list.token(i));
  return tokens;
}

// The arguments after a quoted program path, as the shell passes them.
std::vector<std::string> argumentsOf(const std::string& rest) {
  std::vector<std::string> tokens = tokensOf(("\"C:\\Program Files\\q.exe\" " + rest).c_str());
  EXPECT_EQ(tokens.at(0), "C:\\Program Files\\q.exe");
  tokens.erase(tokens.begin());
  return tokens;
}

using Tokens = std::vector<std::string>;

TEST(Tokenizer, WorkedExamples) {
  EXPECT_EQ(argumentsOf("a b"), (Tokens{"a", "b"}));
  EXPECT_EQ(argumentsOf("\"a b\""), (Tokens{"a b"}));
  EXPECT_EQ(argumentsOf("\"say \"\"hi\"\" now\""), (Tokens{"say \"hi\" now"}));
  EXPECT_EQ(argumentsOf("a\"\"b"), (Tokens{"ab"}));
  EXPECT_EQ(argumentsOf("\"\""), (Tokens{""}));
  EXPECT_EQ(argumentsOf("/D/T/m"), (Tokens{"/D", "/T", "/m"}));
  EXPECT_EQ(argumentsOf("x/y"), (Tokens{"x", "/y"}));
  EXPECT_EQ(argumentsOf("\"x/y\""), (Tokens{"x/y"}));
  EXPECT_EQ(argumentsOf("\"\"/x"), (Tokens{"/x"}));
  EXPECT_EQ(argumentsOf("//"), (Tokens{"/", "/"}));
  EXPECT_EQ(argumentsOf("\"C:\\dir\\\" z"), (Tokens{"C:\\dir\\", "z"}));
  EXPECT_EQ(argumentsOf("\"abc"), (Tokens{"abc"}));
}

TEST(Tokenizer, ProgramPathAlone) {
  EXPECT_EQ(tokensOf("\"C:\\a b\\q.exe\""), (Tokens{"C:\\a b\\q.exe"}));
  EXPECT_EQ(tokensOf("q.exe   \t "), (Tokens{"q.exe"}));
  EXPECT_TRUE(tokensOf("").empty());
  EXPECT_TRUE(tokensOf(" \t ").empty());
  EXPECT_TRUE(tokensOf(nullptr).empty());
}

TEST(Tokenizer, UnquotedProgramPathWithSlashFallsApart) {
  EXPECT_EQ(tokensOf("C:/A.B/list.exe /D"), (Tokens{"C:", "/A.B", "/list.exe", "/D"}));
  EXPECT_EQ(tokensOf("\"C:/A.B/list.exe\" /D"), (Tokens{"C:/A.B/list.exe", "/D"}));
}

TEST(Tokenizer, WhiteSpace) {
  EXPECT_EQ(argumentsOf("  a\t\tb   c  "), (Tokens{"a", "b", "c"}));
  // Only blank and tab separate; CR and LF are ordinary text.
  EXPECT_EQ(argumentsOf("a\r\nb"), (Tokens{"a\r\nb"}));
  EXPECT_EQ(argumentsOf("\" a\tb \""), (Tokens{" a\tb "}));
}

TEST(Tokenizer, EmptyTokensKeepTheirPlace) {
  EXPECT_EQ(argumentsOf("a \"\" b"), (Tokens{"a", "", "b"}));
  EXPECT_EQ(argumentsOf("\"\" \"\""), (Tokens{"", ""}));
}

TEST(Tokenizer, BackslashNeverEscapes) {
  EXPECT_EQ(argumentsOf("a\\\"b c\""), (Tokens{"a\\b c"}));
  EXPECT_EQ(argumentsOf("\\\\server\\share"), (Tokens{"\\\\server\\share"}));
}

TEST(Tokenizer, SlashRules) {
  EXPECT_EQ(argumentsOf("/U:http://h/x/"), (Tokens{"/U:http:", "/", "/h", "/x", "/"}));
  EXPECT_EQ(argumentsOf("\"/U:http://h/x/\""), (Tokens{"/U:http://h/x/"}));
  // A quoted stretch in the middle of a token: the slash after it splits.
  EXPECT_EQ(argumentsOf("a\"b\"/c"), (Tokens{"ab", "/c"}));
  EXPECT_EQ(argumentsOf("/"), (Tokens{"/"}));
}

TEST(Tokenizer, QuotesNextToEachOther) {
  // A quote right after a closing quote is literal and reopens the stretch.
  EXPECT_EQ(argumentsOf("\"a\"\"\""), (Tokens{"a\""}));
  EXPECT_EQ(argumentsOf("\"\"\"\""), (Tokens{"\""}));
  EXPECT_EQ(argumentsOf("\"\"\"a b\""), (Tokens{"\"a b"}));
  // An unclosed quote takes the rest, blanks included.
  EXPECT_EQ(argumentsOf("x \"a  b "), (Tokens{"x", "a  b "}));
}

TEST(Tokenizer, ShiftJisBytesPassThrough) {
  // 0x83 0x5C (the katakana "so") and 0x95 0x5C keep their trail backslash byte.
  EXPECT_EQ(argumentsOf("\x83\x5C\\\x95\x5C.txt"), (Tokens{"\x83\x5C\\\x95\x5C.txt"}));
}

}  // namespace
