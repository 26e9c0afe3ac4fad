// The digest stage: every entry's file read through one FileReader and
// hashed with the chosen algorithm, with progress and cancel polls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "digest/digest_algorithm.h"
#include "digest/file_entry.h"
#include "digest/file_reader.h"

class Job;

// Bytes read and hashed at a time: large, so the file system can read ahead.
constexpr std::uint32_t DIGEST_CHUNK_SIZE = 0x20000;

// What every file of the pass needs, made once for the pass: the reader
// with its thread, events and buffer, the consumer's chunk buffer, the
// digest of the run's algorithm and the status text. Per file only the file
// itself is opened and closed.
class DigestPass {
 public:
  explicit DigestPass(Job& job);

  // Reads the entry's file, hashes it and stores the separator of the
  // chosen output form and the hex digits in digestText. Reports the
  // file on status line 2, advances the bar by 1 and then by each chunk's
  // bytes, and polls the cancel flag at the start and after each chunk.
  // A file that could not be read to its end gets no digits: digestText is
  // "\t" in the tab form (the column stays) and empty in the bracketed forms.
  void digestEntry(FileEntry& entry);

 private:
  Job& job_;
  FileReader reader_;
  std::unique_ptr<unsigned char[]> chunk_;  // DIGEST_CHUNK_SIZE bytes
  std::unique_ptr<DigestEngine> digest_;    // of DigestAlgorithm
  std::string shownPath_;                   // the entry as status line 2 shows it
};
