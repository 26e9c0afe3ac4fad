#include "digest/digest_entry.h"

#include "app/job.h"
#include "text/url_transform.h"

// Not zero-filled: every chunk is written by the reader before it is read.
DigestPass::DigestPass(Job& job)
    : job_(job),
      chunk_(new unsigned char[DIGEST_CHUNK_SIZE]),
      digest_(makeDigestEngine(job.options.DigestAlgorithm)) {}

void DigestPass::digestEntry(FileEntry& entry) {
  // The user sees the name in plain characters, not in percent escapes.
  shownPath_ = entry.urlPath;
  if (job_.options.EncodeURL) urlDecode(shownPath_);
  job_.setStatusLine2(shownPath_.c_str());
  job_.advanceProgress(1);
  job_.checkCancel();

  digest_->init();
  if (entry.exactPath.empty()) {
    reader_.open(entry.localPath.c_str(), DIGEST_CHUNK_SIZE, APP_NAME);
  } else {
    reader_.open(entry.localPath.c_str(), entry.exactPath.get(), DIGEST_CHUNK_SIZE, APP_NAME);
  }
  for (;;) {
    const std::uint32_t length = reader_.read(chunk_.get());
    if (length == 0) break;
    digest_->update(chunk_.get(), length);
    job_.advanceProgress(length);
    // A cancel unwinds through the reader's destructor, which ends its thread.
    job_.checkCancel();
  }
  const bool failed = reader_.failed();
  reader_.close();

  // The digest of a partial file would pass for the file's own: leave the
  // digits out, keeping the tab so the columns still match the header.
  if (failed) {
    entry.digestText = job_.options.OutputTabText ? "\t" : "";
    return;
  }
  char hex[DIGEST_HEX_BUFFER_SIZE];
  entry.digestText = digestSeparator(job_.options);
  entry.digestText += digest_->hexDigest(hex);
}
