// One collected file: everything the output needs about it, filled in stage
// by stage (digest, sort, preparation, line assembly).
#pragma once

#include <cstdint>
#include <string>

#include "settings/output_options.h"

// Local calendar time with the layout of the platform's SYSTEMTIME.
struct CalendarTime {
  std::uint16_t year;
  std::uint16_t month;
  std::uint16_t dayOfWeek;
  std::uint16_t day;
  std::uint16_t hour;
  std::uint16_t minute;
  std::uint16_t second;
  std::uint16_t milliseconds;
};

struct _WIN32_FIND_DATAA;  // the directory-search record, kept out of this header

struct FileEntry {
  std::string localPath;              // directory path + name as found; opened for the digest
  std::string urlPath;                // URL prefix + (encoded) name; the sort key
  std::uint32_t urlPathLength = 0;    // bytes of urlPath before alignment padding
  std::int64_t size = 0;              // bytes; the displayed count after preparation
  std::string sizeText;               // formatted count
  std::uint32_t sizeTextLength = 0;   // bytes of sizeText before alignment padding
  CalendarTime lastWriteTime{};       // local last-write time
  std::string digestText;             // empty, or separator + 32 hex digits

  FileEntry() = default;

  // Builds the entry of a file called name, in the folder localDirectory
  // (ending in a backslash), under the URL prefix urlPrefix (empty or ending
  // in "/"). Encodes the name when EncodeURL is on and adds size to TotalSize.
  FileEntry(OutputOptions& options, const char* name, std::uint64_t byteSize,
            const CalendarTime& localWriteTime, const std::string& urlPrefix,
            const std::string& localDirectory);

  // The same from a directory-search result; converts its UTC write time to
  // local time by localTimeOffset (see currentLocalTimeOffset). Windows only.
  FileEntry(OutputOptions& options, const _WIN32_FIND_DATAA& found, std::int64_t localTimeOffset,
            const std::string& urlPrefix, const std::string& localDirectory);
};

// How far local time is ahead of UTC now, in the 100 ns units of file times.
// The platform converts every file time by the offset in effect when it is
// asked, not by the one at the file's date, so one reading serves a whole
// walk instead of one system query per file. Windows only.
std::int64_t currentLocalTimeOffset();

// Gives back the memory of the entry's texts, leaving them empty.
void releaseEntryTexts(FileEntry& entry);
