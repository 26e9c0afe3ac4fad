#include "digest/file_reader.h"

#include <atomic>
#include <cstring>
#include <new>

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

// How long end waits for the reader thread once told to stop. A thread
// waiting for a request ends at once; only one stuck in ReadFile (a slow or
// dead network drive) outlasts this, and it is not worth hanging the run.
constexpr DWORD STOP_WAIT_MS = 500;

std::int64_t ticksNow() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

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
  // One waiter per hand-over at a time. False when the wait failed, or when
  // orElse (if given) was set before a post came.
  bool wait(HANDLE orElse = nullptr) {
    if (pending_.fetch_sub(1) > 0) return true;
    const HANDLE events[2] = {event_.get(), orElse};
    return WaitForMultipleObjects(orElse != nullptr ? 2 : 1, events, FALSE, INFINITE) ==
           WAIT_OBJECT_0;
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
// FileReader (see end) keeps its events, file and buffer valid until it
// ends, and the last owner releases them.
//
// The hand-overs alternate strictly: each request the consumer posts (to
// read ahead) is answered by one post of data, a chunk or, at the end of
// the file or on a failed read, a length of 0. In between the thread waits
// for the next request, and only the consumer touches file and readFailed.
struct FileReader::Channel {
  explicit Channel(std::uint32_t size) : chunkSize(size), buffer(SIZE_T{size} + 1) {}

  const std::uint32_t chunkSize;        // bytes asked for per read
  HeapBuffer buffer;                    // the reader thread's buffer, chunkSize + 1 bytes
  OwnedHandle endEvent;                 // manual reset; set for good when the thread is to
                                        // stop (end) or leaves on its own
  Handover request;                     // posted when the thread may fill buffer again
  Handover data;                        // posted by the thread when buffer holds a chunk,
                                        // or 0 bytes at the end of the file
  OwnedHandle file;                     // the file being read; none between files
  std::uint32_t dataLength = 0;         // bytes of the chunk in buffer; 0 at the end
  std::int64_t readTicks = 0;           // how long the read of that chunk took
  std::atomic<bool> readFailed{false};  // ReadFile failed; this file's stream ended early
};

namespace {

// Thread start routine; takes over the reference to the channel it is given.
DWORD WINAPI readerThread(LPVOID parameter) {
  const std::unique_ptr<std::shared_ptr<FileReader::Channel>> owner(
      static_cast<std::shared_ptr<FileReader::Channel>*>(parameter));
  FileReader::Channel& channel = **owner;

  // Each request is for one chunk of the current file; the end event, set
  // by the consumer, means that nothing more will be asked.
  while (channel.request.wait(channel.endEvent.get())) {
    DWORD delivered = 0;
    const std::int64_t start = ticksNow();
    if (!ReadFile(channel.file.get(), channel.buffer.get(), channel.chunkSize, &delivered,
                  nullptr)) {
      channel.readFailed.store(true);
      delivered = 0;
    }
    channel.readTicks = ticksNow() - start;
    channel.dataLength = delivered;
    channel.data.post();
  }

  // Left on its own (a wait that failed): the consumer, which may be waiting
  // for a chunk, gets the end of the stream as a failure.
  if (WaitForSingleObject(channel.endEvent.get(), 0) != WAIT_OBJECT_0) {
    channel.readFailed.store(true);
    channel.dataLength = 0;
    SetEvent(channel.endEvent.get());
    channel.data.post();
  }
  return 0;
}

// The reader thread needs little stack.
constexpr SIZE_T READER_STACK_BYTES = 64 * 1024;

}  // namespace

FileReader::FileReader(std::uint32_t readAheadMicroseconds) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  readAheadTicks_ = frequency.QuadPart * readAheadMicroseconds / 1000000;
}

void FileReader::report(const std::string& message) {
  if (keepReports_) {
    report_ = message;
  } else {
    MessageBoxA(nullptr, message.c_str(), caption_.c_str(), MB_ICONERROR);
  }
}

void FileReader::fail(const std::string& message) {
  report(message);
  state_ = State::Ended;
  failed_ = true;
}

void FileReader::open(const char* path, std::uint32_t chunkSize, const char* caption) {
  close();
  assignExactForm(path, exactPath_);
  open(path, exactPath_, chunkSize, caption);
}

void FileReader::open(const char* path, const std::wstring& exactPath, std::uint32_t chunkSize,
                      const char* caption) {
  close();
  // Assigned, not constructed: the texts keep their buffers file to file.
  path_ = path;
  caption_ = caption;
  failed_ = false;
  report_.clear();

  // What a pass makes once, made again only after a failure (which ended
  // the thread) or for another chunk size.
  if (channel_ && channel_->chunkSize != chunkSize) end();
  if (!channel_ && !makeChannel(chunkSize)) return;
  openExact(exactPath);
}

