// Files digested side by side: worker threads take the entries in walk
// order, each with a FileDigest of its own, and digest them at once, while
// the thread that made them (the run's worker) meets the entries in walk
// order as they are done and reports them: status, progress, boxes. Only
// that thread touches the Job. As in a parallel compressor whose writer
// takes the blocks by number, the order of everything the user sees is the
// order of one file at a time.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "digest/file_digest.h"
#include "digest/owned_handle.h"

class SideBySide {
 public:
  // Starts up to `workers` threads over the entries (each made with a
  // FileDigest for the settings). Fewer may start when the system refuses
  // threads; started() tells how many.
  SideBySide(std::vector<FileEntry>& entries, const OutputOptions& options, unsigned workers);
  // Stops the workers and waits for them: no thread and no file is left,
  // however the pass ends (a cancel unwinds through here).
  ~SideBySide();
  SideBySide(const SideBySide&) = delete;
  SideBySide& operator=(const SideBySide&) = delete;

  unsigned started() const { return static_cast<unsigned>(threads_.size()); }

  // True once the entry at index (the earliest not yet met) is done; when
  // it is not, first naps for the given time. The workers never wake the
  // meeting thread: for a pass over many small files that would be a
  // wake-up a file, and the nap lets it meet a whole run of them at once.
  bool waitFor(std::size_t index, DWORD milliseconds);
  // What it left to report: the message of its failure, if any. Throws
  // std::bad_alloc when its worker ran out of memory on it.
  std::string takeReport(std::size_t index);
  // The entry is met: its place serves a later one.
  void release(std::size_t index);
  // The work done on the entry so far, in the units of the bar: 1 once it
  // is begun, and the bytes of each chunk hashed.
  std::int64_t workOf(std::size_t index) const;
  // Instead of release, for an entry whose box was shown: forgets
  // everything done after it and does it again, so what the user did while
  // the box was up (a file locked, deleted or let go) is met as one file at
  // a time would meet it.
  void redoAfter(std::size_t index);
  // Ends every worker within a chunk and waits for it.
  void stop();

 private:
  // How far the workers may run ahead of the entry being met: a box the
  // user has not answered holds them there, and so does the meeting
  // thread's nap, which must not hold them at all.
  static constexpr std::size_t WINDOW = 1024;

  // An entry's place while it is worked on and until it is met. The worker
  // writes report and outOfMemory before done; the meeting thread reads
  // them after it, and clears the place before its release.
  struct Slot {
    std::atomic<bool> done{false};
    bool outOfMemory = false;
    std::string report;
    std::atomic<std::int64_t> work{0};  // written by the worker on it, read by the meeting thread
  };
  struct Worker;

  // Starts the workers on the entries from index on.
  void start(std::size_t index);
  static DWORD WINAPI workerThread(LPVOID parameter);
  void work(FileDigest& digest);
  bool waitForRoom(std::size_t index);
  void finishEntry(std::size_t index, std::string report, bool outOfMemory);

  std::vector<FileEntry>& entries_;
  std::vector<std::unique_ptr<Worker>> workers_;
  std::vector<OwnedHandle> threads_;
  std::atomic<std::size_t> next_{0};       // the next entry a worker takes
  std::atomic<bool> stopping_{false};
  Slot slots_[WINDOW];
  std::atomic<std::size_t> released_{0};   // entries met; workers take only those below it + WINDOW
  std::atomic<unsigned> waitingForRoom_{0};  // workers held by the window
  SRWLOCK lock_ = SRWLOCK_INIT;            // for the sleeps below
  CONDITION_VARIABLE nap_ = CONDITION_VARIABLE_INIT;       // the meeting thread's, never woken
  CONDITION_VARIABLE roomMade_ = CONDITION_VARIABLE_INIT;  // a worker held by the window
};
