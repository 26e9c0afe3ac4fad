// The walk on volumes Wine never gives: shares that refuse the listing with
// file IDs or break off part-way, servers without file IDs, ReFS with its
// 128-bit ones, junctions, a disk that seeks. Each is played through the
// walk's volume layer over a real tree, and must list what a plain folder
// lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/job.h"
#include "test_support.h"
#include "text/exact_path.h"

namespace {

enum class Play { Plain, RefusedAtFirst, BrokenAfterFirstBatch, NoIds, WideIds };

// The system's volumes, with the play's answers in place of some of theirs.
// A junction is an empty folder on disk that the play reports as a reparse
// point and follows to its target, as Windows does (its listing gives the
// link's own ID, unlike a Unix link under Wine).
class PlayedVolumes : public Volumes {
 public:
  explicit PlayedVolumes(Play play) : play_(play) {}
  void link(const std::string& at, const std::string& target) {
    links_[exactForm(at)] = exactForm(target);
  }
  void seeks(const std::string& folder) { seeking_ = exactForm(folder); }
  int refusals = 0;

  HANDLE openFolder(const std::wstring& folder, bool toList) override {
    return remember(system_.openFolder(real(folder), toList), folder);
  }
  DWORD listBatch(HANDLE folder, void* buffer, DWORD bytes) override {
    if (play_ == Play::RefusedAtFirst) {
      ++refusals;
      return ERROR_INVALID_PARAMETER;
    }
    if (play_ == Play::BrokenAfterFirstBatch && open_[folder].batches++ > 0) {
      return ERROR_UNEXP_NET_ERR;
    }
    const DWORD error = system_.listBatch(folder, buffer, bytes);
    for (auto* at = static_cast<unsigned char*>(buffer); error == NO_ERROR;) {
      auto* info = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(at);
      info->FileAttributes |=
          reparse(folder, std::wstring(info->FileName, info->FileNameLength / sizeof(WCHAR)));
      if (play_ == Play::NoIds) info->FileId.QuadPart = 0;
      if (play_ == Play::WideIds) info->FileId.QuadPart = -1;  // too wide for 64 bits
      if (info->NextEntryOffset == 0) break;
      at += info->NextEntryOffset;
    }
    return error;
  }
  bool fileInformation(HANDLE folder, BY_HANDLE_FILE_INFORMATION& information) override {
    if (!system_.fileInformation(folder, information)) return false;
    information.dwVolumeSerialNumber ^= onSeekingVolume(folder) ? 0x5EE : 0;
    if (play_ == Play::NoIds || play_ == Play::WideIds) information.nFileIndexHigh = 0;
    if (play_ == Play::NoIds) information.nFileIndexLow = 0;
    if (play_ == Play::WideIds) information.nFileIndexLow = 42;
    return true;
  }
  bool fileIdInformation(HANDLE folder, FileIdInformation& information) override {
    BY_HANDLE_FILE_INFORMATION own{};
    if (!system_.fileIdInformation(folder, information) || !system_.fileInformation(folder, own)) {
      return false;
    }
    information.VolumeSerialNumber ^= onSeekingVolume(folder) ? 0x5EE : 0;
    // One 64-bit ID for every folder; the folder's own one in the high half.
    const std::uint64_t index = (std::uint64_t{own.nFileIndexHigh} << 32) | own.nFileIndexLow;
    const std::uint64_t wide[2] = {42, index};
    if (play_ == Play::NoIds) std::memset(information.FileId, 0, 16);
    if (play_ == Play::WideIds) std::memcpy(information.FileId, wide, 16);
    return true;
  }
  HANDLE searchFolder(const std::wstring& folder, WIN32_FIND_DATAW& found) override {
    const HANDLE search = remember(system_.searchFolder(real(folder), found), folder);
    if (search != INVALID_HANDLE_VALUE) found.dwFileAttributes |= reparse(search, found.cFileName);
    return search;
  }
  bool searchNext(HANDLE search, WIN32_FIND_DATAW& found) override {
    if (!system_.searchNext(search, found)) return false;
    found.dwFileAttributes |= reparse(search, found.cFileName);
    return true;
  }
  SeekPenalty seekPenalty(HANDLE folder) override {
    return onSeekingVolume(folder) ? SeekPenalty::Incurred : SeekPenalty::None;
  }

