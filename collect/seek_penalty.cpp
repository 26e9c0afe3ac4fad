#include "collect/seek_penalty.h"

#include <winioctl.h>

#include <string>

#include "common/owned_handle.h"

namespace {

// The volume's device: "\\?\Volume{...}" without the backslash after it,
// which CreateFileW opens as the volume itself; empty when it has none.
std::wstring volumeDeviceOf(HANDLE onVolume) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleW(onVolume, &path[0],
                                                   static_cast<DWORD>(path.size()),
                                                   VOLUME_NAME_GUID);
    if (length == 0) return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(length + 1);  // the size it needs, with its zero
  }
  const std::wstring prefix = L"\\\\?\\Volume{";
  if (path.compare(0, prefix.size(), prefix) != 0) return std::wstring();
  const std::size_t end = path.find(L'\\', prefix.size());
  return end == std::wstring::npos ? path : path.substr(0, end);
}

}  // namespace

SeekPenalty seekPenaltyOfVolume(HANDLE onVolume) {
  const std::wstring device = volumeDeviceOf(onVolume);
  if (device.empty()) return SeekPenalty::Unknown;
  // No access rights: enough to ask the storage stack, for any user.
  const OwnedHandle volume(CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
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
