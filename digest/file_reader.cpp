#include "digest/file_reader.h"

#include <atomic>
#include <cstring>

#include "text/exact_path.h"

namespace {

const char* const TEXT_NO_BUFFER = "読み込み用バッファが用意できません。";
const char* const TEXT_NO_END_EVENT = "終了通知用の排他制御子 （イベント） の作成に失敗しました。";
const char* const TEXT_NO_REQUEST_EVENT =
    "読出完了検出用の排他制御子 （イベント） の作成に失敗しました。";
const char* const TEXT_NO_DATA_EVENT = "実出力用の排他制御子 （イベント） の作成に失敗しました。";
const char* const TEXT_NO_THREAD = "ファイル読み込みスレッドの開始が失敗しました。";
const char* const TEXT_FILE = "ファイル \"";
const char* const TEXT_OPEN_FAILED = "\" のオープンに失敗しました。";
const char* const TEXT_READ_FAILED = "\" の読み込みに失敗しました。";

// How long close waits for the reader thread once told to stop. A thread
// waiting for a request ends at once; only one stuck in ReadFile (a slow or
// dead network drive) outlasts this, and it is not worth hanging the run.
constexpr DWORD STOP_WAIT_MS = 500;

// The reader thread's buffer, from the process heap.
class HeapBuffer {
 public:
  explicit HeapBuffer(SIZE_T bytes)
      : bytes_(static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, bytes))) {}
  ~HeapBuffer() {
    if (bytes_ != nullptr) HeapFree(GetProcessHeap(), 0, bytes_);
  }
  HeapBuffer(const HeapBuffer&) = delete;
  HeapBuffer& operator=(const HeapBuffer&) = delete;

  unsigned char* get() const { return bytes_; }

 private:
  unsigned char* bytes_;
};

// What a thread spends waiting can only be one request to the system, but
// handing over a chunk that is already there need not cost any: a count of
// posts not yet taken tells the waiter whether it must block, and the poster
// whether anyone is blocked. Each side then calls into the system only when
// the other one really waits, which for a consumer slower than the disk is
// one wake-up of the reader per chunk. The event is auto-reset, so a post
// made while nobody waits is neither lost nor seen twice.
class Handover {
 public:
  bool create() {
    event_.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    return static_cast<bool>(event_);
  }
  // One waiter per hand-over at a time.
  bool wait() {
    if (pending_.fetch_sub(1) > 0) return true;
    return WaitForSingleObject(event_.get(), INFINITE) == WAIT_OBJECT_0;
  }
  void post() {
    if (pending_.fetch_add(1) < 0) SetEvent(event_.get());
  }

 private:
  OwnedHandle event_;
  std::atomic<long> pending_{0};  // posts not yet taken; -1 while the waiter blocks
};

}  // namespace

// Lives as long as either side holds it: a reader thread that outlives its
// FileReader (see close) keeps its events, file and buffer valid until it
// ends, and the last owner releases them. The thread usually ends a little
// after its consumer has moved on, so the releasing is its work, not the
// consumer's.
struct FileReader::Channel {
  explicit Channel(std::uint32_t size) : chunkSize(size), buffer(SIZE_T{size} + 1) {}

  const std::uint32_t chunkSize;           // bytes asked for per read
  HeapBuffer buffer;                       // the reader thread's buffer, chunkSize + 1 bytes
  OwnedHandle endEvent;                    // set by the thread when it stops; never cleared
  Handover request;                        // posted when the thread may fill buffer again
  Handover data;                           // posted by the thread when buffer holds a chunk,
                                           // and once more when it stops
  OwnedHandle file;                        // the open file
  std::uint32_t dataLength = 0;            // bytes of the chunk in buffer; 0 at the end
  std::atomic<bool> stopRequested{false};  // the consumer is gone; leave
  std::atomic<bool> readFailed{false};     // ReadFile failed; the stream ended early
};

