#include "digest/workers.h"

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

SideBySide::SideBySide(std::vector<FileEntry>& entries, const OutputOptions& options,
                       unsigned workers, ThreadStarter startThread)
    : entries_(entries), startThread_(std::move(startThread)) {
  // Each worker's digest (reader, buffers, engine) is made here, so that a
  // lack of memory for it ends the run as anywhere else; the reader's own
  // thread and buffer come with the worker's first file.
  for (unsigned i = 0; i < workers && i < entries.size(); ++i) {
    workers_.push_back(std::make_unique<Worker>(this, options));
  }
  // Room for every thread before the first starts: nothing may fail
  // between starting a thread and holding its handle.
  threads_.reserve(workers_.size());
}

void SideBySide::clearSlot(Slot& slot) {
  slot.done.store(false);
  slot.error = nullptr;
  slot.report.clear();
  slot.work.store(0);
}

bool SideBySide::start(std::size_t index) {
  stopping_.store(false);
  next_.store(index);
  for (Slot& slot : slots_) clearSlot(slot);
  released_.store(index);
  const std::size_t left = index < entries_.size() ? entries_.size() - index : 0;
  for (const std::unique_ptr<Worker>& worker : workers_) {
    if (threads_.size() >= left) break;
    HANDLE thread = startThread_(workerThread, worker.get());
    if (thread == nullptr) break;
    threads_.emplace_back(thread);
  }
  return !threads_.empty() || left == 0;
}

SideBySide::~SideBySide() { stop(); }

void SideBySide::stop() {
  stopping_.store(true);
  {
    const Locked locked(lock_);
    WakeAllConditionVariable(&roomMade_);
  }
  // A worker ends within a chunk. One stuck in a read on a dead network
  // drive is waited for, as the one-file pass waits for its own read,
  // until the user cancels.
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
    std::exception_ptr error;
    try {
      finished = digest.digest(entries_[index], [this, &work](std::uint32_t length) {
        work.fetch_add(length);
        return !stopping_.load() && !cancelFlag.load();
      });
    } catch (...) {
      // Anything thrown here (memory running out, above all) is met in walk
      // order and thrown again on the meeting thread, which ends the run as
      // it would have ended on its own; no exception leaves a thread.
      error = std::current_exception();
      finished = true;
    }
    if (!finished) return;  // stopped
    finishEntry(index, error ? std::string() : digest.takeReport(), error);
    if (error) return;
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

void SideBySide::finishEntry(std::size_t index, std::string report, std::exception_ptr error) {
  Slot& slot = slots_[index % WINDOW];
  slot.error = std::move(error);
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
  if (slot.error) std::rethrow_exception(slot.error);
  return std::move(slot.report);
}

void SideBySide::release(std::size_t index) {
  clearSlot(slots_[index % WINDOW]);
  released_.store(index + 1);
  if (waitingForRoom_.load() != 0) {
    const Locked locked(lock_);
    WakeAllConditionVariable(&roomMade_);
  }
}

std::int64_t SideBySide::workOf(std::size_t index) const {
  return slots_[index % WINDOW].work.load();
}
