// The digest pass: every entry's file read and hashed with the chosen
// algorithm, with progress, cancel polls and the reader's boxes, in the
// order of the walk. Workers read several files at once where the machine
// and its disks allow; what the user sees stays that of one file at a time.
#pragma once

#include <string>
#include <vector>

#include "digest/file_digest.h"
#include "digest/workers.h"

class Job;

class DigestPass {
 public:
  // As many files at once as the DigestThreads setting, the processors and
  // the disks the walk reached allow.
  explicit DigestPass(Job& job);
  // Exactly so many at once, on threads the starter gives.
  DigestPass(Job& job, unsigned workerCount, ThreadStarter startThread = startWorkerThread);

  // Digests every entry, first to last. Workers read the files, even one
  // at a time, so this thread stays free to see a cancel while a read
  // hangs; where no thread is to be had, it reads them itself.
  void digestAll(std::vector<FileEntry>& entries);

  // Reads the entry's file on this thread, hashes it and stores the result
  // in digestText. Reports the file on status line 2, advances the bar by 1
  // and then by each chunk's bytes, and polls the cancel flag at the start
  // and after each chunk.
  void digestEntry(FileEntry& entry);

 private:
  // Workers digest, this thread reports the entries in walk order: shows
  // the entry being reported on status line 2 until it is done, moves the
  // bar by the workers' progress on it, shows its box if it has one and
  // polls the cancel flag.
  void digestWithWorkers(std::vector<FileEntry>& entries);
  // From index on, one file at a time on this thread.
  void digestFrom(std::vector<FileEntry>& entries, std::size_t index);
  void showEntry(const FileEntry& entry);
  void pollCancel(Workers& workers);

  Job& job_;
  const unsigned workerCount_;
  const ThreadStarter startThread_;
  FileDigest digest_;      // this thread's, for one file at a time
  std::string shownPath_;  // the entry as status line 2 shows it
};
