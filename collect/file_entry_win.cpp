#include <windows.h>

#include "collect/file_entry.h"

static_assert(sizeof(CalendarTime) == sizeof(SYSTEMTIME), "CalendarTime mirrors SYSTEMTIME");

namespace {

std::uint64_t ticksOf(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

// A summer file read in winter is an hour off; that is the platform's rule.
CalendarTime localCalendarTime(std::uint64_t utcTicks, std::int64_t localTimeOffset) {
  const std::uint64_t ticks = utcTicks + static_cast<std::uint64_t>(localTimeOffset);
  const FILETIME local{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME fields{};
  FileTimeToSystemTime(&local, &fields);
  return CalendarTime{fields.wYear,   fields.wMonth,  fields.wDayOfWeek, fields.wDay,
                      fields.wHour,   fields.wMinute, fields.wSecond,    fields.wMilliseconds};
}

std::int64_t currentLocalTimeOffset() {
  FILETIME utc{};
  GetSystemTimeAsFileTime(&utc);
  FILETIME local{};
  if (!FileTimeToLocalFileTime(&utc, &local)) return 0;
  return static_cast<std::int64_t>(ticksOf(local) - ticksOf(utc));
}

FileEntry::FileEntry(OutputOptions& options, const char* name, const WIN32_FIND_DATAW& found,
                     std::int64_t localTimeOffset, const std::string& urlPrefix,
                     const std::string& urlName, const std::string& localDirectory)
    : FileEntry(options, name,
                (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow,
                localCalendarTime(ticksOf(found.ftLastWriteTime), localTimeOffset), urlPrefix,
                urlName, localDirectory) {}
