#include "collect/volumes.h"

#include "collect/seek_penalty.h"
#include "text/exact_path.h"

namespace {

// No access to the contents is asked for and every kind of sharing is
// granted, so these opens never stand in anyone's way.
constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// FileIdInfo, which the headers, like FILE_ID_INFO, give only to programs
// that need Windows 8.
constexpr auto FILE_ID_INFO_CLASS = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);

// A failed call whose error reads as success must still read as failed.
DWORD lastErrorOfFailure() {
  const DWORD error = GetLastError();
  return error == NO_ERROR ? ERROR_GEN_FAILURE : error;
}

class SystemVolumes final : public Volumes {
 public:
  HANDLE openFolder(const std::wstring& folder, bool toList) override {
    const DWORD access =
        toList ? FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE : FILE_READ_ATTRIBUTES;
    return CreateFileW(SystemPath(folder).c_str(), access, SHARE_ALL, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  }

  DWORD listBatch(HANDLE folder, void* buffer, DWORD bytes) override {
    return GetFileInformationByHandleEx(folder, FileIdBothDirectoryInfo, buffer, bytes)
               ? NO_ERROR
               : lastErrorOfFailure();
  }

  bool fileInformation(HANDLE folder, BY_HANDLE_FILE_INFORMATION& information) override {
    return GetFileInformationByHandle(folder, &information) != FALSE;
  }

  bool fileIdInformation(HANDLE folder, FileIdInformation& information) override {
    return GetFileInformationByHandleEx(folder, FILE_ID_INFO_CLASS, &information,
                                        sizeof information) != FALSE;
  }

  HANDLE searchFolder(const std::wstring& folder, WIN32_FIND_DATAW& found) override {
    // The basic record (no short name) in large batches: the cheapest
    // search a file system offers.
    return FindFirstFileExW(SystemPath(folder + L"\\*").c_str(), FindExInfoBasic, &found,
                            FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  }

  bool searchNext(HANDLE search, WIN32_FIND_DATAW& found) override {
    return FindNextFileW(search, &found) != FALSE;
  }

  SeekPenalty seekPenalty(HANDLE folder) override { return seekPenaltyOfVolume(folder); }
};

}  // namespace

Volumes& systemVolumes() {
  // Holds nothing: one for the whole process.
  static SystemVolumes volumes;
  return volumes;
}
