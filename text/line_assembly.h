// The output line of one entry and the header of tab-separated output, and
// the preparation of the entry fields the lines are aligned by. Platform-free:
// the per-entry stages of the pipeline report progress and then call these.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "collect/file_entry.h"
#include "settings/output_options.h"
#include "text/size_format.h"

// "URL\tサイズ" with the optional date/time and digest columns, then CR LF.
std::string tabHeaderLine(const OutputOptions& options);

// Runs after the sort: lower-cases urlPath when EnSmallURL is on, records
// urlPathLength, replaces size by its displayed count, writes sizeText and
// raises MaxUrlPathLength and MaxSizeTextLength.
void prepareEntryFields(FileEntry& entry, OutputOptions& options, const SizeScale& scale);

// The date, and the time when ShowTime is on, each with its separator in
// front; empty without ShowDate. Built without allocating.
struct DateTimeText {
  char text[32];       // zero-terminated
  std::size_t length;  // bytes before the zero
};
DateTimeText makeDateTimeText(const CalendarTime& time, const OutputOptions& options);

// Bytes of the widest line of the run; valid once every entry is prepared.
std::size_t entryLineCapacity(const OutputOptions& options);

// The most bytes all entry lines can add to the output (for any date a clock
// gives), for reserving the output once; valid once every entry is prepared.
std::size_t entryLinesSizeBound(const std::vector<FileEntry>& entries,
                                const OutputOptions& options);

// Pads the entry's urlPath and sizeText in place to the run's widths
// (bracketed form only) and appends its line, at most entryLineCapacity
// bytes, to output.
void appendEntryText(FileEntry& entry, const OutputOptions& options, std::string& output);
