#include "text/entry_stages.h"

#include "app/job.h"

void prepareEntry(FileEntry& entry, Job& job, std::optional<SizeScale>&) {
  job.setStatusLine2(entry.urlPath.c_str());
  job.advanceProgress(1);
  job.checkCancel();
}

void appendEntryLine(FileEntry& entry, Job& job, std::size_t&, std::string& output) {
  job.setStatusLine2(entry.urlPath.c_str());
  job.advanceProgress(1);
  job.checkCancel();
  output += entry.urlPath;
  output += "\r\n";
}
