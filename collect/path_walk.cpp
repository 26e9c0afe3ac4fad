#include "collect/path_walk.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "app/job.h"
#include "common/owned_handle.h"
#include "text/exact_path.h"
#include "text/sjis.h"
#include "text/url_transform.h"

namespace {

// One open directory search; the handle is closed however the walk leaves.
class DirectorySearch {
 public:
  // The system's search for a name or pattern (an argument).
  explicit DirectorySearch(const std::wstring& pattern)
      : handle_(FindFirstFileW(SystemPath(pattern).c_str(), &found_)) {
    terminateName();
  }
  // Everything in a folder, as the volumes search it.
  DirectorySearch(Volumes& volumes, const std::wstring& folder)
      : volumes_(&volumes), handle_(volumes.searchFolder(folder, found_)) {
    terminateName();
  }
  ~DirectorySearch() {
    if (started()) FindClose(handle_);
  }
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;

  bool started() const { return handle_ != INVALID_HANDLE_VALUE; }
  const WIN32_FIND_DATAW& current() const { return found_; }
  bool next() {
    if (!(volumes_ != nullptr ? volumes_->searchNext(handle_, found_)
                              : FindNextFileW(handle_, &found_) != FALSE)) {
      return false;
    }
    terminateName();
    return true;
  }
  std::uint64_t size() const {
    return (static_cast<std::uint64_t>(found_.nFileSizeHigh) << 32) | found_.nFileSizeLow;
  }
  std::uint64_t lastWriteTicks() const {
    return (static_cast<std::uint64_t>(found_.ftLastWriteTime.dwHighDateTime) << 32) |
           found_.ftLastWriteTime.dwLowDateTime;
  }

 private:
  // The name is read as a zero-terminated text; keep it inside its array
  // whatever the search wrote.
  void terminateName() { found_.cFileName[MAX_PATH - 1] = L'\0'; }

