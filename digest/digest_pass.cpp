#include "digest/digest_pass.h"

#include "app/cancel.h"
#include "app/job.h"
#include "common/app_name.h"
#include "digest/worker_count.h"
#include "digest/workers.h"
#include "text/exact_path.h"
#include "text/url_transform.h"

namespace {

// How long the thread that meets the entries naps when the earliest one is
// not done, before it looks again, moves the bar by what was done
// meanwhile and looks at the cancel flag.
constexpr DWORD MEETING_PERIOD_MS = 10;

unsigned workersFor(const Job& job) {
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const unsigned processors = system.dwNumberOfProcessors;
  // One file at a time either way: the disks need not be asked.
  if (job.options.DigestThreads == 1 || processors <= 1) return 1;
  // The walk asked every volume it reached, through junctions and mount
  // points too.
  return digestWorkerCount(job.options.DigestThreads, processors,
                           job.volumeFindings.seekPenalty);
}

}  // namespace

DigestPass::DigestPass(Job& job) : DigestPass(job, workersFor(job)) {}

DigestPass::DigestPass(Job& job, unsigned workers, ThreadStarter startThread)
    : job_(job),
      workers_(workers),
      startThread_(std::move(startThread)),
      digest_(job.options, false) {}

void DigestPass::digestAll(std::vector<FileEntry>& entries) {
  if (!entries.empty()) digestSideBySide(entries);
}

void DigestPass::digestFrom(std::vector<FileEntry>& entries, std::size_t index) {
  for (; index < entries.size(); ++index) digestEntry(entries[index]);
}

void DigestPass::showEntry(const FileEntry& entry) {
  // The user sees the name in plain characters, not in percent escapes. The
  // forms can be mixed on one command line, so each path's own escapes say
  // whether they decode to UTF-8, which is shown as the code page reads it.
  shownPath_ = entry.urlPath;
  if (job_.options.EncodeURL) {
    const bool utf8 = hasUtf8FormEscape(shownPath_);
    urlDecode(shownPath_);
    if (utf8) shownPath_ = ansiFormOfUtf8(shownPath_);
  }
  job_.setStatusLine2(shownPath_.c_str());
}

void DigestPass::digestEntry(FileEntry& entry) {
  showEntry(entry);
  job_.advanceProgress(1);
  job_.checkCancel();
  digest_.digest(entry, [this](std::uint32_t length) {
    job_.advanceProgress(length);
    // A cancel unwinds through the reader's destructor, which ends its thread.
    job_.checkCancel();
    return true;
  });
}

void DigestPass::pollCancel(SideBySide& lanes) {
  if (!cancelFlag.load()) return;
  // The workers have stopped at their chunks, and every file is closed,
  // before the pause and the end of the run.
  lanes.stop();
  job_.checkCancel();
}

void DigestPass::digestSideBySide(std::vector<FileEntry>& entries) {
  SideBySide lanes(entries, job_.options, workers_, startThread_);
  // No thread to be had: one file at a time, as on a single processor.
  if (!lanes.start(0)) return digestFrom(entries, 0);
  for (std::size_t index = 0; index < entries.size(); ++index) {
    showEntry(entries[index]);
    // The bar moves with the earliest entry not yet met, as with one file
    // at a time; what was done on later ones counts when they are met.
    std::int64_t counted = 0;
    const auto advance = [&] {
      const std::int64_t work = lanes.workOf(index);
      job_.advanceProgress(work - counted);
      counted = work;
    };
    while (!lanes.waitFor(index, MEETING_PERIOD_MS)) {
      advance();
      pollCancel(lanes);
    }
    advance();
    const std::string report = lanes.takeReport(index);
    if (report.empty()) {
      lanes.release(index);
      pollCancel(lanes);
      continue;
    }
    // Nothing of the run is open or read while the box waits, so a later
    // file the user locks, replaces or lets go meanwhile is met as one file
    // at a time would meet it: what was done after this entry is done again.
    lanes.stop();
    MessageBoxA(nullptr, report.c_str(), APP_NAME, MB_ICONERROR);
    job_.checkCancel();
    if (!lanes.start(index + 1)) return digestFrom(entries, index + 1);
  }
}
