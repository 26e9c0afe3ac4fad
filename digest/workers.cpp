#include "digest/workers.h"

#include "app/cancel.h"

// What a worker thread is handed: the workers it is one of and its own digest.
struct Workers::Worker {
  Worker(Workers* owner, const OutputOptions& options) : workers(owner), digest(options, true) {}
  Workers* workers;
  FileDigest digest;
};

namespace {

// A worker needs little stack: its buffers are on the heap.
constexpr SIZE_T WORKER_STACK_BYTES = 256 * 1024;

// How often a stop that waits for a worker looks at the cancel flag.
constexpr DWORD STOP_LOOK_MS = 50;

// A lock held for a scope.
class Locked {
 public:
  explicit Locked(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~Locked() { ReleaseSRWLockExclusive(&lock_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  SRWLOCK& lock_;
};

}  // namespace

HANDLE startWorkerThread(LPTHREAD_START_ROUTINE routine, void* parameter) {
  return CreateThread(nullptr, WORKER_STACK_BYTES, routine, parameter,
                      STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
}

Workers::Workers(std::vector<FileEntry>& entries, const OutputOptions& options, unsigned count,
                 ThreadStarter startThread)
    : entries_(entries), startThread_(std::move(startThread)) {
  // Each worker's digest (reader, buffers, engine) is made here, so that a
  // lack of memory for it ends the run as anywhere else; the reader's own
  // thread and buffer come with the worker's first file.
  for (unsigned i = 0; i < count && i < entries.size(); ++i) {
    workers_.push_back(std::make_unique<Worker>(this, options));
  }
  // Space for every thread before the first starts: nothing may fail
  // between starting a thread and holding its handle.
  threads_.reserve(workers_.size());
}

void Workers::clearSlot(Slot& slot) {
  slot.done.store(false);
  slot.error = nullptr;
  slot.report.clear();
  slot.progress.store(0);
}

bool Workers::start(std::size_t index) {
  stopping_.store(false);
  next_.store(index);
  for (Slot& slot : slots_) clearSlot(slot);
  reported_.store(index);
  const std::size_t left = index < entries_.size() ? entries_.size() - index : 0;
  for (const std::unique_ptr<Worker>& worker : workers_) {
    if (threads_.size() >= left) break;
    HANDLE thread = startThread_(workerThread, worker.get());
    if (thread == nullptr) break;
    threads_.emplace_back(thread);
  }
  return !threads_.empty() || left == 0;
}

Workers::~Workers() { stop(); }

void Workers::stop() {
  stopping_.store(true);
  {
    const Locked locked(lock_);
    WakeAllConditionVariable(&slotFreed_);
  }
  // A worker ends within a chunk. One stuck in a read on a dead network
  // drive is waited for until the user cancels.
  ULONGLONG cancelSeen = 0;
  for (OwnedHandle& thread : threads_) {
    while (WaitForSingleObject(thread.get(), STOP_LOOK_MS) == WAIT_TIMEOUT) {
      if (!cancelFlag.load()) continue;
      const ULONGLONG now = GetTickCount64();
      if (cancelSeen == 0) cancelSeen = now;
      if (now - cancelSeen >= CANCEL_WAIT_MS) endCancelledProcess();
    }
  }
  threads_.clear();
}

DWORD WINAPI Workers::workerThread(LPVOID parameter) {
  auto* worker = static_cast<Worker*>(parameter);
  worker->workers->digestEntries(worker->digest);
  return 0;
}

void Workers::digestEntries(FileDigest& digest) {
  for (;;) {
    const std::size_t index = next_.fetch_add(1);
    if (index >= entries_.size() || cancelFlag.load() || !waitForSlot(index)) return;
    std::atomic<std::int64_t>& progress = slots_[index % SLOTS].progress;
    progress.store(1);
    bool finished = false;
    std::exception_ptr error;
    try {
      finished = digest.digest(entries_[index], [this, &progress](std::uint32_t length) {
        progress.fetch_add(length);
        return !stopping_.load() && !cancelFlag.load();
      });
    } catch (...) {
      // Anything thrown here (memory running out, above all) is reported in
      // walk order and thrown again on the run's thread, which ends the run
      // as it would have ended on its own; no exception leaves a thread.
      error = std::current_exception();
      finished = true;
    }
    if (!finished) return;  // stopped
    finishEntry(index, error ? std::string() : digest.takeReport(), error);
    if (error) return;
  }
}

bool Workers::waitForSlot(std::size_t index) {
  if (index < reported_.load() + SLOTS) return !stopping_.load();
  // Every slot is taken: counted first and the slots looked at again under
  // the lock, so an entry reported between the two is never missed.
  const Locked locked(lock_);
  ++waitingForSlot_;
  while (index >= reported_.load() + SLOTS && !stopping_.load()) {
    SleepConditionVariableSRW(&slotFreed_, &lock_, INFINITE, 0);
  }
  --waitingForSlot_;
  return !stopping_.load();
}

void Workers::finishEntry(std::size_t index, std::string report, std::exception_ptr error) {
  Slot& slot = slots_[index % SLOTS];
  slot.error = std::move(error);
  slot.report = std::move(report);
  slot.done.store(true);
}

bool Workers::waitUntilDone(std::size_t index, DWORD milliseconds) {
  const Slot& slot = slots_[index % SLOTS];
  if (slot.done.load()) return true;
  Sleep(milliseconds);
  return slot.done.load();
}

std::string Workers::takeReport(std::size_t index) {
  Slot& slot = slots_[index % SLOTS];
  if (slot.error) std::rethrow_exception(slot.error);
  return std::move(slot.report);
}

void Workers::markReported(std::size_t index) {
  clearSlot(slots_[index % SLOTS]);
  reported_.store(index + 1);
  if (waitingForSlot_.load() != 0) {
    const Locked locked(lock_);
    WakeAllConditionVariable(&slotFreed_);
  }
}

std::int64_t Workers::progressOf(std::size_t index) const {
  return slots_[index % SLOTS].progress.load();
}
