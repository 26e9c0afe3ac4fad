#include "collect/file_entry.h"

FileEntry::FileEntry(OutputOptions& options, const char* name, std::uint64_t byteSize,
                     const CalendarTime& localWriteTime, const std::string& urlPrefix,
                     const std::string& urlName, const std::string& localDirectory)
    : localPath(localDirectory + name),
      size(static_cast<std::int64_t>(byteSize)),
      lastWriteTime(localWriteTime) {
  urlPath.reserve(urlPrefix.size() + urlName.size());
  urlPath = urlPrefix;
  urlPath += urlName;
  options.TotalSize += byteSize;
}

void releaseEntryTexts(FileEntry& entry) {
  // Swapped out rather than cleared: a cleared text keeps its buffer.
  std::string().swap(entry.localPath);
  std::string().swap(entry.urlPath);
  std::string().swap(entry.sizeText);
  std::string().swap(entry.digestText);
  entry.exactPath = ExactPath();
}
