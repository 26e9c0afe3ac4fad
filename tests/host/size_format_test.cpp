#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "text/size_format.h"

namespace {

// Written into a heap buffer of exactly the documented size, so the address
// sanitizer sees any byte written beyond it.
std::string formatted(bool grouping, std::int64_t value, int decimals) {
  std::vector<char> buffer(FORMAT_NUMBER_BUFFER_SIZE, '#');
  formatNumber(buffer.data(), grouping, value, decimals);
  return std::string(buffer.data());
}

std::string sizeText(std::int64_t bytes, std::int32_t unit, bool grouping) {
  const SizeScale scale = makeSizeScale(unit);
  return formatted(grouping, displayedCount(bytes, scale), scale.decimals);
}

TEST(SizeScale, DoubleDivisors) {
  const SizeScale bytes = makeSizeScale(0);
  EXPECT_EQ(bytes.unitDivisor, 1);
  EXPECT_EQ(bytes.decimals, 0);
  const SizeScale k = makeSizeScale(1);
  EXPECT_EQ(k.unitDivisor, 1024);
  EXPECT_EQ(k.decimals, 2);
  // A hair above 10.24 and 5.12: the displayed sizes depend on exactly these.
  EXPECT_EQ(k.hundredthsDivisor, 10.240000000000002);
  EXPECT_EQ(k.halfHundredths, 5.120000000000001);
  EXPECT_EQ(makeSizeScale(5).unitDivisor, std::int64_t{1} << 50);
  // Outside 0-5: whole bytes.
  EXPECT_EQ(makeSizeScale(6).unitDivisor, 1);
  EXPECT_EQ(makeSizeScale(-1).decimals, 0);
}

struct SizeRow {
  std::int64_t bytes;
  const char* texts[4];  // ByteUnit 0 to 3, grouped
};

// Grouping only adds the commas: the ungrouped text is the same without them.
TEST(SizeText, TableWithAndWithoutGrouping) {
  const SizeRow rows[] = {
      {0, {"0", "0.00", "0.00", "0.00"}},
      {1, {"1", "0.01", "0.01", "0.01"}},
      {128, {"128", "0.12", "0.01", "0.01"}},
      {999, {"999", "0.98", "0.01", "0.01"}},
      {1000, {"1,000", "0.98", "0.01", "0.01"}},
      {1023, {"1,023", "1.00", "0.01", "0.01"}},
      {1024, {"1,024", "1.00", "0.01", "0.01"}},
      {1536, {"1,536", "1.50", "0.01", "0.01"}},
      {1000000, {"1,000,000", "976.56", "0.95", "0.01"}},
      {1 << 20, {"1,048,576", "1,024.00", "1.00", "0.01"}},
      {1000000000, {"1,000,000,000", "976,562.50", "953.67", "0.93"}},
      {std::int64_t{1} << 32, {"4,294,967,296", "4,194,304.00", "4,096.00", "4.00"}},
  };
  for (const SizeRow& row : rows) {
    for (std::int32_t unit = 0; unit < 4; ++unit) {
      std::string ungrouped = row.texts[unit];
      ungrouped.erase(std::remove(ungrouped.begin(), ungrouped.end(), ','), ungrouped.end());
      EXPECT_EQ(sizeText(row.bytes, unit, true), row.texts[unit]) << row.bytes << " unit " << unit;
      EXPECT_EQ(sizeText(row.bytes, unit, false), ungrouped) << row.bytes << " unit " << unit;
    }
  }
}

TEST(SizeText, LargeUnitsAndLargeFiles) {
  EXPECT_EQ(sizeText(std::int64_t{1} << 40, 4, true), "1.00");
  EXPECT_EQ(sizeText(std::int64_t{1} << 50, 5, true), "1.00");
  EXPECT_EQ(sizeText(1, 5, true), "0.01");  // never zero for a file with data
  EXPECT_EQ(sizeText(0, 5, true), "0.00");
  EXPECT_EQ(sizeText(std::numeric_limits<std::int64_t>::max(), 0, true),
            "9,223,372,036,854,775,807");
  EXPECT_EQ(sizeText(std::numeric_limits<std::int64_t>::max(), 5, true), "8,192.00");
}

TEST(FormatNumber, SignsDecimalsAndGrouping) {
  EXPECT_EQ(formatted(true, -1234, 0), "-1,234");
  EXPECT_EQ(formatted(true, 5, 2), "0.05");
  EXPECT_EQ(formatted(true, 0, 2), "0.00");
  EXPECT_EQ(formatted(true, 0, 0), "0");
  EXPECT_EQ(formatted(true, -5, 2), "-0.05");
  EXPECT_EQ(formatted(true, 123456789, 2), "1,234,567.89");
  EXPECT_EQ(formatted(true, 100000, 0), "100,000");
  EXPECT_EQ(formatted(true, -999, 0), "-999");
  EXPECT_EQ(formatted(false, -123456789, 2), "-1234567.89");
  EXPECT_EQ(formatted(true, 1234, -3), "1,234");  // negative decimals: none
  EXPECT_EQ(formatted(true, std::numeric_limits<std::int64_t>::min(), 0),
            "-9,223,372,036,854,775,808");
  EXPECT_EQ(formatted(true, std::numeric_limits<std::int64_t>::min(), 2),
            "-92,233,720,368,547,758.08");
}

TEST(FormatNumber, DecimalsBeyondTheBufferAreCapped) {
  const std::string text = formatted(true, std::numeric_limits<std::int64_t>::min(), 1000);
  EXPECT_EQ(text, "-0.0000000009223372036854775808");
  EXPECT_EQ(text.size(), FORMAT_NUMBER_BUFFER_SIZE - 1);
  EXPECT_EQ(formatted(false, 7, FORMAT_NUMBER_MAX_DECIMALS),
            "0.0000000000000000000000000007");
}

}  // namespace
