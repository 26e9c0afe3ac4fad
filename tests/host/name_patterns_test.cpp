#include "collect/name_patterns.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hash/hash_algorithm.h"
#include "settings/output_options.h"

namespace {

using Patterns = std::vector<std::string>;

TEST(NamePatterns, ListSplitsAtSemicolonsKeepingBlanks) {
  EXPECT_EQ(splitNamePatterns(""), Patterns{});
  EXPECT_EQ(splitNamePatterns(";;"), Patterns{});
  EXPECT_EQ(splitNamePatterns("Thumbs.db;desktop.ini;*.tmp"),
            (Patterns{"Thumbs.db", "desktop.ini", "*.tmp"}));
  EXPECT_EQ(splitNamePatterns(" a b ;;c;"), (Patterns{" a b ", "c"}));
  // "表" is 95 5C and "ソ" 83 5C: a trail byte is never taken for a separator.
  EXPECT_EQ(splitNamePatterns("\x95\x5C*;\x83\x5C"), (Patterns{"\x95\x5C*", "\x83\x5C"}));
}

TEST(NamePatterns, StarAndQuestionMarkOverUtf16Units) {
  const struct {
    std::u16string pattern;
    std::u16string name;
    bool matches;
  } cases[] = {
      {u"THUMBS.DB", u"THUMBS.DB", true},
      {u"THUMBS.DB", u"THUMBS.DBX", false},
      {u"*.TMP", u".TMP", true},
      {u"*.TMP", u"A.TMP.TXT", false},
      {u"*.TMP", u"A.B.TMP", true},
      {u"*", u"", true},
      {u"", u"", true},
      {u"", u"A", false},
      {u"?", u"", false},
      {u"A?C", u"ABC", true},
      {u"A?C", u"AC", false},
      {u"*A*B*C", u"XAYBZAC", true},
      {u"*A*B*C", u"XAYBZACD", false},
      {u"**", u"ANY", true},
      {u" A", u"A", false},  // a blank is part of the pattern
      {u"表*", u"表.CSV", true},
      // An emoji is two units: "??" matches it, "?" does not.
      {u"??.TXT", u"\U0001F600.TXT", true},
      {u"?.TXT", u"\U0001F600.TXT", false},
      {u"?.TXT", u"한.TXT", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(matchesNamePattern(c.pattern.data(), c.pattern.size(), c.name.data(), c.name.size()),
              c.matches)
        << std::string(c.pattern.begin(), c.pattern.end());
  }
}

// The digest names and separators of every output form.
TEST(DigestAlgorithm, TextsOfEveryForm) {
  const struct {
    HashAlgorithm algorithm;
    bool tab;
    bool wide;
    const char* separator;
  } cases[] = {
      {HashAlgorithm::Md5, false, false, ", MD5: "},
      {HashAlgorithm::Md5, false, true, "、MD5： "},
      {HashAlgorithm::Md5, true, true, "\t"},
      {HashAlgorithm::Sha256, false, false, ", SHA-256: "},
      {HashAlgorithm::Sha256, false, true, "、SHA-256： "},
      {HashAlgorithm::Sha256, true, false, "\t"},
  };
  for (const auto& c : cases) {
    OutputOptions options;
    options.DigestAlgorithm = c.algorithm;
    options.OutputTabText = c.tab;
    options.UseWideChar = c.wide;
    EXPECT_EQ(digestSeparator(options), c.separator);
    EXPECT_LE(digestSeparator(options).size() + (c.algorithm == HashAlgorithm::Md5 ? 32 : 64),
              LONGEST_DIGEST_TEXT_LENGTH);
  }
  EXPECT_STREQ(digestStageText(HashAlgorithm::Md5), "ファイルの MD5 値の取得中");
  EXPECT_STREQ(digestStageText(HashAlgorithm::Sha256), "ファイルの SHA-256 値の取得中");

  char hex[DIGEST_HEX_BUFFER_SIZE];
  for (const HashAlgorithm algorithm : {HashAlgorithm::Md5, HashAlgorithm::Sha256}) {
    const auto engine = makeDigestEngine(algorithm);
    engine->update("ab", 2);
    engine->init();
    engine->update("abc", 3);
    EXPECT_STREQ(engine->hexDigest(hex),
                 algorithm == HashAlgorithm::Md5
                     ? "900150983cd24fb0d6963f7d28e17f72"
                     : "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  }
}

}  // namespace