 private:
  // The folder a path names on disk, through every junction on its way.
  std::wstring real(std::wstring path) const {
    for (bool again = true; again;) {
      again = false;
      for (const auto& link : links_) {
        if (path.compare(0, link.first.size(), link.first) == 0 &&
            (path.size() == link.first.size() || path[link.first.size()] == L'\\')) {
          path = link.second + path.substr(link.first.size());
          again = true;
        }
      }
    }
    return path;
  }
  HANDLE remember(HANDLE handle, const std::wstring& folder) {
    open_[handle] = Open{real(folder), 0};
    return handle;
  }
  DWORD reparse(HANDLE folder, const std::wstring& name) {
    const bool linked = links_.count(open_[folder].folder + L"\\" + name) != 0;
    return linked ? FILE_ATTRIBUTE_REPARSE_POINT : 0;
  }
  bool onSeekingVolume(HANDLE folder) {
    return !seeking_.empty() && open_[folder].folder.compare(0, seeking_.size(), seeking_) == 0;
  }

  Volumes& system_ = systemVolumes();
  const Play play_;
  std::map<std::wstring, std::wstring> links_;  // junction → its target
  std::wstring seeking_;
  struct Open {
    std::wstring folder;  // on disk
    int batches;          // of its listing so far
  };
  std::map<HANDLE, Open> open_;
};

// d\side leads out to another folder; d\sub\back, when linked, back up the
// tree (a loop); d\sub\deeper lies two levels down.
class VolumePlays : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"d", "d\\sub", "d\\sub\\deeper", "d\\sub\\back", "d\\side", "o"}) {
      tree.folder(folder);
    }
    for (const char* file : {"d\\a.txt", "d\\sub\\b.txt", "d\\sub\\deeper\\c.txt", "o\\o.txt"}) {
      tree.file(file, file);  // each holds its own path
    }
  }
  // "url path|size|local path" of each entry of walking d, sorted.
  std::vector<std::string> walk(PlayedVolumes& volumes, bool loop, Job& job) {
    volumes.link(tree.path("d\\side"), tree.path("o"));
    if (loop) volumes.link(tree.path("d\\sub\\back"), tree.path("d\\sub"));
    job.volumes = &volumes;
    job.options.EncodeURL = false;
    job.collectPath(tree.path("d"), "", true);
    std::vector<std::string> found;
    for (const FileEntry& entry : job.entries) {
      found.push_back(entry.urlPath + "|" + std::to_string(entry.size) + "|" + entry.localPath);
    }
    std::sort(found.begin(), found.end());
    return found;
  }
  TempTree tree;
};

TEST_F(VolumePlays, EveryVolumeListsWhatAPlainFolderLists) {
  const std::vector<std::string> plain = {
      "d/a.txt|7|" + tree.path("d\\a.txt"),
      "d/side/o.txt|7|" + tree.path("d\\side\\o.txt"),
      "d/sub/b.txt|11|" + tree.path("d\\sub\\b.txt"),
      "d/sub/deeper/c.txt|18|" + tree.path("d\\sub\\deeper\\c.txt")};
  const struct {
    const char* what;
    Play play;
    bool loop;      // a junction back up the tree, which only file IDs can tell
    int refusals;   // asked once per volume
  } plays[] = {
      {"a junction loop", Play::Plain, true, 0},
      {"ID listing refused at the first call", Play::RefusedAtFirst, true, 1},
      {"ID listing broken after the first batch", Play::BrokenAfterFirstBatch, true, 0},
      {"file IDs all 0", Play::NoIds, false, 0},
      {"one 64-bit ID, 128-bit IDs apart (ReFS)", Play::WideIds, true, 0},
  };
  for (const auto& p : plays) {
    SCOPED_TRACE(p.what);
    PlayedVolumes volumes(p.play);
    Job job(GetModuleHandleA(nullptr), "\"C:\\dir\\q.exe\"");
    EXPECT_EQ(walk(volumes, p.loop, job), plain);
    EXPECT_EQ(volumes.refusals, p.refusals);
  }
}

TEST_F(VolumePlays, ADiskThatSeeksBehindAJunctionCountsForTheRun) {
  for (const bool throughJunction : {false, true}) {
    PlayedVolumes volumes(Play::Plain);
    volumes.seeks(tree.path(throughJunction ? "o" : "nowhere"));
    Job job(GetModuleHandleA(nullptr), "\"C:\\dir\\q.exe\"");
    job.volumeFindings.askSeekPenalty = true;
    walk(volumes, false, job);
    EXPECT_EQ(job.volumeFindings.seekPenalty,
              throughJunction ? SeekPenalty::Incurred : SeekPenalty::None);
    EXPECT_EQ(job.volumeFindings.askedForSeekPenalty.size(), throughJunction ? 2u : 1u);
  }
}

}  // namespace
