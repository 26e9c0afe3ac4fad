#include <windows.h>

#include "digest/file_entry.h"

static_assert(sizeof(CalendarTime) == sizeof(SYSTEMTIME), "CalendarTime mirrors SYSTEMTIME");

namespace {
CalendarTime localTimeOf(const FILETIME& utc) {
  // The offset in effect now is applied, not the one at the file's date, so
  // a summer file read in winter is an hour off; that is the platform's rule.
  FILETIME local{};
  SYSTEMTIME fields{};
  FileTimeToLocalFileTime(&utc, &local);
  FileTimeToSystemTime(&local, &fields);
  return CalendarTime{fields.wYear,   fields.wMonth,  fields.wDayOfWeek, fields.wDay,
                      fields.wHour,   fields.wMinute, fields.wSecond,    fields.wMilliseconds};
}
}  // namespace

FileEntry::FileEntry(OutputOptions& options, const WIN32_FIND_DATAA& found,
                     const std::string& urlPrefix, const std::string& localDirectory)
    : FileEntry(options, found.cFileName,
                (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow,
                localTimeOf(found.ftLastWriteTime), urlPrefix, localDirectory) {}
