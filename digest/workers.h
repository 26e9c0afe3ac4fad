// The workers of a digest pass: threads that take the entries in walk
// order, each with a FileDigest of its own, and digest them at once, while
// the run's thread, which made them, reports the entries in walk order as
// they are done: status, progress, boxes. Only that thread touches the Job.
// As in a parallel compressor whose writer takes the blocks by number, the
// order of everything the user sees is the order of one file at a time.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/owned_handle.h"
#include "digest/file_digest.h"

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

class Workers {
 public:
  // Makes a worker, with a FileDigest for the settings, for each of up to
  // `count` files at once (no more than there are entries); start sets
  // them going.
  Workers(std::vector<FileEntry>& entries, const OutputOptions& options, unsigned count,
          ThreadStarter startThread = startWorkerThread);
  // Stops the workers and waits for them (see stop): no thread and no file
  // is left, however the pass ends (a cancel unwinds through here).
  ~Workers();
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  // Starts the workers on the entries from index on, forgetting whatever
  // was done on them before. Fewer may start when the system refuses
  // threads; false when none did and entries are left.
  bool start(std::size_t index);
  unsigned started() const { return static_cast<unsigned>(threads_.size()); }

  // True once the entry being reported (the earliest not yet reported) is
  // done; when it is not, first sleeps for the given time. The workers
  // never wake the run's thread: for a pass over many small files that
  // would be a wake-up a file, and the sleep lets it report a whole run of
  // them at once.
  bool waitUntilDone(std::size_t index, DWORD milliseconds);
  // What the entry left to report: the message of its failure, if any.
  // Throws whatever its worker threw while on it (memory running out, for
  // one), so the run ends there as it would have on its own thread.
  std::string takeReport(std::size_t index);
  // The entry is reported: its slot serves a later one.
  void markReported(std::size_t index);
  // The progress made on the entry so far, in the units of the bar: 1 once
  // it is begun, and the bytes of each chunk hashed.
  std::int64_t progressOf(std::size_t index) const;
  // Ends every worker within a chunk and waits for it: afterwards no
  // worker runs and no file of the run is open. A worker stuck in a read
  // (a network drive gone away) is waited for until the user cancels; if
  // it is still there CANCEL_WAIT_MS later, the process ends as a cancel
  // ends it (endCancelledProcess), the thread still inside: nothing it
  // uses may be freed while it runs, so nothing is unwound.
  void stop();

 private:
  // How far the workers may run ahead of the entry being reported: the
  // sleeps of the run's thread must not hold them at all.
  static constexpr std::size_t SLOTS = 1024;

  // An entry's slot while it is digested and until it is reported. The
  // worker writes report and error before done; the run's thread reads
  // them after it, and clears the slot before it marks the entry reported.
  struct Slot {
    std::atomic<bool> done{false};
    std::exception_ptr error;  // what the worker threw on the entry, thrown again when it is reported
    std::string report;
    std::atomic<std::int64_t> progress{0};  // written by the worker, read by the run's thread
  };
  struct Worker;

  static DWORD WINAPI workerThread(LPVOID parameter);
  // What each worker does: takes the next entry in walk order, digests it
  // into its slot, and so on until none is left or the workers stop.
  void digestEntries(FileDigest& digest);
  bool waitForSlot(std::size_t index);
  void finishEntry(std::size_t index, std::string report, std::exception_ptr error);
  void clearSlot(Slot& slot);

  std::vector<FileEntry>& entries_;
  const ThreadStarter startThread_;
  std::vector<std::unique_ptr<Worker>> workers_;
  std::vector<OwnedHandle> threads_;
  std::atomic<std::size_t> next_{0};  // the next entry a worker takes
  std::atomic<bool> stopping_{false};
  Slot slots_[SLOTS];
  std::atomic<std::size_t> reported_{0};  // entries reported; workers take only those below it + SLOTS
  std::atomic<unsigned> waitingForSlot_{0};  // workers waiting for the entry being reported
  SRWLOCK lock_ = SRWLOCK_INIT;              // for slotFreed_
  CONDITION_VARIABLE slotFreed_ = CONDITION_VARIABLE_INIT;  // a worker waiting for a slot
};
