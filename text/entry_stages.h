// The per-entry operations of the preparation and line passes: each reports
// its entry on status line 2, advances the bar by 1 and polls the cancel flag
// before doing its work.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "collect/file_entry.h"
#include "text/size_format.h"
#include "text/stand_in.h"

class Job;

// Lower-cases the URL path when EnSmallURL is on, formats the size in the
// chosen unit and raises the run's two column widths. scale is empty before
// the first entry of the run and is worked out there.
void prepareEntry(FileEntry& entry, Job& job, std::optional<SizeScale>& scale);

// Aligns the entry's path and size to the run's widths (bracketed form) and
// appends its line to output, noting in standIns each "?" of its path that
// stands for a character the code page lacks. lineCapacity is 0 before the
// first entry of the run and is worked out there.
void appendEntryLine(FileEntry& entry, Job& job, std::size_t& lineCapacity, std::string& output,
                     StandIns& standIns);
