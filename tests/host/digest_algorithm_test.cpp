#include "hash/hash_algorithm.h"

#include <gtest/gtest.h>

#include "settings/output_options.h"
#include "settings/vocabulary.h"

namespace {

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
