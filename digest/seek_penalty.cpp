#include "digest/seek_penalty.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>

#include "digest/owned_handle.h"
#include "text/exact_path.h"

namespace {

// The volume's device: "\\?\Volume{...}" without the closing backslash,
// which CreateFileW opens as the volume itself; empty when it has none
// (a network share).
std::wstring volumeDeviceOf(const std::wstring& path) {
  const std::wstring full = fullPathOf(path);
  if (full.empty()) return std::wstring();
  std::wstring mountPoint(full.size() + 2, L'\0');
  if (!GetVolumePathNameW(SystemPath(full).c_str(), &mountPoint[0],
                          static_cast<DWORD>(mountPoint.size()))) {
    return std::wstring();
  }
  mountPoint.resize(wcslen(mountPoint.c_str()));
  wchar_t volume[64] = {};
  if (!GetVolumeNameForVolumeMountPointW(mountPoint.c_str(), volume, 64)) return std::wstring();
  std::wstring device = volume;
  if (!device.empty() && device.back() == L'\\') device.pop_back();
  return device;
}

SeekPenalty askVolume(const std::wstring& device) {
  // No access rights: enough to ask the storage stack, for any user.
  OwnedHandle volume(CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
  if (!volume) return SeekPenalty::Unknown;
  STORAGE_PROPERTY_QUERY query{};
  query.PropertyId = StorageDeviceSeekPenaltyProperty;
  query.QueryType = PropertyStandardQuery;
  DEVICE_SEEK_PENALTY_DESCRIPTOR answer{};
  DWORD returned = 0;
  if (!DeviceIoControl(volume.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &answer,
                       sizeof answer, &returned, nullptr) ||
      returned < sizeof answer) {
    return SeekPenalty::Unknown;
  }
  return answer.IncursSeekPenalty ? SeekPenalty::Incurred : SeekPenalty::None;
}

}  // namespace

SeekPenalty seekPenaltyOfVolumes(const std::vector<std::wstring>& paths) {
  std::vector<std::wstring> asked;
  SeekPenalty worst = SeekPenalty::None;
  for (const std::wstring& path : paths) {
    const std::wstring device = volumeDeviceOf(path);
    if (device.empty()) {
      worst = worseSeekPenalty(worst, SeekPenalty::Unknown);
      continue;
    }
    if (std::find(asked.begin(), asked.end(), device) != asked.end()) continue;
    asked.push_back(device);
    worst = worseSeekPenalty(worst, askVolume(device));
  }
  return worst;
}
