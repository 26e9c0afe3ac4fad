#include "digest/digest_pass.h"

#include "app/cancel.h"
#include "app/job.h"
#include "common/app_name.h"
#include "digest/worker_count.h"
#include "digest/workers.h"
#include "text/exact_path.h"
#include "text/url_transform.h"

namespace {

// How long the run's thread sleeps while the entry being reported is not
// done, before it looks again, moves the bar by the progress made
// meanwhile and looks at the cancel flag.
constexpr DWORD REPORT_PERIOD_MS = 10;

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

DigestPass::DigestPass(Job& job, unsigned workerCount, ThreadStarter startThread)
    : job_(job),
      workerCount_(workerCount),
      startThread_(std::move(startThread)),
      digest_(job.options, false) {}

void DigestPass::digestAll(std::vector<FileEntry>& entries) {
  if (!entries.empty()) digestWithWorkers(entries);
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

void DigestPass::pollCancel(Workers& workers) {
  if (!cancelFlag.load()) return;
  // The workers have stopped at their chunks, and every file is closed,
  // before the pause and the end of the run.
  workers.stop();
  job_.checkCancel();
}

void DigestPass::digestWithWorkers(std::vector<FileEntry>& entries) {
  Workers workers(entries, job_.options, workerCount_, startThread_);
  // No thread to be had: one file at a time, as on a single processor.
  if (!workers.start(0)) return digestFrom(entries, 0);
  for (std::size_t index = 0; index < entries.size(); ++index) {
    showEntry(entries[index]);
    // The bar moves with the entry being reported, as with one file at a
    // time; the progress on later ones counts when they are reported.
    std::int64_t counted = 0;
    const auto advance = [&] {
      const std::int64_t progress = workers.progressOf(index);
      job_.advanceProgress(progress - counted);
      counted = progress;
    };
    while (!workers.waitUntilDone(index, REPORT_PERIOD_MS)) {
      advance();
      pollCancel(workers);
    }
    advance();
    const std::string report = workers.takeReport(index);
    if (report.empty()) {
      workers.markReported(index);
      pollCancel(workers);
      continue;
    }
    // Nothing of the run is open or read while the box waits, so a later
    // file the user locks, replaces or lets go meanwhile is read as one file
    // at a time would read it: what was done after this entry is done again.
    workers.stop();
    MessageBoxA(nullptr, report.c_str(), APP_NAME, MB_ICONERROR);
    job_.checkCancel();
    if (!workers.start(index + 1)) return digestFrom(entries, index + 1);
  }
}
