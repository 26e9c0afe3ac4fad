#include "collect/path_walk.h"

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "app/job.h"
#include "digest/owned_handle.h"
#include "text/exact_path.h"
#include "text/sjis.h"
#include "text/url_transform.h"

namespace {

// One open directory search; the handle is closed however the walk leaves.
class DirectorySearch {
 public:
  explicit DirectorySearch(const std::wstring& pattern)
      : handle_(FindFirstFileW(SystemPath(pattern).c_str(), &found_)) {
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
    if (!FindNextFileW(handle_, &found_)) return false;
    terminateName();
    return true;
  }

 private:
  // The name is read as a zero-terminated text; keep it inside its array
  // whatever the search wrote.
  void terminateName() { found_.cFileName[MAX_PATH - 1] = L'\0'; }

  WIN32_FIND_DATAW found_{};  // declared first: the handle's initializer fills it
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

// What tells one folder from another whatever path names it: a folder link
// opens the folder it points to, so a link back up the tree reads as the
// folder it leads to.
struct FolderIdentity {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
  bool operator==(const FolderIdentity& other) const {
    return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
  }
};

bool identityOf(HANDLE folder, FolderIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(folder, &information)) return false;
  identity.volume = information.dwVolumeSerialNumber;
  identity.indexHigh = information.nFileIndexHigh;
  identity.indexLow = information.nFileIndexLow;
  return true;
}

// No access to the contents is asked for and every kind of sharing is
// granted, so these opens never stand in anyone's way.
constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The identity of the folder a wildcard is looked up in. False when the
// folder cannot be opened or asked; the walk then goes on without knowing it.
bool readFolderIdentity(const std::wstring& folder, FolderIdentity& identity) {
  const OwnedHandle handle(CreateFileW(SystemPath(folder).c_str(), FILE_READ_ATTRIBUTES, SHARE_ALL,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return handle && identityOf(handle.get(), identity);
}

// One thing a folder holds, as its listing gives it.
struct Child {
  std::wstring name;
  DWORD attributes;
  std::uint64_t size;
  std::uint64_t lastWriteTicks;  // UTC, 100 ns since 1601
  std::uint64_t fileId;          // its index on the folder's volume
};

// Lists folders through one open handle each: per folder one open and the
// listing, as cheap as a search, which also gives every child's file ID.
// The folder is read whole and let go before any child is walked, so a
// deep walk holds no handle per level, and one buffer serves the whole walk.
class FolderReader {
 public:
  FolderReader() : buffer_(new std::uint64_t[BUFFER_BYTES / sizeof(std::uint64_t)]) {}

  // The folder's children in the platform's order ("." and ".." included).
  // With identity given, also the folder's own identity, when it can be
  // had (identified): a question of its own, which costs as much as the
  // listing, so it is asked only where the listing above could not tell.
  // False when the folder cannot be opened (gone meanwhile, no access) or
  // listed.
  bool read(const std::wstring& folder, std::vector<Child>& children, FolderIdentity* identity,
            bool& identified) {
    children.clear();
    const OwnedHandle handle(CreateFileW(SystemPath(folder).c_str(),
                                         FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                         SHARE_ALL, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return false;
    identified = identity != nullptr && identityOf(handle.get(), *identity);
    auto* bytes = reinterpret_cast<unsigned char*>(buffer_.get());
    while (GetFileInformationByHandleEx(handle.get(), FileIdBothDirectoryInfo, bytes, BUFFER_BYTES)) {
      for (std::size_t at = 0;;) {
        const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes + at);
        children.push_back(Child{std::wstring(info->FileName, info->FileNameLength / sizeof(WCHAR)),
                                 info->FileAttributes,
                                 static_cast<std::uint64_t>(info->EndOfFile.QuadPart),
                                 static_cast<std::uint64_t>(info->LastWriteTime.QuadPart),
                                 static_cast<std::uint64_t>(info->FileId.QuadPart)});
        if (info->NextEntryOffset == 0) break;
        at += info->NextEntryOffset;
      }
    }
    return GetLastError() == ERROR_NO_MORE_FILES;
  }

 private:
  static constexpr DWORD BUFFER_BYTES = 64 * 1024;
  std::unique_ptr<std::uint64_t[]> buffer_;  // 8-byte aligned, as the records need
};

// The walk of one top-level call. It keeps the folders of the current
// descent, so that a subfolder leading back to one of them (a link to "."
// or to a folder above) is not walked: walking it would list the same files
// again under ever longer paths until the platform refused the path, and
// two such links double the work at every level.
class Walk {
 public:
  explicit Walk(Job& job) : job_(job), localTimeOffset_(currentLocalTimeOffset()) {}
  // An argument: a folder, a file or a wildcard. spelled: the ANSI form of
  // path names what its exact form names.
  std::uint32_t collect(const std::string& path, const std::wstring& exact, bool spelled,
                        const std::string& urlPrefix);
  // Everything in a folder, its subfolders walked depth first. known: the
  // folder's identity as the listing above it told it; null to ask.
  std::uint32_t walkFolder(const std::string& folder, const std::wstring& exactFolder, bool spelled,
                           const std::string& urlPrefix, const FolderIdentity* known = nullptr);

 private:
  // One thing a folder listing or a search found in the folder directory
  // (ending in a backslash, in both forms): a file becomes an entry, a
  // folder is walked, unless the filter (when filtering) leaves it out.
  // listed: the identity of the folder whose listing found it, with its
  // file ID there; null for what a search found.
  std::uint32_t take(const wchar_t* name, DWORD attributes, std::uint64_t size,
                     std::uint64_t lastWriteTicks, const std::string& directory,
                     const std::wstring& exactDirectory, bool spelled,
                     const std::string& urlPrefix, bool filtering,
                     const FolderIdentity* listed = nullptr, std::uint64_t fileId = 0);

  // Enters a folder unless it is one of the descent; one that could not be
  // identified is entered without being remembered.
  class Entered {
   public:
    Entered(std::vector<FolderIdentity>& descent, const FolderIdentity* identity)
        : descent_(descent) {
      if (identity == nullptr) return;
      for (const FolderIdentity& above : descent_) {
        if (above == *identity) {
          refused_ = true;
          return;
        }
      }
      descent_.push_back(*identity);
      pushed_ = true;
    }
    ~Entered() {
      if (pushed_) descent_.pop_back();
    }
    Entered(const Entered&) = delete;
    Entered& operator=(const Entered&) = delete;
    bool refused() const { return refused_; }

   private:
    std::vector<FolderIdentity>& descent_;
    bool pushed_ = false;
    bool refused_ = false;
  };

  Job& job_;
  const std::int64_t localTimeOffset_;  // read once per walk, see currentLocalTimeOffset
  std::vector<FolderIdentity> descent_;
  FolderReader reader_;
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
  FolderIdentity identity;
  const bool identified = readFolderIdentity(exactDirectory, identity);
  const Entered entered(descent_, identified ? &identity : nullptr);
  job_.setStatusLine2(folder.c_str());

  DirectorySearch search(exact);
  if (!search.started()) return 0;
  // A file the user named is taken whatever it is; what a wildcard brings
  // is filtered.
  const bool filtering = job_.walkFilter.active() && hasWildcardInName(exact);
  const std::string directory = folder + "\\";
  std::uint32_t count = 0;
  do {
    const WIN32_FIND_DATAW& found = search.current();
    count += take(found.cFileName, found.dwFileAttributes,
                  (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow,
                  (static_cast<std::uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                      found.ftLastWriteTime.dwLowDateTime,
                  directory, exactDirectory, spelled, urlPrefix, filtering);
  } while (search.next());
  return count;
}

std::uint32_t Walk::walkFolder(const std::string& folder, const std::wstring& exactFolder,
                               bool spelled, const std::string& urlPrefix,
                               const FolderIdentity* known) {
  // Read whole before any child is walked; what a deeper level reads goes
  // into its own list.
  std::vector<Child> children;
  FolderIdentity identity;
  bool identified = known != nullptr;
  if (known != nullptr) identity = *known;
  if (!reader_.read(exactFolder, children, known != nullptr ? nullptr : &identity, identified)) {
    return 0;
  }
  if (known != nullptr) identified = true;
  const Entered entered(descent_, identified ? &identity : nullptr);
  if (entered.refused()) return 0;
  job_.setStatusLine2(folder.c_str());

  const std::string directory = folder + "\\";
  const std::wstring exactDirectory = exactFolder + L"\\";
  // Everything a folder holds is filtered.
  const bool filtering = job_.walkFilter.active();
  std::uint32_t count = 0;
  for (const Child& child : children) {
    count += take(child.name.c_str(), child.attributes, child.size, child.lastWriteTicks,
                  directory, exactDirectory, spelled, urlPrefix, filtering,
                  identified ? &identity : nullptr, child.fileId);
  }
  return count;
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
    // the file ID the listing gave, unless it is a link or a mount point
    // (a reparse point): only such a one is asked where it leads, and so
    // are the folders below it, through its own identity.
    FolderIdentity identity;
    const bool known = listed != nullptr && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    if (known) {
      identity.volume = listed->volume;
      identity.indexHigh = static_cast<DWORD>(fileId >> 32);
      identity.indexLow = static_cast<DWORD>(fileId);
    }
    // Depth first: the subfolder is walked before the next result here. It
    // is one the listing or search has just reported, so it is not asked
    // whether it is a folder; one gone meanwhile cannot be opened.
    return walkFolder(directory + ansiName.c_str(), exactDirectory + name, nameSpelled,
                      urlPrefix + urlName + "/", known ? &identity : nullptr);
  }
  job_.entries.emplace_back(job_.options, ansiName.c_str(), size,
                            localCalendarTime(lastWriteTicks, localTimeOffset_), urlPrefix,
                            urlNameOf(job_.options, ansiName.c_str(), name), directory);
  if (!nameSpelled) job_.entries.back().exactPath = ExactPath(exactDirectory + name);
  return 1;
}
