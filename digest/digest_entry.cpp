#include "digest/digest_entry.h"

#include <memory>
#include <string>

#include "app/job.h"
#include "digest/file_reader.h"
#include "digest/md5.h"
#include "text/url_transform.h"

namespace {

const char* digestSeparator(const OutputOptions& options) {
  if (options.OutputTabText) return "\t";
  if (options.UseWideChar) return "、MD5： ";
  return ", MD5: ";
}

}  // namespace

void digestEntry(FileEntry& entry, Job& job) {
  // The user sees the name in plain characters, not in percent escapes.
  std::string shownPath = entry.urlPath;
  if (job.options.EncodeURL) urlDecode(shownPath);
  job.setStatusLine2(shownPath.c_str());
  job.advanceProgress(1);
  job.checkCancel();

  // Not zero-filled: every chunk is written by the reader before it is read.
  const std::unique_ptr<unsigned char[]> chunk(new unsigned char[DIGEST_CHUNK_SIZE]);
  Md5Context md5;
  FileReader reader;
  if (entry.exactPath.empty()) {
    reader.open(entry.localPath.c_str(), DIGEST_CHUNK_SIZE, APP_NAME);
  } else {
    reader.open(entry.localPath.c_str(), entry.exactPath.get(), DIGEST_CHUNK_SIZE, APP_NAME);
  }
  for (;;) {
    const std::uint32_t length = reader.read(chunk.get());
    if (length == 0) break;
    md5.md5Update(chunk.get(), length);
    job.advanceProgress(length);
    // A cancel unwinds through the reader's destructor, which stops its thread.
    job.checkCancel();
  }
  reader.close();

  // The digest of a partial file would pass for the file's own: leave the
  // digits out, keeping the tab so the columns still match the header.
  if (reader.failed()) {
    entry.digestText = job.options.OutputTabText ? "\t" : "";
    return;
  }
  char hex[MD5_HEX_DIGEST_SIZE];
  entry.digestText = digestSeparator(job.options);
  entry.digestText += md5.md5HexDigest(hex);
}
