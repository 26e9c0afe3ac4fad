#include "digest/digest_entry.h"

#include "app/job.h"

void digestEntry(FileEntry& entry, Job& job) {
  job.setStatusLine2(entry.urlPath.c_str());
  job.advanceProgress(1);
  job.checkCancel();
}
