#include "digest/file_digest.h"

#include "common/app_name.h"
#include "settings/vocabulary.h"

// Not zero-filled: every chunk is written by the reader before it is read.
FileDigest::FileDigest(const OutputOptions& options, bool keepReports)
    : chunk_(new unsigned char[DIGEST_CHUNK_SIZE]),
      engine_(makeDigestEngine(options.DigestAlgorithm)),
      separator_(digestSeparator(options)),
      failedText_(options.OutputTabText ? "\t" : "") {
  if (keepReports) reader_.keepReports();
}

void FileDigest::open(const FileEntry& entry) {
  engine_->init();
  if (entry.exactPath.empty()) {
    reader_.open(entry.localPath.c_str(), DIGEST_CHUNK_SIZE, APP_NAME);
  } else {
    reader_.open(entry.localPath.c_str(), entry.exactPath.get(), DIGEST_CHUNK_SIZE, APP_NAME);
  }
}

void FileDigest::finish(FileEntry& entry) {
  const bool failed = reader_.failed();
  reader_.close();
  // The digest of a partial file would pass for the file's own: leave the
  // digits out, keeping the tab so the columns still match the header.
  if (failed) {
    entry.digestText = failedText_;
    return;
  }
  char hex[DIGEST_HEX_BUFFER_SIZE];
  entry.digestText = separator_;
  entry.digestText += engine_->hexDigest(hex);
}
