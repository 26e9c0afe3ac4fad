#include "text/line_assembly.h"

#include <cstdio>

#include "settings/vocabulary.h"
#include "text/url_transform.h"

namespace {

// ", " or "、" (two bytes either way) or a tab, then "yyyy/mm/dd" and
// " hh:mm:ss" for any year up to 99999.
std::size_t longestDateTimeLength(const OutputOptions& options) {
  if (!options.ShowDate) return 0;
  return 2 + 11 + (options.ShowTime ? 9 : 0);
}

}  // namespace

std::string tabHeaderLine(const OutputOptions& options) {
  std::string header = "URL\tサイズ";
  if (options.ShowDate) header += options.ShowTime ? "\t日時" : "\t日付";
  if (options.ShowMD5) {
    header += '\t';
    header += digestName(options.DigestAlgorithm);
  }
  header += "\r\n";
  return header;
}

void prepareEntryFields(FileEntry& entry, OutputOptions& options, const SizeScale& scale) {
  // After the sort on purpose: the order stays that of the paths as found.
  if (options.EnSmallURL) lowerCaseUrlPath(entry.urlPath);
  entry.urlPathLength = static_cast<std::uint32_t>(entry.urlPath.size());
  if (options.MaxUrlPathLength < entry.urlPathLength) options.MaxUrlPathLength = entry.urlPathLength;

  entry.size = displayedCount(entry.size, scale);
  char text[FORMAT_NUMBER_BUFFER_SIZE];
  formatNumber(text, options.CommeredNumber, entry.size, scale.decimals);
  entry.sizeText = text;
  entry.sizeTextLength = static_cast<std::uint32_t>(entry.sizeText.size());
  if (options.MaxSizeTextLength < entry.sizeTextLength) {
    options.MaxSizeTextLength = entry.sizeTextLength;
  }
}

DateTimeText makeDateTimeText(const CalendarTime& time, const OutputOptions& options) {
  DateTimeText result{};
  if (!options.ShowDate) return result;
  const char* separator = options.OutputTabText ? "\t" : options.UseWideChar ? "、" : ", ";
  int written = std::snprintf(result.text, sizeof result.text, "%s%04d/%02d/%02d", separator,
                              time.year, time.month, time.day);
  if (written < 0) written = 0;
  std::size_t length = static_cast<std::size_t>(written);
  if (options.ShowTime && length < sizeof result.text) {
    written = std::snprintf(result.text + length, sizeof result.text - length, " %02d:%02d:%02d",
                            time.hour, time.minute, time.second);
    if (written > 0) length += static_cast<std::size_t>(written);
  }
  // Only fields no real clock gives (a failed time conversion) can fill the
  // buffer; snprintf has cut the text, and the length follows it.
  if (length >= sizeof result.text) length = sizeof result.text - 1;
  result.length = length;
  return result;
}

// The widths, the fixed texts and 16 bytes to spare, plus the date-time and
// digest columns when they are on, so that even the widest line is built
// without growing its buffer.
std::size_t entryLineCapacity(const OutputOptions& options) {
  std::size_t capacity = std::size_t{options.MaxSizeTextLength} + options.MaxUrlPathLength +
                         options.CloseText.size() + options.ByteUnitName.size() +
                         options.OpenText.size() + options.URLHead.size() + 16;
  capacity += longestDateTimeLength(options);
  if (options.ShowMD5) capacity += LONGEST_DIGEST_TEXT_LENGTH;
  return capacity;
}

std::size_t entryLinesSizeBound(const std::vector<FileEntry>& entries,
                                const OutputOptions& options) {
  const std::size_t dateTime = longestDateTimeLength(options);
  std::size_t total = 0;
  if (options.OutputTabText) {
    for (const FileEntry& entry : entries) {
      total += options.URLHead.size() + entry.urlPath.size() + 1 + entry.sizeText.size() +
               dateTime + entry.digestText.size() + 2;
    }
    return total;
  }
  const std::size_t fixed = options.URLHead.size() + options.OpenText.size() +
                            options.MaxSizeTextLength + options.ByteUnitName.size() + dateTime +
                            options.CloseText.size();
  for (const FileEntry& entry : entries) {
    const std::size_t path = options.InsertNewLine || entry.urlPath.size() > options.MaxUrlPathLength
                                 ? entry.urlPath.size()
                                 : options.MaxUrlPathLength;
    total += fixed + path + entry.digestText.size();
  }
  return total;
}

void appendEntryText(FileEntry& entry, const OutputOptions& options, std::string& output) {
  if (!options.OutputTabText) {
    // The widths count bytes, so a double-byte character takes two columns.
    if (!options.InsertNewLine && entry.urlPathLength < options.MaxUrlPathLength) {
      entry.urlPath.append(options.MaxUrlPathLength - entry.urlPathLength, ' ');
    }
    if (entry.sizeTextLength < options.MaxSizeTextLength) {
      entry.sizeText.insert(0, options.MaxSizeTextLength - entry.sizeTextLength, ' ');
    }
  }

  const DateTimeText dateTime = makeDateTimeText(entry.lastWriteTime, options);

  // Straight into the output, whose room the caller reserved: a line of its
  // own would cost an allocation and a copy per entry.
  output += options.URLHead;
  output += entry.urlPath;
  if (options.OutputTabText) {
    output += '\t';
    output += entry.sizeText;
    output.append(dateTime.text, dateTime.length);
    output += entry.digestText;
    output += "\r\n";
  } else {
    output += options.OpenText;
    output += entry.sizeText;
    output += options.ByteUnitName;
    output.append(dateTime.text, dateTime.length);
    output += entry.digestText;
    output += options.CloseText;
  }
}
