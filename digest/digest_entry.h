// The digest stage: every entry's file read and hashed with the chosen
// algorithm, with progress, cancel polls and the reader's boxes, in the
// order of the walk. Several files are read at once where the machine and
// its disks allow; what the user sees stays that of one file at a time.
#pragma once

#include <string>
#include <vector>

#include "digest/file_digest.h"

class Job;

class DigestPass {
 public:
  // As many files at once as the DigestThreads setting, the processors and
  // the disks the walk reached allow.
  explicit DigestPass(Job& job);
  // Exactly so many at once (1: one file at a time on this thread).
  DigestPass(Job& job, unsigned workers);

  // Digests every entry, first to last.
  void digestAll(std::vector<FileEntry>& entries);

  // Reads the entry's file on this thread, hashes it and stores the result
  // in digestText. Reports the file on status line 2, advances the bar by 1
  // and then by each chunk's bytes, and polls the cancel flag at the start
  // and after each chunk.
  void digestEntry(FileEntry& entry);

 private:
  // Several at once: workers digest, this thread meets the entries in walk
  // order, shows each on status line 2 while it is the earliest not done,
  // moves the bar by what the workers did, shows its box if it has one and
  // polls the cancel flag.
  void digestSideBySide(std::vector<FileEntry>& entries);
  void showEntry(const FileEntry& entry);
  void pollCancel(class SideBySide& lanes);

  Job& job_;
  const unsigned workers_;
  FileDigest digest_;      // this thread's, for one file at a time
  std::string shownPath_;  // the entry as status line 2 shows it
};
