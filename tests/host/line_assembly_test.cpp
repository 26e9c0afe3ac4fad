#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collect/file_entry.h"
#include "settings/vocabulary.h"
#include "text/line_assembly.h"
#include "text/size_format.h"

namespace {

CalendarTime at(int year, int month, int day, int hour, int minute, int second) {
  CalendarTime time{};
  time.year = static_cast<std::uint16_t>(year);
  time.month = static_cast<std::uint16_t>(month);
  time.day = static_cast<std::uint16_t>(day);
  time.hour = static_cast<std::uint16_t>(hour);
  time.minute = static_cast<std::uint16_t>(minute);
  time.second = static_cast<std::uint16_t>(second);
  return time;
}

struct RawFile {
  const char* prefix;
  const char* name;
  std::uint64_t bytes;
  CalendarTime written;
};

// The preparation and line passes as the pipeline runs them, without the
// reporting: vocabulary, then every entry prepared, then every line built.
// Each line is checked against the capacity of the run and the whole text
// against the bound it is reserved with, so that neither grows its buffer.
std::string outputOf(OutputOptions& options, const std::vector<RawFile>& files,
                     std::vector<FileEntry>* keep = nullptr, const std::string& digest = "") {
  buildOutputVocabulary(options);
  std::vector<FileEntry> entries;
  for (const RawFile& file : files) {
    entries.emplace_back(options, file.name, file.bytes, file.written, file.prefix, file.name,
                         "C:\\d\\");
    entries.back().digestText = digest;
  }
  const SizeScale scale = makeSizeScale(options.ByteUnit);
  for (FileEntry& entry : entries) prepareEntryFields(entry, options, scale);
  const std::size_t capacity = entryLineCapacity(options);
  const std::size_t bound = entryLinesSizeBound(entries, options);
  std::string output = options.OutputTabText ? tabHeaderLine(options) : std::string();
  const std::size_t headerSize = output.size();
  for (FileEntry& entry : entries) {
    const std::size_t before = output.size();
    appendEntryText(entry, options, output);
    EXPECT_LE(output.size() - before, capacity) << "line outgrew its buffer";
  }
  EXPECT_LE(output.size() - headerSize, bound) << "output outgrew its reservation";
  if (keep != nullptr) *keep = entries;
  return output;
}

const std::vector<RawFile> WORKED_EXAMPLE = {
    {"", "a.txt", 1234, at(2011, 5, 1, 12, 34, 56)},
    {"sub/", "bb.txt", 5, at(2011, 5, 2, 8, 0, 0)},
};

OutputOptions workedExampleOptions() {
  OutputOptions options;
  options.URLHead = "";
  options.CommeredNumber = true;
  options.ShowDate = true;
  options.ShowTime = true;
  options.EncodeURL = false;
  return options;
}

TEST(LineAssembly, WorkedExampleBracketed) {
  OutputOptions options = workedExampleOptions();
  std::vector<FileEntry> entries;
  const std::string output = outputOf(options, WORKED_EXAMPLE, &entries);
  EXPECT_EQ(options.MaxUrlPathLength, 10u);
  EXPECT_EQ(options.MaxSizeTextLength, 5u);
  EXPECT_EQ(output,
            "a.txt     " " (" "1,234" " bytes" ", 2011/05/01 12:34:56" ")\r\n"
            "sub/bb.txt" " (" "    5" " bytes" ", 2011/05/02 08:00:00" ")\r\n");
  // The padding is made in the entries themselves; the lengths stay unpadded.
  EXPECT_EQ(entries[0].urlPath, "a.txt     ");
  EXPECT_EQ(entries[0].urlPathLength, 5u);
  EXPECT_EQ(entries[1].sizeText, "    5");
  EXPECT_EQ(entries[1].sizeTextLength, 1u);
  EXPECT_EQ(entries[0].size, 1234);
}

TEST(LineAssembly, WorkedExampleInsertNewLine) {
  OutputOptions options = workedExampleOptions();
  options.InsertNewLine = true;
  EXPECT_EQ(outputOf(options, WORKED_EXAMPLE),
            "a.txt" "\r\n(" "1,234" " bytes" ", 2011/05/01 12:34:56" ")\r\n\r\n"
            "sub/bb.txt" "\r\n(" "    5" " bytes" ", 2011/05/02 08:00:00" ")\r\n\r\n");
}

TEST(LineAssembly, WideCharactersUnitWordAndDigestSlot) {
  OutputOptions options = workedExampleOptions();
  options.UseWideChar = true;
  options.ShowTime = false;
  options.ShowMD5 = true;
  options.ByteUnit = 1;
  options.URLHead = "http://h";
  const std::string digest = "、MD5： 0123456789abcdef0123456789abcdef";
  EXPECT_EQ(outputOf(options, {{"", "x.bin", 1536, at(999, 12, 31, 0, 0, 0)}}, nullptr, digest),
            "http://h/x.bin （1.50 KB、0999/12/31" + digest + "）\r\n");
}

TEST(LineAssembly, TabForm) {
  OutputOptions options = workedExampleOptions();
  options.OutputTabText = true;
  options.UseWideChar = true;  // changes nothing in tab lines
  options.ByteUnit = 2;        // forced to whole bytes
  options.URLHead = "http://h/";
  EXPECT_EQ(outputOf(options, WORKED_EXAMPLE),
            "URL\tサイズ\t日時\r\n"
            "http://h/a.txt\t1,234\t2011/05/01 12:34:56\r\n"
            "http://h/sub/bb.txt\t5\t2011/05/02 08:00:00\r\n");

  OutputOptions plain;
  plain.OutputTabText = true;
  plain.CommeredNumber = false;
  plain.URLHead = "";
  plain.ShowTime = true;  // without ShowDate: no column at all
  EXPECT_EQ(outputOf(plain, WORKED_EXAMPLE), "URL\tサイズ\r\na.txt\t1234\r\nsub/bb.txt\t5\r\n");
}

TEST(LineAssembly, DoubleByteNamesAlignByBytes) {
  OutputOptions options;
  options.EncodeURL = false;
  options.URLHead = "";
  // "ア" is two bytes, so "ア.txt" is as wide as "ab.txt".
  const std::vector<RawFile> files = {
      {"", "\x83\x41.txt", 10, {}}, {"", "ab.txt", 2048, {}}, {"", "a.txt", 0, {}}};
  EXPECT_EQ(outputOf(options, files),
            "\x83\x41.txt (   10 bytes)\r\n"
            "ab.txt (2,048 bytes)\r\n"
            "a.txt  (    0 bytes)\r\n");
}

TEST(LineAssembly, BuffersHoldTheWidestLines) {
  const std::vector<RawFile> files = {
      {"folder/", "a", 9223372036854775807ull, at(30827, 12, 31, 23, 59, 59)},
      {"folder/", "long name with blanks.txt", 1, at(30827, 12, 31, 23, 59, 59)}};
  for (int form = 0; form < 3; ++form) {
    OutputOptions options;
    options.ShowDate = options.ShowTime = options.ShowMD5 = options.UseWideChar = true;
    options.InsertNewLine = form == 1;
    options.OutputTabText = form == 2;
    options.ByteUnitName = "ファイル容量";
    outputOf(options, files, nullptr, "、MD5： " + std::string(32, 'f'));
  }
}

// Fields no clock gives (a failed time conversion) are cut at the buffer.
TEST(DateTimeText, OutOfRangeFieldsStayInTheBuffer) {
  OutputOptions options;
  options.ShowDate = options.ShowTime = true;
  const DateTimeText text = makeDateTimeText(at(65535, 65535, 65535, 65535, 65535, 65535), options);
  EXPECT_EQ(text.length, sizeof text.text - 1);
  EXPECT_EQ(std::string(text.text), std::string(", 65535/65535/65535 65535:65535:65535", 31));
}

TEST(TabHeader, AllFlagCombinations) {
  struct Row {
    bool date, time, md5;
    const char* header;
  };
  const Row rows[] = {
      {false, false, false, "URL\tサイズ\r\n"},        {false, true, false, "URL\tサイズ\r\n"},
      {false, false, true, "URL\tサイズ\tMD5\r\n"},    {false, true, true, "URL\tサイズ\tMD5\r\n"},
      {true, false, false, "URL\tサイズ\t日付\r\n"},   {true, false, true, "URL\tサイズ\t日付\tMD5\r\n"},
      {true, true, false, "URL\tサイズ\t日時\r\n"},    {true, true, true, "URL\tサイズ\t日時\tMD5\r\n"},
  };
  for (const Row& row : rows) {
    OutputOptions options;
    options.OutputTabText = true;
    options.InsertNewLine = true;  // neither changes the header
    options.UseWideChar = true;
    options.ShowDate = row.date;
    options.ShowTime = row.time;
    options.ShowMD5 = row.md5;
    EXPECT_EQ(tabHeaderLine(options), row.header) << row.date << row.time << row.md5;
  }
  // The Shift_JIS bytes of "サイズ".
  EXPECT_EQ(tabHeaderLine(OutputOptions{}), "URL\t\x83\x54\x83\x43\x83\x59\r\n");
}

}  // namespace
