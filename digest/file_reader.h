// Reads one file sequentially in fixed-size chunks on a thread of its own,
// so that reading chunk k+1 overlaps with the consumer's work on chunk k.
// Three events hand the reader thread's buffer back and forth; each chunk
// is copied into the consumer's buffer when the consumer takes it.
//
// Failures are reported in message boxes with no owner window, the caption
// given to open and the error icon; they do not touch the cancel flag, so
// the run goes on after them. The stream then ends early, and failed() tells
// the consumer that what it received is not the whole file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

// Owns one kernel handle; both null and INVALID_HANDLE_VALUE mean "none",
// since CreateFileW and CreateEventA/CreateThread fail with different ones.
class OwnedHandle {
 public:
  OwnedHandle() = default;
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  ~OwnedHandle() { reset(); }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  void reset(HANDLE handle = nullptr) {
    if (*this) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

class FileReader {
 public:
  FileReader() = default;
  // Also releases a reader that is still mid-file (a cancelled run unwinds
  // through here); see close.
  ~FileReader() { close(); }
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // Allocates the reader's buffer, creates the events, opens the file for
  // sequential reading (others may only read it meanwhile) and starts the
  // reader thread, which reads the first chunk at once. On any failure shows
  // its message box and leaves the reader empty and failed. path is the
  // ANSI form the messages show; the file opened is the one exactPath names,
  // or, without it, the code page's reading of path.
  void open(const char* path, std::uint32_t chunkSize, const char* caption);
  void open(const char* path, const std::wstring& exactPath, std::uint32_t chunkSize,
            const char* caption);

  // Waits for the next chunk and copies it into destination (at least
  // chunkSize bytes). 0 means the stream has ended, at the end of the file
  // or by a failure; every later call returns 0 at once. A read that failed
  // part-way is reported in one message box by the call that returns 0.
  std::uint32_t read(void* destination);

  // Stops the reader thread and releases everything. Never blocks for long:
  // a thread that has handed over its end is left to finish its teardown;
  // a thread still waiting for a request is told to stop; one that does not
  // stop within a short time (stuck in a read) is left to end on its own,
  // keeping what it still uses alive until then.
  void close();

  // True when the stream ended by a failure (open failed, or a read failed
  // part-way) rather than at the end of the file. Kept until the next open.
  bool failed() const { return failed_; }

  struct Channel;  // what the reader thread shares with its consumer

 private:
  void fail(const std::string& message);

  OwnedHandle thread_;                // the reader thread; none until started
  std::shared_ptr<Channel> channel_;  // shared with the thread; none while empty
  std::string path_;                  // for the message of a failed read
  std::string caption_;               // caption of the message boxes
  bool ended_ = false;                // read has returned 0
  bool failed_ = false;               // the stream ended by a failure
};
