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
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "digest/file_digest.h"
#include "common/owned_handle.h"

// Starts one worker thread on routine(parameter); null when the system
// refuses one. The pass's own is startWorkerThread; a test may refuse.
using ThreadStarter = std::function<HANDLE(LPTHREAD_START_ROUTINE routine, void* parameter)>;
HANDLE startWorkerThread(LPTHREAD_START_ROUTINE routine, void* parameter);

// How long a stop waits, once the user has cancelled, for a worker that is
// still in a read before the run ends without it: with the cancel's pause,
// the run ends within about two seconds of the click however its reads fare.
// An honest worker ends within a chunk, its reader's thread within half a
// second more.
constexpr DWORD CANCEL_WAIT_MS = 800;

class SideBySide {
 public:
  // Makes a worker, with a FileDigest for the settings, for each of up to
  // `workers` files at once (no more than there are entries); start sets
  // them going.
  SideBySide(std::vector<FileEntry>& entries, const OutputOptions& options, unsigned workers,
             ThreadStarter startThread = startWorkerThread);
  // Stops the workers and waits for them (see stop): no thread and no file
  // is left, however the pass ends (a cancel unwinds through here).
  ~SideBySide();
  SideBySide(const SideBySide&) = delete;
  SideBySide& operator=(const SideBySide&) = delete;

  // Starts the workers on the entries from index on, forgetting whatever
  // was done on them before. Fewer may start when the system refuses
  // threads; false when none did and entries are left.
  bool start(std::size_t index);
  unsigned started() const { return static_cast<unsigned>(threads_.size()); }

  // True once the entry at index (the earliest not yet met) is done; when
  // it is not, first naps for the given time. The workers never wake the
  // meeting thread: for a pass over many small files that would be a
  // wake-up a file, and the nap lets it meet a whole run of them at once.
  bool waitFor(std::size_t index, DWORD milliseconds);
  // What it left to report: the message of its failure, if any. Throws
  // whatever its worker met while on it (memory running out, for one), so
  // the run ends there as it would have on its own thread.
  std::string takeReport(std::size_t index);
  // The entry is met: its place serves a later one.
  void release(std::size_t index);
  // The work done on the entry so far, in the units of the bar: 1 once it
  // is begun, and the bytes of each chunk hashed.
  std::int64_t workOf(std::size_t index) const;
  // Ends every worker within a chunk and waits for it: afterwards no
  // worker runs and no file of the run is open. A worker stuck in a read
  // (a network drive gone away) is waited for until the user cancels; if
  // it is still there CANCEL_WAIT_MS later, the process ends as a cancel
  // ends it (endCancelledProcess), the thread still inside: nothing it
  // uses may be freed while it runs, so nothing is unwound.
  void stop();

 private:
  // How far the workers may run ahead of the entry being met: the meeting
  // thread's nap must not hold them at all.
  static constexpr std::size_t WINDOW = 1024;

  // An entry's place while it is worked on and until it is met. The worker
  // writes report and error before done; the meeting thread reads them
  // after it, and clears the place before its release.
  struct Slot {
    std::atomic<bool> done{false};
    std::exception_ptr error;  // what the worker met on the entry, to be thrown when it is met
    std::string report;
    std::atomic<std::int64_t> work{0};  // written by the worker on it, read by the meeting thread
  };
  struct Worker;

  static DWORD WINAPI workerThread(LPVOID parameter);
  void work(FileDigest& digest);
  bool waitForRoom(std::size_t index);
  void finishEntry(std::size_t index, std::string report, std::exception_ptr error);
  void clearSlot(Slot& slot);

  std::vector<FileEntry>& entries_;
  const ThreadStarter startThread_;
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
