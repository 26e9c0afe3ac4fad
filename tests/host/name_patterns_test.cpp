#include "collect/name_patterns.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