  Volumes* volumes_ = nullptr;  // null: the system's search
  WIN32_FIND_DATAW found_{};    // declared before the handle: its initializer fills it
  HANDLE handle_;
};

// A name as its URL path spells it: as the code page reads it, or, with
// EncodeURL on, percent-encoded in the URLEncoding form: the Shift_JIS
// form from that reading, the UTF-8 form from the name as the file system
// spells it, so a character the code page lacks comes out exact.
std::string urlNameOf(const OutputOptions& options, const char* ansiName,
                      const wchar_t* exactName) {
  if (options.EncodeURL && options.URLEncoding == UrlForm::Utf8) {
    return urlEncodeUtf8(exactName, std::wcslen(exactName));
  }
  std::string name = ansiName;
  if (options.EncodeURL) urlEncode(name);
  return name;
}

bool isDotOrDotDot(const wchar_t* name) {
  return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

// True when the last component of a path is a pattern rather than a name.
bool hasWildcardInName(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  const std::size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
  return path.find_first_of(L"*?", nameStart) != std::wstring::npos;
}

// The folder that the results of a search for `path` (no folder itself) lie
// in, with its backslash, taken from the platform's full path name. Empty
// when that cannot be had.
std::wstring folderOfFullPath(const std::wstring& path) {
  std::wstring full = fullPathOf(path);
  const std::size_t backslash = full.rfind(L'\\');
  if (backslash == std::wstring::npos) return std::wstring();
  full.resize(backslash + 1);
  return full;
}

// A file ID the volume does not know: 0 (a server without IDs) or all
// ones (an ID too wide for 64 bits). Never taken for a match.
constexpr std::uint64_t NO_ID = 0;
constexpr std::uint64_t INVALID_ID = ~std::uint64_t{0};

std::uint64_t knownOrNone(std::uint64_t id) { return id == INVALID_ID ? NO_ID : id; }

// What tells one folder from another whatever path names it: a folder link
// opens the folder it points to, so a link back up the tree reads as the
// folder it leads to. Parts the volume does not give are NO_ID.
struct FolderIdentity {
  bool volumeKnown = false;
  std::uint64_t volume = 0;     // its serial, 64 bits where the system gives them
  std::uint64_t id = NO_ID;     // the 64-bit file ID: a listing's or the folder's own
  std::uint64_t wideLow = NO_ID;   // the 128-bit one, where the volume gives it (ReFS)
  std::uint64_t wideHigh = NO_ID;

  bool wide() const { return wideLow != NO_ID || wideHigh != NO_ID; }
  bool known() const { return volumeKnown && (id != NO_ID || wide()); }
  // One folder: on one volume, by all 128 bits where both have them (two
  // ReFS folders can share their 64-bit IDs), else by the 64 bits.
  bool sameFolder(const FolderIdentity& other) const {
    if (!known() || !other.known() || volume != other.volume) return false;
    if (wide() && other.wide()) return wideLow == other.wideLow && wideHigh == other.wideHigh;
    return id != NO_ID && id == other.id;
  }
};

bool refusesListingClass(DWORD error) {
  return error == ERROR_INVALID_PARAMETER || error == ERROR_INVALID_LEVEL ||
         error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

// One thing a folder holds, as its listing gives it.
struct Child {
  std::wstring name;
  DWORD attributes;
  std::uint64_t size;
  std::uint64_t lastWriteTicks;  // UTC, 100 ns since 1601
  std::uint64_t fileId;          // its ID on the folder's volume; NO_ID from a search
};

// The walk of one top-level call. It keeps the folders of the current
// descent, so that a subfolder leading back to one of them (a link to "."
// or to a folder above) is not walked: walking it would list the same files
// again under ever longer paths until the platform refused the path, and
// two such links double the work at every level.
class Walk {
 public:
  explicit Walk(Job& job)
      : job_(job),
        volumes_(*job.volumes),
        findings_(job.volumeFindings),
        localTimeOffset_(currentLocalTimeOffset()),
        buffer_(new std::uint64_t[BUFFER_BYTES / sizeof(std::uint64_t)]) {}
  // An argument: a folder, a file or a wildcard. spelled: the ANSI form of
  // path names what its exact form names.
  std::uint32_t collect(const std::string& path, const std::wstring& exact, bool spelled,
                        const std::string& urlPrefix);
  // Everything in a folder, its subfolders walked depth first. identity:
  // what the listing above it told of it; with ask set, the folder itself
  // is asked instead.
  std::uint32_t walkFolder(const std::string& folder, const std::wstring& exactFolder, bool spelled,
                           const std::string& urlPrefix, FolderIdentity identity = {},
                           bool ask = true);

 private:
  // One thing a folder listing or a search found in the folder directory
  // (ending in a backslash, in both forms): a file becomes an entry, a
  // folder is walked, unless the filter (when filtering) leaves it out.
  // listed: the identity of the folder whose listing found it, with the
  // thing's file ID there; null for what an argument's search found.
  std::uint32_t take(const wchar_t* name, DWORD attributes, std::uint64_t size,
                     std::uint64_t lastWriteTicks, const std::string& directory,
                     const std::wstring& exactDirectory, bool spelled,
                     const std::string& urlPrefix, bool filtering,
                     const FolderIdentity* listed = nullptr, std::uint64_t fileId = NO_ID);

  // The folder's children in the platform's order ("." and ".." included),
  // read whole before any child is walked, so a deep walk holds no handle
  // per level. Through one open handle with every child's file ID; by a
  // search where the volume refuses that or breaks off part-way. With ask
  // set, also the folder's identity. False when neither way can read it.
  bool read(const std::wstring& folder, std::vector<Child>& children, FolderIdentity& identity,
            bool ask);
  // NO_ERROR once the listing is whole; else why it stopped.
  DWORD listById(HANDLE folder, std::vector<Child>& children);
  bool listBySearch(const std::wstring& folder, std::vector<Child>& children);
  bool refusesIdListing(const FolderIdentity& identity) const;

  // What an opened folder is, and, once per volume, whether its volume
  // seeks. A question of its own, which costs as much as a listing, so it
  // is asked only where no listing above could tell: of an argument, of a
  // link or mount point (a reparse point: where does it lead?), and of a
  // folder a search found.
  FolderIdentity identify(HANDLE folder);
  FolderIdentity identifyFolder(const std::wstring& folder);

  // A folder of the current descent. One whose identity no listing gave is
  // asked for it only when a link must be compared with it.
  struct Level {
    FolderIdentity identity;
    const std::wstring* toAsk;  // its path while it is still to be asked
  };
  // True when the folder is one of the descent. asked: its identity is its
  // own answer, as a link's is, which may lead to any folder above.
  bool inDescent(const FolderIdentity& identity, bool asked);

  // Enters a folder unless it is one of the descent, and leaves it again.
  class Entered {
   public:
    Entered(Walk& walk, const FolderIdentity& identity, bool asked, const std::wstring& path)
        : descent_(walk.descent_) {
      if (walk.inDescent(identity, asked)) {
        refused_ = true;
        return;
      }
      descent_.push_back(Level{identity, identity.known() || asked ? nullptr : &path});
      pushed_ = true;
    }
    ~Entered() {
      if (pushed_) descent_.pop_back();
    }
    Entered(const Entered&) = delete;
    Entered& operator=(const Entered&) = delete;
    bool refused() const { return refused_; }

   private:
    std::vector<Level>& descent_;
    bool pushed_ = false;
    bool refused_ = false;
  };

  static constexpr DWORD BUFFER_BYTES = 64 * 1024;

  Job& job_;
  Volumes& volumes_;
  VolumeFindings& findings_;
  const std::int64_t localTimeOffset_;  // read once per walk, see currentLocalTimeOffset
  std::vector<Level> descent_;
  std::unique_ptr<std::uint64_t[]> buffer_;  // the listing's, 8-byte aligned as its records need
};

}  // namespace

bool isExistingDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isExistingDirectory(const std::string& path) { return isExistingDirectory(exactForm(path)); }

std::uint32_t Job::collectPath(const std::string& path, const std::wstring& exactPath,
                               const std::string& urlPrefix, bool topLevel) {
  Walk walk(*this);
  const bool spelled = exactForm(path) == exactPath;
  // Below the top, a path is a folder the walk has found.
  return topLevel ? walk.collect(path, exactPath, spelled, urlPrefix)
                  : walk.walkFolder(path, exactPath, spelled, urlPrefix);
}

std::uint32_t Job::collectPath(const std::string& path, const std::string& urlPrefix,
                               bool topLevel) {
  return collectPath(path, exactForm(path), urlPrefix, topLevel);
}

std::uint32_t Walk::collect(const std::string& path, const std::wstring& exact, bool spelled,
                            const std::string& urlPrefix) {
  // A folder argument: its own name starts the URL paths of everything in it.
  if (isExistingDirectory(exact)) {
    // Its name as typed, in either form.
    const std::size_t backslash = findLastBackslash(path.c_str(), path.size());
    const std::size_t exactBackslash = exact.rfind(L'\\');
    const std::string name = urlNameOf(
        job_.options, path.c_str() + (backslash == NO_POSITION ? 0 : backslash + 1),
        exact.c_str() + (exactBackslash == std::wstring::npos ? 0 : exactBackslash + 1));
    return walkFolder(path, exact, spelled, urlPrefix + name + "/");
  }

  // A file or a wildcard. The directory part: the folder the results lie
  // in, and one backslash. The cut is made on the exact form, which the
  // file system is asked about; the ANSI form of what is left is its reading.
  std::wstring exactFolder = exact;
  std::wstring exactDirectory;
  bool cutMissesFolder = false;
  for (;;) {
    const std::size_t backslash = exactFolder.rfind(L'\\');
    if (backslash == std::wstring::npos) {
      // Only possible for an argument without any backslash (a.txt, *.txt,
      // C:x.txt, a quoted C:/d/a.txt): the text itself is no folder.
      cutMissesFolder = true;
      break;
    }
    exactFolder.resize(backslash);
    if (isExistingDirectory(exactFolder)) {
      // A "/" in what was cut off means the search looks in a deeper
      // folder than the one left here.
      cutMissesFolder = exact.find(L'/', backslash) != std::wstring::npos;
      break;
    }
  }
  if (cutMissesFolder) {
    // The platform resolves such a path against the working directory (of
    // its drive); the files' local paths must name the files found there.
    exactDirectory = folderOfFullPath(exact);
    if (!exactDirectory.empty()) exactFolder = exactDirectory.substr(0, exactDirectory.size() - 1);
  }
  if (exactDirectory.empty()) exactDirectory = exactFolder + L"\\";
  bool missing = false;
  const std::string folder = ansiForm(exactFolder, &missing);
  spelled = !missing;

  // The folder a file name or pattern is looked up in is part of the
  // descent: a folder it finds may lead back to it.
  const Entered entered(*this, identifyFolder(exactDirectory), true, exactDirectory);
  job_.setStatusLine2(folder.c_str());

  DirectorySearch search(exact);
  if (!search.started()) return 0;
  // A file the user named is taken whatever it is; what a wildcard brings
  // is filtered.
  const bool filtering = job_.walkFilter.active() && hasWildcardInName(exact);
  const std::string directory = folder + "\\";
  std::uint32_t count = 0;
  do {
    count += take(search.current().cFileName, search.current().dwFileAttributes, search.size(),
                  search.lastWriteTicks(), directory, exactDirectory, spelled, urlPrefix,
                  filtering);
  } while (search.next());
  return count;
}

std::uint32_t Walk::walkFolder(const std::string& folder, const std::wstring& exactFolder,
                               bool spelled, const std::string& urlPrefix,
                               FolderIdentity identity, bool ask) {
  // Read whole before any child is walked; what a deeper level reads goes
  // into its own list.
  std::vector<Child> children;
  if (!read(exactFolder, children, identity, ask)) return 0;
  const Entered entered(*this, identity, ask, exactFolder);
  if (entered.refused()) return 0;
  job_.setStatusLine2(folder.c_str());

  const std::string directory = folder + "\\";
  const std::wstring exactDirectory = exactFolder + L"\\";
  // Everything a folder holds is filtered.
  const bool filtering = job_.walkFilter.active();
  std::uint32_t count = 0;
  for (const Child& child : children) {
    count += take(child.name.c_str(), child.attributes, child.size, child.lastWriteTicks,
                  directory, exactDirectory, spelled, urlPrefix, filtering, &identity,
                  child.fileId);
  }
  return count;
}

bool Walk::read(const std::wstring& folder, std::vector<Child>& children,
                FolderIdentity& identity, bool ask) {
  children.clear();
  if (ask || !refusesIdListing(identity)) {
    const OwnedHandle handle(volumes_.openFolder(folder, true));
    if (ask) identity = handle ? identify(handle.get()) : FolderIdentity();
    if (handle && !refusesIdListing(identity)) {
      const DWORD error = listById(handle.get(), children);
      if (error == NO_ERROR) return true;
      // The search gives the folder whole: what the listing gave before it
      // broke off would come twice.
      children.clear();
      // A volume that does not know the class refuses it for every folder.
      if (refusesListingClass(error) && identity.volumeKnown) {
        findings_.refuseIdListing.push_back(identity.volume);
      }
    }
  }
  // Every file system answers a search; only a folder it cannot open
  // either is left out.
  return listBySearch(folder, children);
}

DWORD Walk::listById(HANDLE folder, std::vector<Child>& children) {
  auto* bytes = reinterpret_cast<unsigned char*>(buffer_.get());
  for (;;) {
    const DWORD error = volumes_.listBatch(folder, bytes, BUFFER_BYTES);
    if (error == ERROR_NO_MORE_FILES) return NO_ERROR;
    if (error != NO_ERROR) return error;
    for (std::size_t at = 0;;) {
      const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes + at);
      children.push_back(Child{std::wstring(info->FileName, info->FileNameLength / sizeof(WCHAR)),
                               info->FileAttributes,
                               static_cast<std::uint64_t>(info->EndOfFile.QuadPart),
                               static_cast<std::uint64_t>(info->LastWriteTime.QuadPart),
                               knownOrNone(static_cast<std::uint64_t>(info->FileId.QuadPart))});
      if (info->NextEntryOffset == 0) break;
      at += info->NextEntryOffset;
    }
  }
}

bool Walk::listBySearch(const std::wstring& folder, std::vector<Child>& children) {
  DirectorySearch search(volumes_, folder);
  if (!search.started()) return false;
  do {
    children.push_back(Child{search.current().cFileName, search.current().dwFileAttributes,
                             search.size(), search.lastWriteTicks(), NO_ID});
  } while (search.next());
  return true;
}

bool Walk::refusesIdListing(const FolderIdentity& identity) const {
  return identity.volumeKnown &&
         std::find(findings_.refuseIdListing.begin(), findings_.refuseIdListing.end(),
                   identity.volume) != findings_.refuseIdListing.end();
}

FolderIdentity Walk::identify(HANDLE folder) {
  FolderIdentity identity;
  // Windows 7 and some volumes do not know the 128-bit question.
  FileIdInformation wide{};
  if (volumes_.fileIdInformation(folder, wide)) {
    identity.volumeKnown = true;
    identity.volume = wide.VolumeSerialNumber;
    std::memcpy(&identity.wideLow, wide.FileId, sizeof identity.wideLow);
    std::memcpy(&identity.wideHigh, wide.FileId + sizeof identity.wideLow,
                sizeof identity.wideHigh);
    if (identity.wideLow == INVALID_ID && identity.wideHigh == INVALID_ID) {
      identity.wideLow = identity.wideHigh = NO_ID;
    }
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (volumes_.fileInformation(folder, information)) {
    if (!identity.volumeKnown) identity.volume = information.dwVolumeSerialNumber;
    identity.volumeKnown = true;
    identity.id = knownOrNone((static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) |
                              information.nFileIndexLow);
  }

  // Junctions and mount points lead onto other disks: the digest pass reads
  // one file at a time if any disk the run reads from seeks.
  if (findings_.askSeekPenalty) {
    std::vector<std::uint64_t>& asked = findings_.askedForSeekPenalty;
    if (!identity.volumeKnown ||
        std::find(asked.begin(), asked.end(), identity.volume) == asked.end()) {
      if (identity.volumeKnown) asked.push_back(identity.volume);
      findings_.seekPenalty = worseSeekPenalty(findings_.seekPenalty, volumes_.seekPenalty(folder));
    }
  }
  return identity;
}

FolderIdentity Walk::identifyFolder(const std::wstring& folder) {
  const OwnedHandle handle(volumes_.openFolder(folder, false));
  return handle ? identify(handle.get()) : FolderIdentity();
}

bool Walk::inDescent(const FolderIdentity& identity, bool asked) {
  if (!identity.known()) return false;
  for (const Level& level : descent_) {
    if (level.identity.sameFolder(identity)) return true;
  }
  if (!asked) return false;
  // A link may lead to a folder above whose listing gave no ID (one read by
  // search, or with IDs the volume does not know): each is asked now, once.
  for (Level& level : descent_) {
    if (level.toAsk == nullptr) continue;
    level.identity = identifyFolder(*level.toAsk);
    level.toAsk = nullptr;
    if (level.identity.sameFolder(identity)) return true;
  }
  return false;
}

std::uint32_t Walk::take(const wchar_t* name, DWORD attributes, std::uint64_t size,
                         std::uint64_t lastWriteTicks, const std::string& directory,
                         const std::wstring& exactDirectory, bool spelled,
                         const std::string& urlPrefix, bool filtering,
                         const FolderIdentity* listed, std::uint64_t fileId) {
  const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (isFolder && isDotOrDotDot(name)) return 0;
  // A folder left out is not walked.
  if (filtering && job_.walkFilter.leavesOut(attributes, name)) return 0;
  const AnsiName ansiName(name);
  // A name with a "?" for a missing character, or one below such a folder,
  // is reached through its exact form alone.
  const bool nameSpelled = spelled && !ansiName.missing();
  if (isFolder) {
    const std::string urlName = urlNameOf(job_.options, ansiName.c_str(), name);
    // A folder a listing reported lies on the listed folder's volume, under
    // the file ID the listing gave (none from a search), unless it is a
    // link or a mount point (a reparse point): only such a one is asked
    // where it leads, and so are the folders below it, through its own
    // identity.
    FolderIdentity identity;
    const bool ask = listed == nullptr || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (!ask) {
      identity.volumeKnown = listed->volumeKnown;
      identity.volume = listed->volume;
      identity.id = fileId;
    }
    // Depth first: the subfolder is walked before the next result here. It
    // is one the listing or search has just reported, so it is not asked
    // whether it is a folder; one gone meanwhile cannot be opened.
    return walkFolder(directory + ansiName.c_str(), exactDirectory + name, nameSpelled,
                      urlPrefix + urlName + "/", identity, ask);
  }
  job_.entries.emplace_back(job_.options, ansiName.c_str(), size,
                            localCalendarTime(lastWriteTicks, localTimeOffset_), urlPrefix,
                            urlNameOf(job_.options, ansiName.c_str(), name), directory);
  if (!nameSpelled) job_.entries.back().exactPath = ExactPath(exactDirectory + name);
  return 1;
}
