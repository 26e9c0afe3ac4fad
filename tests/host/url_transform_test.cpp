#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "text/url_transform.h"

namespace {

std::string encoded(std::string text) {
  urlEncode(text);
  return text;
}

std::string decoded(std::string text) {
  urlDecode(text);
  return text;
}

std::string lowered(std::string text) {
  lowerCaseUrlPath(text);
  return text;
}

TEST(UrlEncode, Examples) {
  EXPECT_EQ(encoded("a b.txt"), "a+b.txt");
  EXPECT_EQ(encoded("100%"), "100%25");
  EXPECT_EQ(encoded("\x83\x41.txt"), "%83%41.txt");  // the trail byte 0x41 is not "A"
  EXPECT_EQ(encoded("My_(1)!.txt~"), "My_(1)!.txt~");
  EXPECT_EQ(encoded("'*-.AZaz09"), "'*-.AZaz09");
  EXPECT_EQ(encoded("a/b\\c+d"), "a%2fb%5cc%2bd");
  EXPECT_EQ(encoded(""), "");
  EXPECT_EQ(encoded("%41"), "%2541");  // not idempotent
}

TEST(UrlEncode, ShiftJisPairsAndLoneLeadBytes) {
  // 0x5C and 0x7C trail bytes go with their lead byte.
  EXPECT_EQ(encoded("\x95\x5C.txt"), "%95%5c.txt");
  EXPECT_EQ(encoded("\x83\x7C"), "%83%7c");
  // A lead byte at the end, or before a byte that cannot be a trail byte,
  // stands alone; what follows is encoded on its own.
  EXPECT_EQ(encoded("a\x81"), "a%81");
  EXPECT_EQ(encoded("\x81 x"), "%81+x");
  EXPECT_EQ(encoded("\x81\x7F" "A"), "%81%7fA");
  // A byte from 0x80 up that is no lead byte (half-width katakana).
  EXPECT_EQ(encoded("\xB1" "A"), "%b1A");
  EXPECT_EQ(encoded(std::string("a\0b", 3)), "a%00b");
}

// The UTF-8 form against escapes written out by hand from the characters'
// code points; surrogates that are not a pair are spelled unit by unit.
TEST(UrlEncodeUtf8, NamesAsTheFileSystemSpellsThem) {
  const struct {
    std::u16string name;
    const char* url;
  } rows[] = {
      {u"日本 語+.txt", "%E6%97%A5%E6%9C%AC%20%E8%AA%9E%2B.txt"},
      {u"한국.txt", "%ED%95%9C%EA%B5%AD.txt"},
      {u"café.txt", "caf%C3%A9.txt"},
      {u"cafe\u0301.txt", "cafe%CC%81.txt"},  // decomposed, as stored
      {u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!'()*-._~",
       "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!'()*-._~"},
      {u" +", "%20%2B"},
      {u"a/b\\c%?#", "a%2Fb%5Cc%25%3F%23"},
      {u"😀", "%F0%9F%98%80"},
      {{0xD83D, u'x'}, "%ED%A0%BDx"},  // an emoji's first half alone
      {{0xDE00, 0xD83D}, "%ED%B8%80%ED%A0%BD"},  // its halves the wrong way round
      {u"", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(urlEncodeUtf8(row.name.data(), row.name.size()), row.url) << row.url;
  }
}

TEST(UrlDecode, Examples) {
  EXPECT_EQ(decoded("%83%41.txt"), "\x83\x41.txt");
  EXPECT_EQ(decoded("a+b.txt"), "a b.txt");
  EXPECT_EQ(decoded("%2B"), "+");
  EXPECT_EQ(decoded("%2b"), "+");
  EXPECT_EQ(decoded("plain.txt"), "plain.txt");
  EXPECT_EQ(decoded(""), "");
  // Non-digits in a digit position count as 0.
  EXPECT_EQ(decoded("%g1x"), "\x01x");
  EXPECT_EQ(decoded("%zz"), std::string("\0", 1));
}

TEST(UrlDecode, EscapeCutShortByTheEnd) {
  EXPECT_EQ(decoded("x%4"), "x@");
  EXPECT_EQ(decoded("x%"), std::string("x\0", 2));
  EXPECT_EQ(decoded("%"), std::string("\0", 1));
}

// A tiny fixed-seed generator: the same bytes on every run and platform.
std::uint32_t nextRandom(std::uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

bool onlyUrlSafeBytes(const std::string& text) {
  for (const char c : text) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    std::string("!'()*-._~+%").find(c) != std::string::npos;
    if (!ok) return false;
  }
  return true;
}

TEST(UrlTransforms, RoundTripOverArbitraryBytes) {
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(decoded(encoded(one)), one) << b;
  }
  for (int lead = 0x80; lead < 0x100; ++lead) {
    for (int trail = 0; trail < 256; ++trail) {
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail), 'A'};
      const std::string url = encoded(pair);
      ASSERT_TRUE(onlyUrlSafeBytes(url)) << url;
      ASSERT_EQ(decoded(url), pair) << lead << " " << trail;
    }
  }
  std::uint32_t state = 12345;
  for (int round = 0; round < 2000; ++round) {
    std::string text(nextRandom(state) % 48, '\0');
    for (char& c : text) c = static_cast<char>(nextRandom(state) & 0xFF);
    const std::string url = encoded(text);
    ASSERT_TRUE(onlyUrlSafeBytes(url));
    ASSERT_EQ(decoded(url), text);
  }
}

TEST(LowerCaseUrlPath, Examples) {
  EXPECT_EQ(lowered("Dir/\x83\x41.TXT"), "dir/\x83\x41.txt");
  EXPECT_EQ(lowered("%83%41.TXT"), "%83%41.txt");
  EXPECT_EQ(lowered("ABCXYZ@[`{"), "abcxyz@[`{");
  // Full-width "A" (0x82 0x60) and a katakana whose trail byte is "Z" stay.
  EXPECT_EQ(lowered("\x82\x60\x83\x5A" "B"), "\x82\x60\x83\x5A" "b");
  // A lead byte with no valid trail byte is single; the next letter lowers.
  EXPECT_EQ(lowered("\x81 B\x81"), "\x81 b\x81");
  EXPECT_EQ(lowered("\xC1" "A"), "\xC1" "a");
  EXPECT_EQ(lowered(""), "");
}

}  // namespace
