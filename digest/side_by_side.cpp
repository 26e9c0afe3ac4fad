#include "digest/side_by_side.h"

#include <new>

#include "app/cancel.h"

// What a worker thread is handed: its pass and its own digest.
struct SideBySide::Worker {
  Worker(SideBySide* owner, const OutputOptions& options) : pass(owner), digest(options, true) {}
  SideBySide* pass;
  FileDigest digest;
};

namespace {

// A worker needs little stack: its buffers are on the heap.
constexpr SIZE_T WORKER_STACK_BYTES = 256 * 1024;

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

SideBySide::SideBySide(std::vector<FileEntry>& entries, const OutputOptions& options,
                       unsigned workers)
    : entries_(entries) {
  // Each worker's digest (reader, buffers, engine) is made here, so that a
  // lack of memory for it ends the run as anywhere else; the reader's own
  // thread and buffer come with the worker's first file.
  for (unsigned i = 0; i < workers; ++i) {
    workers_.push_back(std::make_unique<Worker>(this, options));
  }
  // Room for every thread before the first starts: nothing may fail
  // between starting a thread and holding its handle.
  threads_.reserve(workers);
  start(0);
}

void SideBySide::start(std::size_t index) {
  stopping_.store(false);
  next_.store(index);
  for (Slot& slot : slots_) {
    slot.done.store(false);
    slot.outOfMemory = false;
    slot.report.clear();
    slot.work.store(0);
  }
  released_.store(index);
  for (const std::unique_ptr<Worker>& worker : workers_) {
    HANDLE thread = CreateThread(nullptr, WORKER_STACK_BYTES, workerThread, worker.get(),
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) break;
    threads_.emplace_back(thread);
  }
}

void SideBySide::redoAfter(std::size_t index) {
  stop();
  start(index + 1);
}

SideBySide::~SideBySide() { stop(); }

void SideBySide::stop() {
  stopping_.store(true);
  {
    const Locked locked(lock_);
    WakeAllConditionVariable(&roomMade_);
  }
  // A worker ends within a chunk. One stuck in a read on a dead network
  // drive is waited for, as the one-file pass waits for its own read; its
  // reader leaves a read-ahead stuck so to end on its own.
  for (OwnedHandle& thread : threads_) WaitForSingleObject(thread.get(), INFINITE);
  threads_.clear();
}

DWORD WINAPI SideBySide::workerThread(LPVOID parameter) {
  auto* worker = static_cast<Worker*>(parameter);
  worker->pass->work(worker->digest);
  return 0;
}

void SideBySide::work(FileDigest& digest) {
  for (;;) {
    const std::size_t index = next_.fetch_add(1);
    if (index >= entries_.size() || cancelFlag.load() || !waitForRoom(index)) return;
    std::atomic<std::int64_t>& work = slots_[index % WINDOW].work;
    work.store(1);
    bool finished = false;
    bool outOfMemory = false;
    try {
      finished = digest.digest(entries_[index], [this, &work](std::uint32_t length) {
        work.fetch_add(length);
        return !stopping_.load() && !cancelFlag.load();
      });
    } catch (const std::bad_alloc&) {
      // Met in walk order, it ends the run as memory running out does on
      // the run's own thread.
      outOfMemory = true;
      finished = true;
    }
    if (!finished) return;  // stopped
    finishEntry(index, digest.takeReport(), outOfMemory);
    if (outOfMemory) return;
  }
}

bool SideBySide::waitForRoom(std::size_t index) {
  if (index < released_.load() + WINDOW) return !stopping_.load();
  // Held by the window: counted first and the room looked at again under
  // the lock, so a release between the two is never missed.
  const Locked locked(lock_);
  ++waitingForRoom_;
  while (index >= released_.load() + WINDOW && !stopping_.load()) {
    SleepConditionVariableSRW(&roomMade_, &lock_, INFINITE, 0);
  }
  --waitingForRoom_;
  return !stopping_.load();
}

void SideBySide::finishEntry(std::size_t index, std::string report, bool outOfMemory) {
  Slot& slot = slots_[index % WINDOW];
  slot.outOfMemory = outOfMemory;
  slot.report = std::move(report);
  slot.done.store(true);
}

bool SideBySide::waitFor(std::size_t index, DWORD milliseconds) {
  const Slot& slot = slots_[index % WINDOW];
  if (slot.done.load()) return true;
  {
    const Locked locked(lock_);
    SleepConditionVariableSRW(&nap_, &lock_, milliseconds, 0);
  }
  return slot.done.load();
}

std::string SideBySide::takeReport(std::size_t index) {
  Slot& slot = slots_[index % WINDOW];
  if (slot.outOfMemory) throw std::bad_alloc();
  return std::move(slot.report);
}

void SideBySide::release(std::size_t index) {
  Slot& slot = slots_[index % WINDOW];
  slot.done.store(false);
  slot.outOfMemory = false;
  slot.report.clear();
  slot.work.store(0);
  released_.store(index + 1);
  if (waitingForRoom_.load() != 0) {
    const Locked locked(lock_);
    WakeAllConditionVariable(&roomMade_);
  }
}

std::int64_t SideBySide::workOf(std::size_t index) const {
  return slots_[index % WINDOW].work.load();
}
