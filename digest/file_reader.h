// Reads files sequentially in fixed-size chunks, with a thread of its own
// that reads chunk k+1 while the consumer works on chunk k whenever reading
// is slow enough for that to pay. One reader serves a whole pass over many
// files, one after another: its thread, events and buffer are made once,
// and per file only the file is opened and closed. Two hand-overs pass the
// reader thread's buffer back and forth; each chunk it reads is copied into
// the consumer's buffer when the consumer takes it.
//
// Failures are reported in message boxes with no owner window, the caption
// given to open and the error icon; they do not touch the cancel flag, so
// the run goes on after them. That file's stream then ends early, and
// failed() tells the consumer that what it received is not the whole file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "common/owned_handle.h"

// A read that takes this long is worth overlapping with the hashing of the
// chunk before it. A quicker one (the file is in the cache) costs less than
// handing it to the thread and back: a few tens of microseconds on Windows,
// up to a hundred and more under Wine, where each wake-up is a round trip
// to its server.
constexpr std::uint32_t READ_AHEAD_AFTER_US = 100;

class FileReader {
 public:
  // Whole chunks that took at least readAheadMicroseconds to read are
  // followed by reading ahead on the thread; 0 reads ahead after every
  // whole chunk.
  explicit FileReader(std::uint32_t readAheadMicroseconds = READ_AHEAD_AFTER_US);
  // Ends the reader thread, also mid-file (a cancelled run unwinds through
  // here); see end.
  ~FileReader() { end(); }
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // Starts on one file: makes what the reader still lacks (its buffer and
  // events on the first file, its thread once a file is open; after a
  // failure, again on the next file) and opens the file for sequential
  // reading (others may only read it meanwhile). Closes the previous file
  // first. On any failure shows its message box and leaves the file's stream
  // ended and failed. path is the ANSI form the messages show; the file
  // opened is the one exactPath names, or, without it, the code page's
  // reading of path.
  void open(const char* path, std::uint32_t chunkSize, const char* caption);
  void open(const char* path, const std::wstring& exactPath, std::uint32_t chunkSize,
            const char* caption);

  // Gives the next chunk, copied into destination (at least chunkSize
  // bytes). A chunk that follows a whole one that was slow to read was read
  // by the thread while the consumer worked on that one; any other is read
  // at once. 0 means the stream has ended, at the end of the file or by a
  // failure; every later call returns 0 at once. A read that failed part-way
  // is reported in one message box by the call that returns 0.
  std::uint32_t read(void* destination);

  // Closes the current file; the thread stays for the next one. A file left
  // before its end (the thread may be reading it) ends the thread instead.
  void close();

  // Ends the reader thread and releases everything; a later open starts
  // afresh. Never blocks for long: a thread stuck in a read (a slow or dead
  // network drive) is left to end on its own, keeping what it still uses
  // alive until then.
  void end();

  // True when the stream ended by a failure (open failed, or a read failed
  // part-way) rather than at the end of the file. Kept until the next open.
  bool failed() const { return failed_; }

  // For a pass that reads several files at once and shows their failures
  // in walk order: from now on a failure's message is kept, for the caller
  // to show, instead of shown at once. A file has at most one.
  void keepReports() { keepReports_ = true; }
  // The kept message of the current file's failure, taken; empty if none.
  std::string takeReport() { return std::move(report_); }

  struct Channel;  // what the reader thread shares with its consumer

 private:
  // Where the reader stands with the current file:
  //   NoFile   --open-->  Reading  (or Ended, failed, when the open fails)
  //   Reading  --read of a whole chunk that was slow-->  ReadingAhead
  //   ReadingAhead --read takes the chunk-->  Reading, or ReadingAhead again
  //   Reading, ReadingAhead --read of 0 bytes-->  Ended
  //   ReadingAhead --a hand-over that fails, or a failed read ahead-->  OutOfStep
  //                (the stream has ended, and the thread may have too)
  //   Reading, Ended --close-->  NoFile: the file is closed, the thread stays
  //   ReadingAhead, OutOfStep --close-->  NoFile: the thread may touch the file
  //                                       or its buffer, so it is ended too
  //   any --end-->  NoFile, without a thread
  enum class State { NoFile, Reading, ReadingAhead, Ended, OutOfStep };

  void fail(const std::string& message);
  void report(const std::string& message);
  bool makeChannel(std::uint32_t chunkSize);
  void openExact(const std::wstring& exactPath);
  std::uint32_t endOfStream(bool readFailed);

  OwnedHandle thread_;                // the reader thread; none until started
  std::shared_ptr<Channel> channel_;  // shared with the thread; none before the first file
  std::string path_;                  // the current file, for the message of a failed read
  std::string caption_;               // caption of the message boxes
  std::wstring exactPath_;            // the code page's reading of path, reused file to file
  std::int64_t readAheadTicks_ = 0;   // performance-counter ticks of a slow read
  State state_ = State::NoFile;
  bool failed_ = false;               // the last stream ended by a failure
  bool keepReports_ = false;          // failures are kept in report_, not shown
  std::string report_;                // the kept message of this file's failure
};
