#include "digest/file_reader.h"

#include <atomic>
#include <cstring>

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

HANDLE createManualResetEvent() { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }

}  // namespace

// Lives as long as either side holds it: a reader thread that outlives its
// FileReader (see close) keeps its events, file and buffer valid until it
// ends, and the last owner releases them.
struct FileReader::Channel {
  explicit Channel(std::uint32_t size) : chunkSize(size), buffer(SIZE_T{size} + 1) {}

  const std::uint32_t chunkSize;           // bytes asked for per read
  HeapBuffer buffer;                       // the reader thread's buffer, chunkSize + 1 bytes
  OwnedHandle endEvent;                    // set by the thread when it stops; never cleared
  OwnedHandle requestEvent;                // set when the thread may fill buffer again
  OwnedHandle dataEvent;                   // set by the thread when a chunk lies in buffer
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
    if (WaitForSingleObject(channel.requestEvent.get(), INFINITE) != WAIT_OBJECT_0) {
      channel.readFailed.store(true);
      break;
    }
    ResetEvent(channel.requestEvent.get());
    // Checked after the reset: a stop request raised before it is seen here,
    // and one raised after it sets the event again for the next wait.
    if (channel.stopRequested.load()) break;

    DWORD delivered = 0;
    if (!ReadFile(channel.file.get(), channel.buffer.get(), channel.chunkSize, &delivered,
                  nullptr)) {
      channel.readFailed.store(true);
      break;
    }
    if (delivered == 0) break;
    channel.dataLength = delivered;
    SetEvent(channel.dataEvent.get());
  }

  channel.dataLength = 0;
  SetEvent(channel.endEvent.get());
  return 0;
}

}  // namespace

void FileReader::fail(const std::string& message) {
  MessageBoxA(nullptr, message.c_str(), caption_.c_str(), MB_ICONERROR);
  close();
  ended_ = true;
  failed_ = true;
}

void FileReader::open(const char* path, std::uint32_t chunkSize, const char* caption) {
  close();
  path_ = path;
  caption_ = caption;
  ended_ = false;
  failed_ = false;

  channel_ = std::make_shared<Channel>(chunkSize);
  Channel& channel = *channel_;
  if (channel.buffer.get() == nullptr) return fail(TEXT_NO_BUFFER);

  channel.endEvent.reset(createManualResetEvent());
  if (!channel.endEvent) return fail(TEXT_NO_END_EVENT);
  channel.requestEvent.reset(createManualResetEvent());
  if (!channel.requestEvent) return fail(TEXT_NO_REQUEST_EVENT);
  channel.dataEvent.reset(createManualResetEvent());
  if (!channel.dataEvent) return fail(TEXT_NO_DATA_EVENT);

  channel.file.reset(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!channel.file) return fail(TEXT_FILE + path_ + TEXT_OPEN_FAILED);

  auto* threadReference = new std::shared_ptr<Channel>(channel_);
  thread_.reset(CreateThread(nullptr, 0, readerThread, threadReference, 0, nullptr));
  if (!thread_) {
    delete threadReference;
    return fail(TEXT_NO_THREAD);
  }

  SetEvent(channel.requestEvent.get());
}

std::uint32_t FileReader::read(void* destination) {
  if (ended_ || !thread_) return 0;
  Channel& channel = *channel_;

  // A chunk waiting beside the end is taken first: WaitForMultipleObjects
  // reports the lowest signalled index.
  const HANDLE events[2] = {channel.dataEvent.get(), channel.endEvent.get()};
  const DWORD woke = WaitForMultipleObjects(2, events, FALSE, INFINITE);
  if (woke == WAIT_OBJECT_0) {
    ResetEvent(channel.dataEvent.get());
    const std::uint32_t length = channel.dataLength;
    std::memcpy(destination, channel.buffer.get(), length);
    // From here on the reader thread may overwrite its buffer.
    SetEvent(channel.requestEvent.get());
    return length;
  }

  ended_ = true;
  if (woke != WAIT_OBJECT_0 + 1 || channel.readFailed.load()) {
    failed_ = true;
    MessageBoxA(nullptr, (TEXT_FILE + path_ + TEXT_READ_FAILED).c_str(), caption_.c_str(),
                MB_ICONERROR);
  }
  return 0;
}

void FileReader::close() {
  if (thread_) {
    // The thread may be waiting for a request that will never come (the
    // consumer stopped mid-file): wake it with the stop flag raised.
    channel_->stopRequested.store(true);
    SetEvent(channel_->requestEvent.get());
    WaitForSingleObject(thread_.get(), STOP_WAIT_MS);
    thread_.reset();
  }
  // The thread holds its own reference, so if it is still running this
  // only gives up ours.
  channel_.reset();
}