namespace {

// Thread start routine; takes over the reference to the channel it is given.
DWORD WINAPI readerThread(LPVOID parameter) {
  const std::unique_ptr<std::shared_ptr<FileReader::Channel>> owner(
      static_cast<std::shared_ptr<FileReader::Channel>*>(parameter));
  FileReader::Channel& channel = **owner;

  for (;;) {
    if (!channel.request.wait()) {
      channel.readFailed.store(true);
      break;
    }
    if (channel.stopRequested.load()) break;

    DWORD delivered = 0;
    if (!ReadFile(channel.file.get(), channel.buffer.get(), channel.chunkSize, &delivered,
                  nullptr)) {
      channel.readFailed.store(true);
      break;
    }
    if (delivered == 0) break;
    channel.dataLength = delivered;
    channel.data.post();
  }

  // The end is set before it is handed over, so a consumer that has seen
  // the end never waits for it again.
  channel.dataLength = 0;
  SetEvent(channel.endEvent.get());
  channel.data.post();
  return 0;
}

// The reader thread needs little stack; reserving the default for every
// file only makes each start dearer.
constexpr SIZE_T READER_STACK_BYTES = 64 * 1024;

}  // namespace

void FileReader::fail(const std::string& message) {
  MessageBoxA(nullptr, message.c_str(), caption_.c_str(), MB_ICONERROR);
  close();
  ended_ = true;
  failed_ = true;
}

void FileReader::open(const char* path, std::uint32_t chunkSize, const char* caption) {
  open(path, exactForm(path), chunkSize, caption);
}

void FileReader::open(const char* path, const std::wstring& exactPath, std::uint32_t chunkSize,
                      const char* caption) {
  close();
  path_ = path;
  caption_ = caption;
  ended_ = false;
  failed_ = false;

  channel_ = std::make_shared<Channel>(chunkSize);
  Channel& channel = *channel_;
  if (channel.buffer.get() == nullptr) return fail(TEXT_NO_BUFFER);

  channel.endEvent.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!channel.endEvent) return fail(TEXT_NO_END_EVENT);
  if (!channel.request.create()) return fail(TEXT_NO_REQUEST_EVENT);
  if (!channel.data.create()) return fail(TEXT_NO_DATA_EVENT);

  channel.file.reset(CreateFileW(SystemPath(exactPath).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                 nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!channel.file) return fail(TEXT_FILE + path_ + TEXT_OPEN_FAILED);

  auto* threadReference = new std::shared_ptr<Channel>(channel_);
  thread_.reset(CreateThread(nullptr, READER_STACK_BYTES, readerThread, threadReference,
                             STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  if (!thread_) {
    delete threadReference;
    return fail(TEXT_NO_THREAD);
  }

  channel.request.post();
}

std::uint32_t FileReader::read(void* destination) {
  if (ended_ || !thread_) return 0;
  Channel& channel = *channel_;

  // Chunks and the end come through one hand-over, in the order the thread
  // made them, so a chunk read just before the end is always taken first.
  const bool woke = channel.data.wait();
  const std::uint32_t length = woke ? channel.dataLength : 0;
  if (length != 0) {
    std::memcpy(destination, channel.buffer.get(), length);
    // From here on the reader thread may overwrite its buffer.
    channel.request.post();
    return length;
  }

  ended_ = true;
  if (!woke || channel.readFailed.load()) {
    failed_ = true;
    MessageBoxA(nullptr, (TEXT_FILE + path_ + TEXT_READ_FAILED).c_str(), caption_.c_str(),
                MB_ICONERROR);
  }
  return 0;
}

void FileReader::close() {
  if (thread_) {
    // The thread may be waiting for a request that will never come (the
    // consumer stopped mid-file): wake it with the stop flag raised. For a
    // thread that has handed over its end this costs nothing.
    channel_->stopRequested.store(true);
    channel_->request.post();
    if (!ended_) WaitForSingleObject(channel_->endEvent.get(), STOP_WAIT_MS);
  }
  // A thread that has handed over its end only has its own teardown left;
  // it is not waited for. It holds its own reference to the channel, so if
  // it is still running this only gives up ours.
  thread_.reset();
  channel_.reset();
}
