// One file read and hashed: what a digest pass keeps for each file it reads
// at a time, made once for the pass (the reader with its thread, events
// and buffer, the chunk buffer and the digest of the run's algorithm).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "hash/hash_algorithm.h"
#include "collect/file_entry.h"
#include "digest/file_reader.h"

// Bytes read and hashed at a time: large, so the file system can read ahead.
constexpr std::uint32_t DIGEST_CHUNK_SIZE = 0x20000;

class FileDigest {
 public:
  // options: the final settings (algorithm and output form). keepReports:
  // failures are kept for takeReport instead of shown at once.
  FileDigest(const OutputOptions& options, bool keepReports);

  // Reads the entry's file and stores the separator of the chosen output
  // form and the hex digits in digestText. afterChunk(bytes) is called
  // after each chunk is hashed; when it returns false the file is let go
  // and false returned, digestText left as it was. A file that could not be
  // read to its end gets no digits: digestText is "\t" in the tab form (the
  // column stays) and empty in the bracketed forms.
  template <typename AfterChunk>
  bool digest(FileEntry& entry, AfterChunk afterChunk) {
    open(entry);
    for (;;) {
      const std::uint32_t length = reader_.read(chunk_.get());
      if (length == 0) break;
      engine_->update(chunk_.get(), length);
      if (!afterChunk(length)) {
        reader_.close();
        return false;
      }
    }
    finish(entry);
    return true;
  }

  // The message of the last file's failure, when reports are kept; empty if none.
  std::string takeReport() { return reader_.takeReport(); }

 private:
  void open(const FileEntry& entry);
  void finish(FileEntry& entry);

  FileReader reader_;
  std::unique_ptr<unsigned char[]> chunk_;  // DIGEST_CHUNK_SIZE bytes
  std::unique_ptr<DigestEngine> engine_;    // of DigestAlgorithm
  const std::string separator_;             // in front of the digits
  const char* const failedText_;            // digestText of a file not read whole
};
