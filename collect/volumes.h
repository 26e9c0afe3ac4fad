// The questions the directory walk puts to the file system about folders,
// behind one small interface. Wine answers all of them on every volume;
// real volumes do not (shares refuse the ID listing or break off part-way,
// some servers give no file IDs, ReFS gives 128-bit ones), so a test can
// play such a volume in place of the system's. Handles are the system's:
// the walk closes them with CloseHandle and FindClose.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "digest/worker_count.h"

// The system's record of a file's 128-bit identity (FILE_ID_INFO), declared
// here: the headers give it only to programs that need Windows 8, and the
// program runs on Windows 7, which refuses the question.
struct FileIdInformation {
  ULONGLONG VolumeSerialNumber;
  BYTE FileId[16];
};

class Volumes {
 public:
  virtual ~Volumes() = default;

  // A folder opened with no access to its contents and every kind of
  // sharing granted, to be listed (toList) or only asked what it is.
  // INVALID_HANDLE_VALUE when it cannot be opened.
  virtual HANDLE openFolder(const std::wstring& folder, bool toList) = 0;
  // The next batch of the folder's listing with file IDs
  // (FILE_ID_BOTH_DIR_INFO records) into the 8-byte aligned buffer:
  // NO_ERROR, ERROR_NO_MORE_FILES past the last one, or why it failed.
  virtual DWORD listBatch(HANDLE folder, void* buffer, DWORD bytes) = 0;
  // The folder's volume serial (32 bits) and 64-bit file index.
  virtual bool fileInformation(HANDLE folder, BY_HANDLE_FILE_INFORMATION& information) = 0;
  // Its 64-bit volume serial and 128-bit file ID (Windows 8 on).
  virtual bool fileIdInformation(HANDLE folder, FileIdInformation& information) = 0;
  // The search every file system answers: the folder's first name (and
  // its record), then the next ones; INVALID_HANDLE_VALUE when it cannot
  // start.
  virtual HANDLE searchFolder(const std::wstring& folder, WIN32_FIND_DATAW& found) = 0;
  virtual bool searchNext(HANDLE search, WIN32_FIND_DATAW& found) = 0;
  // Whether the volume that holds the opened folder makes a disk seek.
  virtual SeekPenalty seekPenalty(HANDLE folder) = 0;
};

// The system's answers: what the program uses.
Volumes& systemVolumes();

// What a run's walks have learnt of the volumes they reached, so that each
// volume is asked once. Volumes are told apart by their serials.
struct VolumeFindings {
  bool askSeekPenalty = false;  // set when the digest pass may read several files at once
  SeekPenalty seekPenalty = SeekPenalty::None;  // the worst answer of the volumes asked
  std::vector<std::uint64_t> askedForSeekPenalty;
  std::vector<std::uint64_t> refuseIdListing;  // their folders are listed by search at once
};
