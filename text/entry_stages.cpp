#include "text/entry_stages.h"

#include "app/job.h"
#include "text/exact_path.h"
#include "text/line_assembly.h"

void prepareEntry(FileEntry& entry, Job& job, std::optional<SizeScale>& scale) {
  // The path as sorted, before lower-casing.
  job.setStatusLine2(entry.urlPath.c_str());
  job.advanceProgress(1);
  job.checkCancel();
  if (!scale) scale = makeSizeScale(job.options.ByteUnit);
  prepareEntryFields(entry, job.options, *scale);
}

void appendEntryLine(FileEntry& entry, Job& job, std::size_t& lineCapacity, std::string& output,
                     StandIns& standIns) {
  // The path before its alignment spaces.
  job.setStatusLine2(entry.urlPath.c_str());
  job.advanceProgress(1);
  job.checkCancel();
  if (lineCapacity == 0) {
    // Every entry is prepared by now, so the widths are final and the whole
    // text can be reserved once instead of growing by repeated copies.
    lineCapacity = entryLineCapacity(job.options);
    output.reserve(output.size() + entryLinesSizeBound(job.entries, job.options));
  }
  // The path goes right behind the URL head, whose own "?"s are real ones.
  if (!entry.exactPath.empty()) {
    noteStandIns(entry.urlPath, entry.exactPath.get(), output.size() + job.options.URLHead.size(),
                 standIns);
  }
  appendEntryText(entry, job.options, output);
}
