// One collected file: everything the output needs about it, filled in stage
// by stage (digest, sort, preparation, line assembly).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

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

// The exact (UTF-16) path of a file that its ANSI path cannot name, as a
// "?" in it stands for a character the code page lacks; empty for every
// other file. Pointer-sized, since nearly every entry holds none.
class ExactPath {
 public:
  ExactPath() = default;
  explicit ExactPath(std::wstring path) : path_(std::make_unique<std::wstring>(std::move(path))) {}
  ExactPath(const ExactPath& other) { *this = other; }
  ExactPath& operator=(const ExactPath& other) {
    path_ = other.path_ ? std::make_unique<std::wstring>(*other.path_) : nullptr;
    return *this;
  }
  ExactPath(ExactPath&&) noexcept = default;
  ExactPath& operator=(ExactPath&&) noexcept = default;

  bool empty() const { return !path_; }
  const std::wstring& get() const { return *path_; }  // only when not empty

 private:
  std::unique_ptr<std::wstring> path_;
};

struct _WIN32_FIND_DATAW;  // the directory-search record, kept out of this header

// The exact path sits beside the local one and the two lengths side by
// side, filling what was padding: the record keeps its size, and a run over
// a million files holds a million of them.
struct FileEntry {
  std::string localPath;              // directory path + name as found; opened for the digest
  ExactPath exactPath;                // what opens the file when localPath cannot
  std::string urlPath;                // URL prefix + (encoded) name; the sort key
  std::uint32_t urlPathLength = 0;    // bytes of urlPath before alignment padding
  std::uint32_t sizeTextLength = 0;   // bytes of sizeText before alignment padding
  std::int64_t size = 0;              // bytes; the displayed count after preparation
  std::string sizeText;               // formatted count
  CalendarTime lastWriteTime{};       // local last-write time
  std::string digestText;             // empty, or separator + 32 hex digits

  FileEntry() = default;

  // Builds the entry of a file called name, in the folder localDirectory
  // (ending in a backslash), under the URL path urlPrefix (empty or ending
  // in "/") followed by urlName, the name as the URL path spells it (the
  // walk encodes it as it encodes folder names). Adds size to TotalSize.
  FileEntry(OutputOptions& options, const char* name, std::uint64_t byteSize,
            const CalendarTime& localWriteTime, const std::string& urlPrefix,
            const std::string& urlName, const std::string& localDirectory);

  // The same from a directory-search result and the ANSI form of its name;
  // converts its UTC write time to local time by localTimeOffset (see
  // currentLocalTimeOffset). Windows only.
  FileEntry(OutputOptions& options, const char* name, const _WIN32_FIND_DATAW& found,
            std::int64_t localTimeOffset, const std::string& urlPrefix,
            const std::string& urlName, const std::string& localDirectory);
};

// The local calendar time of a UTC file time (100 ns ticks since 1601),
// shifted by localTimeOffset (see currentLocalTimeOffset). Windows only.
CalendarTime localCalendarTime(std::uint64_t utcTicks, std::int64_t localTimeOffset);

// How far local time is ahead of UTC now, in the 100 ns units of file times.
// The platform converts every file time by the offset in effect when it is
// asked, not by the one at the file's date, so one reading serves a whole
// walk instead of one system query per file. Windows only.
std::int64_t currentLocalTimeOffset();

// Gives back the memory of the entry's texts, leaving them empty.
void releaseEntryTexts(FileEntry& entry);