// The buffer and the events, each reported in its own box when it cannot be
// had. The end event comes first, before the hand-overs, in the order these
// reports have always come in when the system runs short of handles.
bool FileReader::makeChannel(std::uint32_t chunkSize) {
  std::shared_ptr<Channel> channel;
  try {
    channel = std::make_shared<Channel>(chunkSize);
  } catch (const std::bad_alloc&) {
    // As good as no buffer: the run goes on without this file's digest.
  }
  if (!channel || channel->buffer.get() == nullptr) {
    fail(TEXT_NO_BUFFER);
    return false;
  }
  channel->endEvent.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!channel->endEvent) {
    fail(TEXT_NO_END_EVENT);
    return false;
  }
  if (!channel->request.create()) {
    fail(TEXT_NO_REQUEST_EVENT);
    return false;
  }
  if (!channel->data.create()) {
    fail(TEXT_NO_DATA_EVENT);
    return false;
  }
  channel_ = std::move(channel);
  return true;
}

// The rest of open, once the buffer and events are there.
void FileReader::openExact(const std::wstring& exactPath) {
  Channel& channel = *channel_;
  // The thread waits for a request: the file and its flag are the consumer's.
  channel.readFailed.store(false);
  channel.file.reset(CreateFileW(SystemPath(exactPath).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                 nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!channel.file) return fail(TEXT_FILE + path_ + TEXT_OPEN_FAILED);

  if (!thread_) {
    auto threadReference = std::make_unique<std::shared_ptr<Channel>>(channel_);
    thread_.reset(CreateThread(nullptr, READER_STACK_BYTES, readerThread, threadReference.get(),
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread_) {
      channel.file.reset();
      return fail(TEXT_NO_THREAD);
    }
    threadReference.release();  // the thread's now
  }
  state_ = State::Reading;
}

std::uint32_t FileReader::read(void* destination) {
  if (state_ != State::Reading && state_ != State::ReadingAhead) return 0;
  Channel& channel = *channel_;

  std::uint32_t length = 0;
  bool readFailed = false;
  std::int64_t readTicks = 0;
  if (state_ == State::ReadingAhead) {
    if (!channel.data.wait()) {
      // The sides are out of step: the stream ends here, as a failure.
      state_ = State::OutOfStep;
      return endOfStream(true);
    }
    length = channel.dataLength;
    readFailed = channel.readFailed.load();
    readTicks = channel.readTicks;
    if (length != 0) std::memcpy(destination, channel.buffer.get(), length);
    // A failure on the thread's side may have ended the thread: it is
    // ended for sure at close, and made anew for the next file.
    if (readFailed) state_ = State::OutOfStep;
  } else {
    // The first chunk of a file, and any chunk after one that was quick to
    // read, is read here: there is nothing to hash meanwhile, or reading is
    // cheaper than a hand-over. So a small file or a cached one costs none.
    DWORD delivered = 0;
    const std::int64_t start = ticksNow();
    readFailed = !ReadFile(channel.file.get(), destination, channel.chunkSize, &delivered, nullptr);
    readTicks = ticksNow() - start;
    length = readFailed ? 0 : delivered;
  }
  if (length == 0) return endOfStream(readFailed);

  // A whole chunk that was slow to come: the file may go on, and the thread
  // reads on while the consumer works on this one. It may overwrite its
  // buffer from here on.
  state_ = State::Reading;
  if (length == channel.chunkSize && readTicks >= readAheadTicks_) {
    state_ = State::ReadingAhead;
    channel.request.post();
  }
  return length;
}

// The stream has ended, at the end of the file or by a failed read, which
// is reported in one box.
std::uint32_t FileReader::endOfStream(bool readFailed) {
  if (state_ != State::OutOfStep) state_ = State::Ended;
  if (readFailed) {
    failed_ = true;
    report(TEXT_FILE + path_ + TEXT_READ_FAILED);
  }
  return 0;
}

void FileReader::close() {
  switch (state_) {
    case State::NoFile:
      return;
    case State::Reading:
    case State::Ended:
      // The thread waits for a request: the file is the consumer's to close.
      if (channel_) channel_->file.reset();
      state_ = State::NoFile;
      return;
    case State::ReadingAhead:
    case State::OutOfStep:
      // The thread may be reading this file into its buffer, or be out of
      // step: it is ended instead, and the file goes with the last owner of
      // the channel.
      end();
      return;
  }
}

void FileReader::end() {
  state_ = State::NoFile;
  if (thread_) {
    // Wakes a thread waiting for a request, or one that is about to wait
    // again once it has handed over what it is reading.
    SetEvent(channel_->endEvent.get());
    // Waited for to its very end, so that the file it shares is closed when
    // this returns.
    WaitForSingleObject(thread_.get(), STOP_WAIT_MS);
  }
  // A thread still running holds its own reference to the channel, so this
  // only gives up ours.
  thread_.reset();
  channel_.reset();
}
