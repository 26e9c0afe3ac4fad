#include <gtest/gtest.h>

#include <string>

#include "collect/option_rules.h"

namespace {

// Error lines of one option token given as argument number 3.
std::string errorsOf(OutputOptions& options, const std::string& token) {
  std::string errors;
  applyOptionToken(options, token, 3, errors);
  return errors;
}

std::string notRecognised(const std::string& token) {
  return "\n- 第 3 引数 「" + token + "」 が認識できません。";
}

TEST(ArgumentError, LineText) {
  std::string errors;
  addArgumentError(errors, 12, "C:\\x\\*.zip", ARGUMENT_MATCHES_NOTHING);
  addArgumentError(errors, 1, "/X", ARGUMENT_NOT_RECOGNISED);
  EXPECT_EQ(errors,
            "\n- 第 12 引数 「C:\\x\\*.zip」 に該当するファイルが見つかりません。"
            "\n- 第 1 引数 「/X」 が認識できません。");
  EXPECT_EQ(argumentReportText(errors + ARGUMENTS_NAMED_NO_FILE),
            "引数に、以下のエラーがあります。\n"
            "\n- 第 12 引数 「C:\\x\\*.zip」 に該当するファイルが見つかりません。"
            "\n- 第 1 引数 「/X」 が認識できません。"
            "\n- 有効なファイル名が 1 つも指定されていません。");
}

TEST(FlagOptions, UpperTurnsOnLowerTurnsOff) {
  OutputOptions options;
  EXPECT_EQ(errorsOf(options, "/CLWSEDTMO"), "");
  EXPECT_TRUE(options.CommeredNumber && options.InsertNewLine && options.UseWideChar &&
              options.EnSmallURL && options.EncodeURL && options.ShowDate && options.ShowTime &&
              options.ShowMD5 && options.OutputTabText);
  EXPECT_EQ(errorsOf(options, "/clwsedtmo"), "");
  EXPECT_FALSE(options.CommeredNumber || options.InsertNewLine || options.UseWideChar ||
               options.EnSmallURL || options.EncodeURL || options.ShowDate || options.ShowTime ||
               options.ShowMD5 || options.OutputTabText);
  EXPECT_EQ(errorsOf(options, "/DTm"), "");
  EXPECT_TRUE(options.ShowDate && options.ShowTime);
  EXPECT_FALSE(options.ShowMD5);
}

TEST(FlagOptions, FirstBadLetterEndsTheToken) {
  OutputOptions options;
  // S sets EnSmallURL, h is an error, and D after it is never seen.
  EXPECT_EQ(errorsOf(options, "/ShowDate=1"), notRecognised("/ShowDate=1"));
  EXPECT_TRUE(options.EnSmallURL);
  EXPECT_FALSE(options.ShowDate);
  EXPECT_EQ(errorsOf(options, "/X"), notRecognised("/X"));
  EXPECT_EQ(errorsOf(options, "/"), notRecognised("/"));
  // No separator in the third byte: B is then a flag letter, and not a valid one.
  EXPECT_EQ(errorsOf(options, "/B"), notRecognised("/B"));
  EXPECT_EQ(errorsOf(options, "/:"), notRecognised("/:"));
  EXPECT_EQ(options.ByteUnit, 0);
}

TEST(ValueOptions, ByteUnit) {
  OutputOptions options;
  EXPECT_EQ(errorsOf(options, "/B:m"), "");
  EXPECT_EQ(options.ByteUnit, 2);
  EXPECT_EQ(errorsOf(options, "/b=KtP"), "");
  EXPECT_EQ(options.ByteUnit, 5);
  EXPECT_EQ(errorsOf(options, "/B:KX"), notRecognised("/B:KX"));
  EXPECT_EQ(options.ByteUnit, 1);
  EXPECT_EQ(errorsOf(options, "/B:xy"), notRecognised("/B:xy") + notRecognised("/B:xy"));
  EXPECT_EQ(options.ByteUnit, 1);
  EXPECT_EQ(errorsOf(options, "/B:"), "");
  EXPECT_EQ(errorsOf(options, "/B="), "");
  EXPECT_EQ(options.ByteUnit, 1);
}

TEST(ValueOptions, NamesAndHead) {
  OutputOptions options;
  EXPECT_EQ(errorsOf(options, "/N:バイト"), "");
  EXPECT_EQ(options.ByteUnitName, "バイト");
  EXPECT_EQ(errorsOf(options, "/N:"), notRecognised("/N:"));
  EXPECT_EQ(options.ByteUnitName, "バイト");
  EXPECT_EQ(errorsOf(options, "/u=http://h/a b/"), "");
  EXPECT_EQ(options.URLHead, "http://h/a b/");
  EXPECT_EQ(errorsOf(options, "/U:"), "");
  EXPECT_EQ(options.URLHead, "");
  EXPECT_EQ(errorsOf(options, "/D:1"), notRecognised("/D:1"));
  EXPECT_FALSE(options.ShowDate);
}

TEST(ValueOptions, DigestAlgorithmAndExcludedNames) {
  OutputOptions options;
  EXPECT_EQ(errorsOf(options, "/H:sha-256"), "");
  EXPECT_EQ(options.DigestAlgorithm, HashAlgorithm::Sha256);
  for (const char* refused : {"/H:SHA1", "/H:", "/h=sha 256"}) {
    EXPECT_EQ(errorsOf(options, refused), notRecognised(refused));
  }
  EXPECT_EQ(options.DigestAlgorithm, HashAlgorithm::Sha256);
  EXPECT_EQ(errorsOf(options, "/h=MD5"), "");
  EXPECT_EQ(options.DigestAlgorithm, HashAlgorithm::Md5);

  EXPECT_EQ(errorsOf(options, "/X:Thumbs.db; *.tmp"), "");
  EXPECT_EQ(options.ExcludeNames, "Thumbs.db; *.tmp");
  EXPECT_EQ(errorsOf(options, "/x="), "");
  EXPECT_EQ(options.ExcludeNames, "");

  // H and X take values only; I is a flag letter.
  EXPECT_EQ(errorsOf(options, "/H"), notRecognised("/H"));
  EXPECT_EQ(errorsOf(options, "/X"), notRecognised("/X"));
  EXPECT_EQ(errorsOf(options, "/MI"), "");
  EXPECT_TRUE(options.SkipHiddenFiles);
  EXPECT_EQ(errorsOf(options, "/iX"), notRecognised("/iX"));
  EXPECT_FALSE(options.SkipHiddenFiles);
  EXPECT_EQ(errorsOf(options, "/I:1"), notRecognised("/I:1"));
}

}  // namespace
